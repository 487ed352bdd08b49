#include "alpaca/discovery.h"

#include <boost/asio/ip/multicast.hpp>
#include <boost/asio/ip/v6_only.hpp>

#include <string_view>

#include "platform/network_interfaces.h"

namespace quillmoor::alpaca {

namespace asio = boost::asio;
using udp = asio::ip::udp;

namespace {
constexpr std::string_view kRequest = "alpacadiscovery1";
constexpr const char* kGroup = "ff12::a1:9aca";
}  // namespace

DiscoveryResponder::DiscoveryResponder(asio::io_context& io, uint16_t httpPort)
    : answer_("{\"AlpacaPort\":" + std::to_string(httpPort) + "}"), v4_(io), v6_(io)
{
}

bool DiscoveryResponder::Listen(uint16_t port, std::string& problems)
{
    const bool v4 = Open(v4_, udp::endpoint(udp::v4(), port), problems);
    bool v6 = Open(v6_, udp::endpoint(udp::v6(), port), problems);
    if (v6) {
        // Join the group on every interface that takes it (loopback included).
        bool joined = false;
        boost::system::error_code error;
        const auto group = asio::ip::make_address_v6(kGroup);
        for (const unsigned index : platform::Ipv6InterfaceIndexes()) {
            v6_.socket.set_option(asio::ip::multicast::join_group(group, index), error);
            joined = joined || !error;
        }
        if (!joined) problems += "no interface joined the IPv6 discovery group; ";
    }
    if (v4) Receive(v4_);
    if (v6) Receive(v6_);
    return v4 || v6;
}

bool DiscoveryResponder::Open(Listener& listener, const udp::endpoint& at, std::string& problems)
{
    boost::system::error_code error;
    listener.socket.open(at.protocol(), error);
    // Other Alpaca servers on this computer listen on the same port.
    if (!error) listener.socket.set_option(asio::socket_base::reuse_address(true), error);
    if (!error && at.protocol() == udp::v6()) listener.socket.set_option(asio::ip::v6_only(true), error);
    if (!error) listener.socket.bind(at, error);
    if (error) {
        problems += (at.protocol() == udp::v4() ? "IPv4: " : "IPv6: ") + error.message() + "; ";
        listener.socket.close(error);
        return false;
    }
    return true;
}

void DiscoveryResponder::Receive(Listener& listener)
{
    listener.socket.async_receive_from(
        asio::buffer(listener.datagram), listener.sender,
        [this, &listener](boost::system::error_code error, size_t length) {
            if (error == asio::error::operation_aborted || !listener.socket.is_open()) return;
            if (!error && std::string_view(listener.datagram.data(), length) == kRequest) {
                boost::system::error_code ignored;
                listener.socket.send_to(asio::buffer(answer_), listener.sender, 0, ignored);
            }
            Receive(listener);
        });
}

void DiscoveryResponder::Stop()
{
    boost::system::error_code ignored;
    v4_.socket.close(ignored);
    v6_.socket.close(ignored);
}

}  // namespace quillmoor::alpaca
