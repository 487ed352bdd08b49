#include "alpaca/http_server.h"

#include <boost/asio/strand.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/beast/core.hpp>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace quillmoor::alpaca {

namespace beast = boost::beast;
namespace asio = boost::asio;
using tcp = asio::ip::tcp;

// Every open connection, with its client's address and since when it has
// waited for its next request, so that the server can make room.
struct HttpServer::Connections {
    struct Entry {
        std::weak_ptr<Session> session;
        std::string address;
        std::chrono::steady_clock::time_point waitingSince;
        bool waiting = true;   // false while a request is answered
        bool closing = false;  // chosen to make room; gone soon
    };
    std::mutex mutex;
    std::map<const Session*, Entry> entries;

    // Adds session unless the caps say no; the connection to close for it, if one must go.
    bool Admit(const std::shared_ptr<Session>& session, const std::string& address, const HttpLimits& limits,
               std::shared_ptr<Session>& victim)
    {
        std::lock_guard lock(mutex);
        size_t total = 0, fromAddress = 0;
        for (const auto& [key, entry] : entries) {
            if (entry.closing) continue;
            ++total;
            fromAddress += entry.address == address;
        }
        if (fromAddress >= limits.connectionsPerAddress || total >= limits.connections) {
            Entry* longest = nullptr;
            for (auto& [key, entry] : entries)
                if (!entry.closing && entry.waiting && (fromAddress < limits.connectionsPerAddress || entry.address == address) &&
                    (!longest || entry.waitingSince < longest->waitingSince))
                    longest = &entry;
            if (!longest) return false;
            longest->closing = true;
            victim = longest->session.lock();
        }
        entries[session.get()] = {session, address, std::chrono::steady_clock::now()};
        return true;
    }

    void Waiting(const Session* session, bool waiting)
    {
        std::lock_guard lock(mutex);
        const auto found = entries.find(session);
        if (found == entries.end()) return;
        found->second.waiting = waiting;
        found->second.waitingSince = std::chrono::steady_clock::now();
    }

    void Remove(const Session* session)
    {
        std::lock_guard lock(mutex);
        entries.erase(session);
    }
};

class HttpServer::Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, const HttpLimits& limits, const RequestHandler& handler,
            std::shared_ptr<Connections> connections)
        : stream_(std::move(socket)), limits_(limits), handler_(handler), connections_(std::move(connections))
    {
    }
    ~Session() { connections_->Remove(this); }

    void Read()
    {
        connections_->Waiting(this, true);
        parser_.emplace();
        LimitParser(*parser_, limits_);
        stream_.expires_after(limits_.requestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, size_t) { self->OnRead(error); });
    }

    // Closes the connection on its own strand, to make room for another.
    void Evict()
    {
        asio::post(stream_.get_executor(), [self = shared_from_this()] { self->Close(); });
    }

private:
    void OnRead(beast::error_code error)
    {
        connections_->Waiting(this, false);
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
    std::shared_ptr<Connections> connections_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::shared_ptr<HttpResponse> response_;
};

HttpServer::HttpServer(asio::io_context& io, HttpLimits limits, RequestHandler handler)
    : io_(io), limits_(limits), handler_(std::move(handler)), acceptor_(asio::make_strand(io)),
      retry_(acceptor_.get_executor()), connections_(std::make_shared<Connections>())
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
        Admit(std::move(socket));
        Accept();
    });
}

void HttpServer::Admit(tcp::socket socket)
{
    beast::error_code error;
    asio::ip::address address = socket.remote_endpoint(error).address();
    if (error) return;  // gone already
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    // Each answer is one small write that the client waits for: send it at once.
    socket.set_option(tcp::no_delay(true), error);
    auto session = std::make_shared<Session>(std::move(socket), limits_, handler_, connections_);
    std::shared_ptr<Session> victim;
    if (!connections_->Admit(session, address.to_string(), limits_, victim)) return;  // closed before a byte is read
    if (victim) victim->Evict();
    session->Read();
}

}  // namespace quillmoor::alpaca
