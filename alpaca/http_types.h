// The HTTP messages the server reads and writes, and plain answers.
#pragma once

#include <boost/beast/http.hpp>

#include <string>

namespace quillmoor::alpaca {

namespace http = boost::beast::http;
using HttpRequest = http::request<http::string_body>;
using HttpResponse = http::response<http::string_body>;

// An answer to request with the given status, type and body, keeping its keep-alive.
HttpResponse Answer(const HttpRequest& request, http::status status, const char* contentType, std::string body);
inline HttpResponse TextAnswer(const HttpRequest& request, http::status status, std::string text)
{
    return Answer(request, status, "text/plain; charset=utf-8", std::move(text) + "\n");
}

}  // namespace quillmoor::alpaca
