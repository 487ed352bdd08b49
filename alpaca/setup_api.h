// What the setup pages read and change, as JSON under /setup/v1/: the state
// in one read, and the serial port, the focuser's range, shift and step
// length, and the filter names and focus offsets (written to the board). The
// pages' hand box moves and turns through here, holding the link as a client
// of its own. Replies have the device API's shape.
#pragma once

#include <optional>

#include "alpaca/http_types.h"
#include "alpaca/served_board.h"

namespace quillmoor::alpaca {

// Null for any path that is not one of the setup API's.
std::optional<HttpResponse> ServeSetupApi(ServedBoard& board, const HttpRequest& request);

}  // namespace quillmoor::alpaca
