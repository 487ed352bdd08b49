#include "alpaca/router.h"

#include <string_view>

namespace quillmoor::alpaca {
namespace {

constexpr std::string_view kApiPrefix = "/api/v1/";
constexpr std::string_view kManagementPrefix = "/management/";

Method MethodOf(const HttpRequest& request)
{
    if (request.method() == http::verb::get) return Method::Get;
    if (request.method() == http::verb::put) return Method::Put;
    return Method::Other;
}

// "a/b/c" -> {"a", "b", "c"}; empty parts are kept, so "a//b" does not pass for "a/b".
std::vector<std::string_view> Split(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (true) {
        const size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) return parts;
        path.remove_prefix(slash + 1);
    }
}

// A browser names the page that makes a request in Origin; native clients
// send none. A page served by this server has the server's own origin, the
// scheme and the Host it was reached by.
bool FromForeignPage(const HttpRequest& request)
{
    const auto origin = request.find(http::field::origin);
    if (origin == request.end()) return false;
    const auto host = request.find(http::field::host);
    return host == request.end() || origin->value() != "http://" + std::string(host->value());
}

// Reads of the device API and management may come from pages elsewhere;
// nothing else is shared with them.
}  // namespace

HttpResponse JsonAnswer(const HttpRequest& request, const Reply& reply, uint32_t clientTransactionId)
{
    if (!reply.badRequest.empty()) return TextAnswer(request, http::status::bad_request, reply.badRequest);
    return Answer(request, http::status::ok, "application/json", ReplyBody(reply, clientTransactionId));
}

HttpResponse Answer(const HttpRequest& request, http::status status, const char* contentType, std::string body)
{
    HttpResponse response{status, request.version()};
    response.set(http::field::server, "quillmoor-alpaca");
    response.set(http::field::content_type, contentType);
    response.keep_alive(request.keep_alive());
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
}

Router::Router(std::vector<AlpacaDevice> devices, ServerDescription description, SetupHandler setup)
    : devices_(std::move(devices)), description_(std::move(description)), setup_(std::move(setup))
{
}

HttpResponse Router::Handle(const HttpRequest& request) const
{
    const std::string_view target(request.target().data(), request.target().size());
    return Route(request, target);
}

HttpResponse Router::Route(const HttpRequest& request, std::string_view target) const
{
    // A browser's preflight. Nothing is shared with pages of other origins:
    // Alpaca clients are native programs, and the setup pages are our own.
    if (request.method() == http::verb::options) return Answer(request, http::status::no_content, "text/plain", {});
    // Any web page the user visits could otherwise move the focuser, rewrite
    // the board's memory or change the port, through the user's browser.
    if (request.method() == http::verb::put && FromForeignPage(request))
        return TextAnswer(request, http::status::forbidden,
                          "Refused: a web page from " + std::string(request[http::field::origin]) +
                              " may not change this server's devices or settings");
    const Method method = MethodOf(request);
    if (method == Method::Other) return TextAnswer(request, http::status::method_not_allowed, "Only GET and PUT are served");

    const bool api = target.substr(0, kApiPrefix.size()) == kApiPrefix;
    const bool management = target.substr(0, kManagementPrefix.size()) == kManagementPrefix;
    if (api || management) {
        ParsedRequest parsed = ParseApiRequest(method, target, request.body());
        if (!parsed.request) return TextAnswer(request, http::status::bad_request, parsed.error);
        if (api) return DeviceApi(request, *parsed.request);
        if (std::optional<HttpResponse> answer = Management(request, *parsed.request)) return *answer;
    }
    if (setup_)
        if (std::optional<HttpResponse> page = setup_(request)) return *page;
    return TextAnswer(request, http::status::not_found, "Nothing is served at " + std::string(target.substr(0, target.find('?'))));
}

HttpResponse Router::DeviceApi(const HttpRequest& request, const ApiRequest& call) const
{
    const std::vector<std::string_view> parts = Split(std::string_view(call.path).substr(kApiPrefix.size()));
    if (parts.size() != 3) return TextAnswer(request, http::status::bad_request, "The path must be /api/v1/{device type}/{device number}/{member}");
    const auto [type, number, member] = std::tuple(parts[0], parts[1], parts[2]);
    for (const AlpacaDevice& device : devices_) {
        if (device.pathType != type) continue;
        if (number != std::to_string(device.number))
            return TextAnswer(request, http::status::bad_request, "There is no " + std::string(type) + " number " + std::string(number));
        const MemberTable& members = call.method == Method::Put ? device.put : device.get;
        const auto found = members.find(member);
        if (found == members.end())
            return TextAnswer(request, http::status::bad_request,
                              std::string(call.method == Method::Put ? "PUT " : "GET ") + std::string(member) +
                                  " is not a member of the " + device.typeName);
        return JsonAnswer(request, found->second(call), call.clientTransactionId);
    }
    return TextAnswer(request, http::status::bad_request, "There is no device type '" + std::string(type) + "'");
}

std::optional<HttpResponse> Router::Management(const HttpRequest& request, const ApiRequest& call) const
{
    if (call.method != Method::Get) return std::nullopt;
    nlohmann::json value;
    if (call.path == "/management/apiversions") {
        value = nlohmann::json::array({1});
    } else if (call.path == "/management/v1/description") {
        value = {{"ServerName", description_.serverName},
                 {"Manufacturer", description_.manufacturer},
                 {"ManufacturerVersion", description_.manufacturerVersion},
                 {"Location", description_.location}};
    } else if (call.path == "/management/v1/configureddevices") {
        value = nlohmann::json::array();
        for (const AlpacaDevice& device : devices_)
            value.push_back({{"DeviceName", device.name},
                             {"DeviceType", device.typeName},
                             {"DeviceNumber", device.number},
                             {"UniqueID", device.uniqueId}});
    } else {
        return std::nullopt;
    }
    return JsonAnswer(request, Ok(std::move(value)), call.clientTransactionId);
}

}  // namespace quillmoor::alpaca
