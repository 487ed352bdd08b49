#include "alpaca/setup_pages.h"

#include <fstream>
#include <iterator>
#include <string_view>

#include "alpaca/web_files.h"

namespace quillmoor::alpaca {
namespace {

#ifndef QUILLMOOR_EMBEDDED_JAVASCRIPT
// The chart library is Debian's shared copy, read where the package put it,
// so that its security updates reach the pages.
std::optional<HttpResponse> SystemScript(const HttpRequest& request, std::string_view path)
{
    if (path != kChartScriptPath) return std::nullopt;
    std::ifstream file(std::string(QUILLMOOR_JAVASCRIPT_DIR) + std::string(kChartScriptFile), std::ios::binary);
    if (!file) return TextAnswer(request, http::status::not_found, "The chart library is not installed");
    std::string script{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    HttpResponse answer = Answer(request, http::status::ok, "text/javascript; charset=utf-8", std::move(script));
    answer.set(http::field::cache_control, "max-age=3600");
    return answer;
}
#endif

}  // namespace

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
#ifndef QUILLMOOR_EMBEDDED_JAVASCRIPT
    return SystemScript(request, path);
#else
    return std::nullopt;
#endif
}

}  // namespace quillmoor::alpaca
