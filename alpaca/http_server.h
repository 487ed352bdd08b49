// The HTTP side: accepts connections, reads each request within bounded
// sizes and time, hands it to the router and writes the answer, with
// keep-alive. Nothing a client sends can make it wait without end or hold
// more than the limits.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <functional>
#include <memory>

#include "alpaca/http_types.h"

namespace quillmoor::alpaca {

using RequestHandler = std::function<HttpResponse(const HttpRequest&)>;

class HttpServer {
public:
    HttpServer(boost::asio::io_context& io, HttpLimits limits, RequestHandler handler);
    ~HttpServer();
    // Starts listening; false with the reason in error.
    bool Listen(const boost::asio::ip::tcp::endpoint& endpoint, boost::system::error_code& error);
    uint16_t Port() const;
    void Stop();

private:
    class Session;
    struct Connections;
    void Accept();
    void Admit(boost::asio::ip::tcp::socket socket);

    boost::asio::io_context& io_;
    const HttpLimits limits_;
    RequestHandler handler_;
    boost::asio::ip::tcp::acceptor acceptor_;
    boost::asio::steady_timer retry_;  // after a failed accept (no descriptors left, say)
    std::shared_ptr<Connections> connections_;
};

}  // namespace quillmoor::alpaca
