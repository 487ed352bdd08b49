#include "service/temperature_history.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

namespace quillmoor::service {
namespace {

// A log row every five seconds for a whole day is 17,280 rows; anything
// longer is not one day's log.
constexpr size_t kMostRows = 24 * 60 * 60;
// Beyond this many points the slopes between every two would cost too much;
// an even selection keeps the fit's character.
constexpr size_t kMostFitPoints = 2000;
constexpr double kColdest = -273.15, kHottest = 1000;
constexpr std::string_view kLogPrefix = "term_log_", kLogSuffix = ".csv";

std::vector<std::string_view> Cells(std::string_view line)
{
    std::vector<std::string_view> cells;
    while (true) {
        const size_t comma = line.find(',');
        cells.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos) return cells;
        line.remove_prefix(comma + 1);
    }
}

template <class T>
bool Whole(std::string_view text, T& value)
{
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<int32_t> SecondsOfDay(std::string_view cell)
{
    int hour = 0, minute = 0, second = 0;
    if (cell.size() != 8 || cell[2] != ':' || cell[5] != ':' || !Whole(cell.substr(0, 2), hour) ||
        !Whole(cell.substr(3, 2), minute) || !Whole(cell.substr(6, 2), second) || hour > 23 || minute > 59 ||
        second > 59 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    return hour * 3600 + minute * 60 + second;
}

// The header's sensor names, or null when line is not a header.
std::optional<std::vector<std::string>> HeaderSensors(std::string_view line)
{
    const std::vector<std::string_view> cells = Cells(line);
    if (cells.size() < 3 || cells.front() != "Time" || cells[cells.size() - 2] != "Focus" || cells.back() != "Filter")
        return std::nullopt;
    std::vector<std::string> sensors;
    for (size_t i = 1; i + 2 < cells.size(); ++i) {
        if (cells[i] != "T" + std::to_string(i - 1)) return std::nullopt;
        sensors.emplace_back(cells[i]);
    }
    return sensors;
}

// One row into history; false when the line is not a whole row.
bool AddRow(std::string_view line, TemperatureHistory& history)
{
    const std::vector<std::string_view> cells = Cells(line);
    const size_t sensors = history.sensors.size();
    if (cells.size() != sensors + 3) return false;
    const std::optional<int32_t> seconds = SecondsOfDay(cells[0]);
    if (!seconds) return false;
    std::vector<std::optional<double>> readings(sensors);
    for (size_t i = 0; i < sensors; ++i) {
        const std::string_view cell = cells[1 + i];
        if (cell.empty()) continue;  // the reading failed
        double degrees = 0;
        if (!Whole(cell, degrees) || !(degrees >= kColdest && degrees <= kHottest)) return false;
        readings[i] = degrees;
    }
    std::optional<int32_t> focus;
    if (const std::string_view cell = cells[1 + sensors]; !cell.empty()) {
        int32_t position = 0;
        if (!Whole(cell, position)) return false;
        focus = position;
    }
    const std::string_view filter = cells[2 + sensors];
    if (filter.size() > 8) return false;  // names are at most 8 characters

    history.seconds.push_back(*seconds);
    for (size_t i = 0; i < sensors; ++i) history.temperatures[i].push_back(readings[i]);
    history.focus.push_back(focus);
    history.filter.emplace_back(filter);
    return true;
}

double Median(std::vector<double>& values)
{
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) return upper;
    return (*std::max_element(values.begin(), values.begin() + middle) + upper) / 2;
}

// One point per stretch of consecutive rows at one position with readings.
std::vector<std::pair<double, int32_t>> FocusPoints(const TemperatureHistory& history, size_t sensor)
{
    std::vector<std::pair<double, int32_t>> points;
    std::vector<double> stretch;
    std::optional<int32_t> at;
    auto close = [&] {
        if (!stretch.empty()) points.emplace_back(Median(stretch), *at);
        stretch.clear();
    };
    for (size_t row = 0; row < history.seconds.size(); ++row) {
        const std::optional<int32_t>& focus = history.focus[row];
        const std::optional<double>& degrees = history.temperatures[sensor][row];
        if (!focus || !degrees) continue;  // a busy tick: the stretch goes on
        if (focus != at) close();
        at = focus;
        stretch.push_back(*degrees);
    }
    close();
    return points;
}

std::string Degrees(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

TemperatureHistory ParseTemperatureLog(std::string_view text)
{
    TemperatureHistory history;
    bool headerSeen = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (!headerSeen) {
            if (std::optional<std::vector<std::string>> sensors = HeaderSensors(line)) {
                history.sensors = std::move(*sensors);
                history.temperatures.resize(history.sensors.size());
                headerSeen = true;
                continue;
            }
        }
        if (history.seconds.size() >= kMostRows) {
            history.truncated = true;
            break;
        }
        if (!headerSeen || !AddRow(line, history)) ++history.skippedLines;
    }
    return history;
}

std::optional<std::string> TemperatureLogFileFor(std::string_view day)
{
    int year = 0, month = 0, date = 0;
    if (day.size() != 10 || day[4] != '-' || day[7] != '-' || !Whole(day.substr(0, 4), year) ||
        !Whole(day.substr(5, 2), month) || !Whole(day.substr(8, 2), date) || year < 1000 || month < 1 ||
        month > 12 || date < 1 || date > 31)
        return std::nullopt;
    return std::string(kLogPrefix) + std::string(day) + std::string(kLogSuffix);
}

std::optional<std::string> DayOfTemperatureLog(std::string_view fileName)
{
    if (fileName.size() != kLogPrefix.size() + 10 + kLogSuffix.size() || !fileName.starts_with(kLogPrefix) ||
        !fileName.ends_with(kLogSuffix))
        return std::nullopt;
    const std::string_view day = fileName.substr(kLogPrefix.size(), 10);
    if (TemperatureLogFileFor(day) != fileName) return std::nullopt;
    return std::string(day);
}

int16_t FocusSlope::BoardValue() const
{
    const double rounded = std::round(stepsPerDegree);
    return static_cast<int16_t>(std::clamp<double>(rounded, -kLargestStepsPerDegree, kLargestStepsPerDegree));
}

FocusSlope FitFocusSlope(const TemperatureHistory& history, int sensor)
{
    FocusSlope fit;
    if (sensor < 0 || static_cast<size_t>(sensor) >= history.sensors.size()) {
        fit.refusal = "The log has no readings of sensor " + std::to_string(sensor) + ", the reported sensor";
        return fit;
    }
    fit.points = FocusPoints(history, static_cast<size_t>(sensor));
    std::set<int32_t> distinct;
    for (const auto& point : fit.points) distinct.insert(point.second);
    fit.positions = static_cast<int>(distinct.size());
    if (!fit.points.empty()) {
        const auto [coldest, warmest] = std::minmax_element(fit.points.begin(), fit.points.end());
        fit.spanDegrees = warmest->first - coldest->first;  // pairs order by degrees first
    }
    if (fit.positions < kLeastFocusPositions) {
        fit.refusal = "The log holds " + std::to_string(fit.positions) + " distinct focus position" +
                      (fit.positions == 1 ? "" : "s") + " with readings: at least " +
                      std::to_string(kLeastFocusPositions) + " are needed";
        return fit;
    }
    if (fit.spanDegrees < kLeastSpanDegrees) {
        fit.refusal = "The temperature spans only " + Degrees(fit.spanDegrees) + " °C: at least " +
                      Degrees(kLeastSpanDegrees) + " °C are needed";
        return fit;
    }

    std::vector<std::pair<double, int32_t>> sample;
    const size_t stride = (fit.points.size() + kMostFitPoints - 1) / kMostFitPoints;
    for (size_t i = 0; i < fit.points.size(); i += stride) sample.push_back(fit.points[i]);
    std::vector<double> slopes;
    slopes.reserve(sample.size() * (sample.size() - 1) / 2);
    for (size_t i = 0; i < sample.size(); ++i)
        for (size_t j = i + 1; j < sample.size(); ++j) {
            const double dx = sample[j].first - sample[i].first;
            if (dx != 0) slopes.push_back((double(sample[j].second) - sample[i].second) / dx);
        }
    if (slopes.empty()) {  // cannot happen with a span, but a fit never divides by nothing
        fit.refusal = "The points share one temperature";
        return fit;
    }
    fit.stepsPerDegree = Median(slopes);
    std::vector<double> offsets, distances;
    for (const auto& [degrees, position] : fit.points) offsets.push_back(position - fit.stepsPerDegree * degrees);
    fit.intercept = Median(offsets);
    for (const auto& [degrees, position] : fit.points)
        distances.push_back(std::fabs(position - (fit.intercept + fit.stepsPerDegree * degrees)));
    fit.spreadSteps = Median(distances);
    if (std::fabs(std::round(fit.stepsPerDegree)) > kLargestStepsPerDegree)
        fit.refusal = "The slope, " + Degrees(fit.stepsPerDegree) + " steps per degree, lies outside -" +
                      std::to_string(kLargestStepsPerDegree) + ".." + std::to_string(kLargestStepsPerDegree);
    return fit;
}

}  // namespace quillmoor::service
