#include "alpaca/setup_pages.h"

#include <string_view>

#include "alpaca/web_files.h"

namespace quillmoor::alpaca {

std::optional<HttpResponse> ServeSetupPage(const HttpRequest& request)
{
    if (request.method() != http::verb::get) return std::nullopt;
    const std::string_view target(request.target().data(), request.target().size());
    std::string_view path = target.substr(0, target.find('?'));
    if (path == "/setup/") path = "/setup";
    for (size_t i = 0; i < kWebFileCount; ++i) {
        if (path != kWebFiles[i].path) continue;
        HttpResponse answer = Answer(request, http::status::ok, kWebFiles[i].contentType, kWebFiles[i].content);
        answer.set(http::field::cache_control, "no-cache");
        return answer;
    }
    return std::nullopt;
}

}  // namespace quillmoor::alpaca
