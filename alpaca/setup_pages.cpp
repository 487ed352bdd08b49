#include "alpaca/setup_pages.h"

#include <string_view>

namespace quillmoor::alpaca {

std::optional<HttpResponse> ServeSetupPage(const HttpRequest& request)
{
    if (request.method() != http::verb::get) return std::nullopt;
    const std::string_view target(request.target().data(), request.target().size());
    const std::string_view path = target.substr(0, target.find('?'));
    if (path != "/setup" && path != "/setup/v1/focuser/0/setup" && path != "/setup/v1/filterwheel/0/setup")
        return std::nullopt;
    return Answer(request, http::status::ok, "text/html; charset=utf-8",
                  "<!doctype html><html><head><title>Quillmoor</title></head><body><h1>Quillmoor</h1></body></html>");
}

}  // namespace quillmoor::alpaca
