// The setup pages: plain HTML, CSS and a little JavaScript, held in the
// program itself; they talk to the setup API.
#pragma once

#include <optional>

#include "alpaca/http_types.h"

namespace quillmoor::alpaca {

// /setup, /setup/v1/{focuser|filterwheel}/0/setup and the files they use;
// null for any other path.
std::optional<HttpResponse> ServeSetupPage(const HttpRequest& request);

}  // namespace quillmoor::alpaca
