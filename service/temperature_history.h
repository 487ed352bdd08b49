// The temperature log read back: one day's file as columns, and the slope of
// focus against temperature that the board's compensation could use. A log
// written while the board was busy has empty cells, and a file may be cut
// short or damaged; such lines are skipped and counted, never fatal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmoor::service {

struct TemperatureHistory {
    std::vector<std::string> sensors;  // the header's names: "T0", "T1", ...
    std::vector<int32_t> seconds;      // since the day's midnight
    // temperatures[sensor][row]; no value where the reading failed.
    std::vector<std::vector<std::optional<double>>> temperatures;
    std::vector<std::optional<int32_t>> focus;
    std::vector<std::string> filter;   // empty: no filter known
    int skippedLines = 0;
    bool truncated = false;            // longer than a day's log can be: the rest was not read
};

// Reads a log's text. Without a header line every line counts as skipped.
TemperatureHistory ParseTemperatureLog(std::string_view text);

// A day's log file name for "YYYY-MM-DD", or null when day is not a date.
std::optional<std::string> TemperatureLogFileFor(std::string_view day);
// The date of a log file name ("term_log_2026-12-09.csv" -> "2026-12-09"), or null.
std::optional<std::string> DayOfTemperatureLog(std::string_view fileName);

// Focus against temperature, fitted so that a few stray points do not move
// it: each stretch of rows at one focus position is one point (the median
// temperature it saw), and the slope is the median of the slopes between
// every two points (Theil-Sen).
struct FocusSlope {
    std::vector<std::pair<double, int32_t>> points;  // (degrees, position)
    double stepsPerDegree = 0;  // board steps per degree, the compensation's sign
    double intercept = 0;       // position at 0 degrees
    int positions = 0;          // distinct focus positions among the points
    double spanDegrees = 0;     // from the coldest point to the warmest
    double spreadSteps = 0;     // median distance of the points from the line
    std::string refusal;        // why the data cannot carry a slope; empty when it can
    int16_t BoardValue() const;  // stepsPerDegree rounded, for the configuration block
};

inline constexpr int kLeastFocusPositions = 3;
inline constexpr double kLeastSpanDegrees = 1.0;
inline constexpr int kLargestStepsPerDegree = 1000;  // what the focuser settings allow

FocusSlope FitFocusSlope(const TemperatureHistory& history, int sensor);

}  // namespace quillmoor::service
