// Answers Alpaca discovery: the 16-byte "alpacadiscovery1" on UDP, sent to
// IPv4 broadcast or the IPv6 group ff12::a1:9aca, gets {"AlpacaPort":N}
// back to the sender. Anything else that arrives is passed over.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>

#include <array>
#include <cstdint>
#include <string>

namespace quillmoor::alpaca {

class DiscoveryResponder {
public:
    DiscoveryResponder(boost::asio::io_context& io, uint16_t httpPort);
    // Listens on both families where it can; false when on neither, with the reasons.
    bool Listen(uint16_t port, std::string& problems);
    void Stop();

private:
    struct Listener {
        explicit Listener(boost::asio::io_context& io) : socket(io) {}
        boost::asio::ip::udp::socket socket;
        boost::asio::ip::udp::endpoint sender;
        std::array<char, 64> datagram{};
    };
    bool Open(Listener& listener, const boost::asio::ip::udp::endpoint& at, std::string& problems);
    void Receive(Listener& listener);

    const std::string answer_;
    Listener v4_;
    Listener v6_;
};

}  // namespace quillmoor::alpaca
