// The HTTP messages the server reads and writes, and plain answers.
#pragma once

#include <boost/beast/http.hpp>

#include <chrono>
#include <cstddef>
#include <string>

namespace quillmoor::alpaca {

namespace http = boost::beast::http;
using HttpRequest = http::request<http::string_body>;
using HttpResponse = http::response<http::string_body>;

struct HttpLimits {
    size_t headerBytes = 8 * 1024;  // the request line and the headers
    size_t bodyBytes = 64 * 1024;
    // At either cap a newcomer takes the place of the connection that has
    // waited longest for its next request (idle, or still sending one); with
    // none waiting it is closed at once.
    size_t connections = 64;
    size_t connectionsPerAddress = 24;
    // The most a request may take to arrive, and a kept-alive connection may idle.
    std::chrono::milliseconds requestTimeout{15000};
};

// A parser for one request that stops at the limits.
inline void LimitParser(http::request_parser<http::string_body>& parser, const HttpLimits& limits)
{
    parser.header_limit(static_cast<uint32_t>(limits.headerBytes));
    parser.body_limit(limits.bodyBytes);
}

// An answer to request with the given status, type and body, keeping its keep-alive.
HttpResponse Answer(const HttpRequest& request, http::status status, const char* contentType, std::string body);
inline HttpResponse TextAnswer(const HttpRequest& request, http::status status, std::string text)
{
    return Answer(request, status, "text/plain; charset=utf-8", std::move(text) + "\n");
}

}  // namespace quillmoor::alpaca
