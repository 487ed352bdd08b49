// The daily temperature log: every five seconds, while a board with a
// focuser is connected, one CSV row with the time, each sensor's reading,
// the focuser position and the current filter's name. One file per local
// day, "term_log_<year>-<mm>-<dd>.csv", in C:\ on Windows (or, where the
// user may not create it there, in %LOCALAPPDATA%\Quillmoor) and in
// $XDG_DATA_HOME/quillmoor (or ~/.local/share/quillmoor) elsewhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace quillmoor {

class CFWDevice;

#ifdef _WIN32
inline constexpr std::string_view kTemperatureLogLineEnd = "\r\n";
#else
inline constexpr std::string_view kTemperatureLogLineEnd = "\n";
#endif

// The folders to try, in order; empty when there is no place for the log.
std::vector<std::string> TemperatureLogFolders();
std::string TemperatureLogFileName(const platform::LocalDateTime& date);

// One row's cells; a reading that is missing leaves its cell empty.
struct TemperatureLogRow {
    int sensorCount = 0;
    std::optional<float> temperatures[4];  // as many as the board has sensor slots
    std::optional<int32_t> position;
    std::string filterName;
};

// One tick of the log for device, at time now, into the first of folders
// where the day's file opens. Skipped while the port is closed, without a
// focuser, or while another exchange holds Busy.
void WriteTemperatureLogRow(CFWDevice& device, const platform::LocalDateTime& now,
                            const std::vector<std::string>& folders);
// The same for readings a host already holds, without an exchange.
void AppendTemperatureLogRow(const TemperatureLogRow& row, const platform::LocalDateTime& now,
                             const std::vector<std::string>& folders);

}  // namespace quillmoor
