#include "alpaca/http_server.h"

#include <boost/asio/strand.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/beast/core.hpp>

#include <optional>

namespace quillmoor::alpaca {

namespace beast = boost::beast;
namespace asio = boost::asio;
using tcp = asio::ip::tcp;

class HttpServer::Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, const HttpLimits& limits, const RequestHandler& handler,
            std::shared_ptr<std::atomic<size_t>> open)
        : stream_(std::move(socket)), limits_(limits), handler_(handler), open_(std::move(open))
    {
    }
    ~Session() { open_->fetch_sub(1); }

    void Read()
    {
        parser_.emplace();
        LimitParser(*parser_, limits_);
        stream_.expires_after(limits_.requestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, size_t) { self->OnRead(error); });
    }

private:
    void OnRead(beast::error_code error)
    {
        if (error == http::error::end_of_stream || error == beast::error::timeout ||
            error == asio::error::connection_reset || error == asio::error::operation_aborted) {
            return Close();
        }
        if (error) {
            // The request cannot be read to its end: say why, then close.
            http::status status = http::status::bad_request;
            if (error == http::error::header_limit) status = http::status::request_header_fields_too_large;
            if (error == http::error::body_limit) status = http::status::payload_too_large;
            HttpRequest blank;
            blank.version(11);
            blank.keep_alive(false);
            return Write(TextAnswer(blank, status, error.message()), true);
        }
        HttpRequest request = parser_->release();
        HttpResponse response = handler_(request);
        const bool close = !response.keep_alive();  // read before the response is moved away
        Write(std::move(response), close);
    }

    void Write(HttpResponse response, bool close)
    {
        response_ = std::make_shared<HttpResponse>(std::move(response));
        if (close) response_->keep_alive(false);
        stream_.expires_after(limits_.requestTimeout);
        http::async_write(stream_, *response_,
                          [self = shared_from_this(), close](beast::error_code error, size_t) {
                              if (error || close) return self->Close();
                              self->Read();
                          });
    }

    void Close()
    {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.close();
    }

    beast::tcp_stream stream_;
    const HttpLimits limits_;
    const RequestHandler& handler_;
    std::shared_ptr<std::atomic<size_t>> open_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::shared_ptr<HttpResponse> response_;
};

HttpServer::HttpServer(asio::io_context& io, HttpLimits limits, RequestHandler handler)
    : io_(io), limits_(limits), handler_(std::move(handler)), acceptor_(asio::make_strand(io)),
      retry_(acceptor_.get_executor())
{
}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Listen(const tcp::endpoint& endpoint, beast::error_code& error)
{
    acceptor_.open(endpoint.protocol(), error);
    if (!error) acceptor_.set_option(asio::socket_base::reuse_address(true), error);
    if (!error && endpoint.protocol() == tcp::v6()) acceptor_.set_option(asio::ip::v6_only(false), error);
    if (!error) acceptor_.bind(endpoint, error);
    if (!error) acceptor_.listen(asio::socket_base::max_listen_connections, error);
    if (error) return false;
    Accept();
    return true;
}

uint16_t HttpServer::Port() const
{
    beast::error_code error;
    return acceptor_.local_endpoint(error).port();
}

void HttpServer::Stop()
{
    beast::error_code ignored;
    acceptor_.close(ignored);
    retry_.cancel();
}

void HttpServer::Accept()
{
    acceptor_.async_accept(asio::make_strand(io_), [this](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted || !acceptor_.is_open()) return;
        if (error) {  // waits a little instead of spinning on an error that lasts
            retry_.expires_after(std::chrono::milliseconds(100));
            retry_.async_wait([this](beast::error_code waited) {
                if (!waited) Accept();
            });
            return;
        }
        {
            if (open_->fetch_add(1) >= limits_.connections) {
                open_->fetch_sub(1);
                beast::error_code ignored;
                socket.close(ignored);  // over the cap: refused before a byte is read
            } else {
                std::make_shared<Session>(std::move(socket), limits_, handler_, open_)->Read();
            }
        }
        Accept();
    });
}

}  // namespace quillmoor::alpaca
