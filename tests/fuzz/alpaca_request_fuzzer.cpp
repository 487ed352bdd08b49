// Arbitrary bytes as an HTTP request to the Alpaca server: the request parser
// with the server's limits, then the protocol rules (target, query or form,
// client numbers, value readers) and the routing of a server without devices,
// and the reply written from whatever text came in.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "alpaca/protocol.h"
#include "alpaca/router.h"

using namespace quillmoor::alpaca;

namespace {

void ReadValues(const Params& params)
{
    for (const char* name : {"Position", "TempComp", "ClientID", "Connected", "StepSize", "Action"}) {
        const std::string* text = params.Find(name);
        if (!text) continue;
        ParseInt32(*text);
        ParseBool(*text);
        ParseNumber(*text);
        ParseUnsigned32(*text);
        (void)ReplyBody(Error(kInvalidValue, *text), 1);  // any bytes into the JSON reply
        (void)ReplyBody(Ok(*text), 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Router router({}, ServerDescription{}, nullptr);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Also straight at the form and query readers.
    for (auto names : {Params::Names::AnyCase, Params::Names::ExactCase})
        if (std::optional<Params> params = Params::Parse(bytes, names)) ReadValues(*params);

    http::request_parser<http::string_body> parser;
    LimitParser(parser, HttpLimits{});
    parser.eager(true);
    boost::beast::error_code error;
    size_t used = 0;
    while (used < size && !error && !parser.is_done()) {
        const size_t taken = parser.put(boost::asio::buffer(data + used, size - used), error);
        if (taken == 0 && error == http::error::need_more) break;
        used += taken;
        if (error == http::error::need_more) error = {};
        if (taken == 0 && !error && !parser.is_done()) break;
    }
    if (!error && !parser.is_done()) parser.put_eof(error);
    if (error || !parser.is_done()) return 0;

    const HttpRequest request = parser.release();
    const std::string_view target(request.target().data(), request.target().size());
    for (Method method : {Method::Get, Method::Put}) {
        const ParsedRequest parsed = ParseApiRequest(method, target, request.body());
        if (parsed.request) ReadValues(parsed.request->params);
    }
    (void)router.Handle(request);
    return 0;
}
