// The setup pages' files as the program carries them (made from alpaca/web).
#pragma once

#include <cstddef>
#include <string_view>

namespace quillmoor::alpaca {

struct WebFile {
    const char* path;
    const char* contentType;
    const char* content;
};
extern const WebFile kWebFiles[];
// The chart library the focuser page draws with: Debian's libjs-chart.js,
// served from its file, or carried in the program where there is no such
// package (QUILLMOOR_EMBEDDED_JAVASCRIPT).
inline constexpr std::string_view kChartScriptPath = "/javascript/chart.js/chart.min.js";
inline constexpr std::string_view kChartScriptFile = "/chart.js/chart.min.js";  // under the script folder
extern const size_t kWebFileCount;

}  // namespace quillmoor::alpaca
