// Where each request goes: the device API, management, the setup pages.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "alpaca/devices.h"
#include "alpaca/http_types.h"

namespace quillmoor::alpaca {

struct ServerDescription {
    std::string serverName = "Quillmoor Alpaca server";
    std::string manufacturer = "Quillmoor";
    std::string manufacturerVersion = "1.0";
    std::string location;
};

// A member's reply as JSON, or as a 400 when the request itself was wrong.
HttpResponse JsonAnswer(const HttpRequest& request, const Reply& reply, uint32_t clientTransactionId);

// Answers the setup pages; null for any other path.
using SetupHandler = std::function<std::optional<HttpResponse>(const HttpRequest&)>;

class Router {
public:
    Router(std::vector<AlpacaDevice> devices, ServerDescription description, SetupHandler setup);
    HttpResponse Handle(const HttpRequest& request) const;

private:
    HttpResponse Route(const HttpRequest& request, std::string_view target) const;
    HttpResponse DeviceApi(const HttpRequest& request, const ApiRequest& call) const;
    std::optional<HttpResponse> Management(const HttpRequest& request, const ApiRequest& call) const;

    std::vector<AlpacaDevice> devices_;
    ServerDescription description_;
    SetupHandler setup_;
};

}  // namespace quillmoor::alpaca
