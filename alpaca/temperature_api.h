// The temperature log on the setup pages: one day's log as JSON columns with
// the fitted slope of focus against temperature, each day's file as it was
// written, and the slope put into the board's compensation.
//   GET /setup/v1/temperaturelog?Day=YYYY-MM-DD   (no Day: the latest day)
//   GET /setup/v1/temperaturelog/term_log_YYYY-MM-DD.csv
//   PUT /setup/v1/tempcomp  Day=YYYY-MM-DD
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "alpaca/http_types.h"
#include "alpaca/served_board.h"

namespace quillmoor::alpaca {

// Null for any path that is not one of these. folders: where the log is
// written, in the writer's order.
std::optional<HttpResponse> ServeTemperatureApi(ServedBoard& board, const std::vector<std::string>& folders,
                                                const HttpRequest& request);

}  // namespace quillmoor::alpaca
