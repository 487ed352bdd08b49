#include "alpaca/temperature_api.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "alpaca/devices.h"
#include "alpaca/router.h"
#include "platform/clock.h"
#include "service/temperature_history.h"

namespace quillmoor::alpaca {
namespace {

using service::FocusSlope;
using service::TemperatureHistory;

constexpr std::string_view kLogPath = "/setup/v1/temperaturelog";
constexpr std::string_view kCompensationPath = "/setup/v1/tempcomp";
constexpr std::streamsize kMostLogBytes = 16 << 20;  // a day's log is well under a megabyte

std::string Today()
{
    const platform::LocalDateTime now = platform::LocalNow();
    char day[16];
    std::snprintf(day, sizeof day, "%04d-%02d-%02d", now.year, now.month, now.day);
    return day;
}

// Every day that has a log in one of the folders, oldest first.
std::vector<std::string> LoggedDays(const std::vector<std::string>& folders)
{
    std::set<std::string> days;
    for (const std::string& folder : folders) {
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error))
            if (auto day = service::DayOfTemperatureLog(entry->path().filename().string())) days.insert(*day);
    }
    return {days.begin(), days.end()};
}

// The day's file from the first folder that has it, as written; null without one.
std::optional<std::string> ReadLog(const std::vector<std::string>& folders, const std::string& fileName)
{
    for (const std::string& folder : folders) {
        std::ifstream file(std::filesystem::path(folder) / fileName, std::ios::binary);
        if (!file) continue;
        std::string text(static_cast<size_t>(kMostLogBytes), '\0');
        file.read(text.data(), kMostLogBytes);
        text.resize(static_cast<size_t>(file.gcount()));
        return text;
    }
    return std::nullopt;
}

nlohmann::json OrNull(const auto& value) { return value ? nlohmann::json(*value) : nlohmann::json(nullptr); }

nlohmann::json FitJson(const FocusSlope& fit)
{
    nlohmann::json points = nlohmann::json::array();
    for (const auto& [degrees, position] : fit.points) points.push_back({degrees, position});
    return {{"Points", points},
            {"StepsPerDegree", fit.stepsPerDegree},
            {"BoardValue", fit.BoardValue()},
            {"Intercept", fit.intercept},
            {"Positions", fit.positions},
            {"SpanDegrees", fit.spanDegrees},
            {"SpreadSteps", fit.spreadSteps},
            {"Refusal", fit.refusal}};
}

struct Day {
    std::string day;
    std::optional<std::string> text;  // null: no file for the day
    TemperatureHistory history;
    FocusSlope fit;
};

Day LoadDay(const std::vector<std::string>& folders, const std::string& day, int sensor)
{
    Day loaded{day, ReadLog(folders, *service::TemperatureLogFileFor(day)), {}, {}};
    if (loaded.text) loaded.history = service::ParseTemperatureLog(*loaded.text);
    if (loaded.text && loaded.text->size() >= size_t(kMostLogBytes)) loaded.history.truncated = true;
    loaded.fit = service::FitFocusSlope(loaded.history, sensor);
    if (!loaded.text) loaded.fit.refusal = "There is no temperature log for " + day;
    return loaded;
}

nlohmann::json DayJson(const Day& loaded, const std::vector<std::string>& days, const service::BoardState& state)
{
    const TemperatureHistory& history = loaded.history;
    nlohmann::json temperatures = nlohmann::json::array();
    for (const auto& column : history.temperatures) {
        nlohmann::json cells = nlohmann::json::array();
        for (const auto& reading : column) cells.push_back(OrNull(reading));
        temperatures.push_back(std::move(cells));
    }
    nlohmann::json focus = nlohmann::json::array();
    for (const auto& position : history.focus) focus.push_back(OrNull(position));
    return {{"Days", days},
            {"Day", loaded.day},
            {"Today", Today()},
            {"Found", loaded.text.has_value()},
            {"File", *service::TemperatureLogFileFor(loaded.day)},
            {"Sensors", history.sensors},
            {"Time", history.seconds},
            {"Temperatures", temperatures},
            {"Focus", focus},
            {"Filter", history.filter},
            {"SkippedLines", history.skippedLines},
            {"Truncated", history.truncated},
            {"ReportedSensor", state.PreferredSensor()},
            {"Fit", FitJson(loaded.fit)},
            {"BoardStepsPerDegree", state.connected ? nlohmann::json(state.compensationStepsPerDegree)
                                                    : nlohmann::json(nullptr)}};
}

// The Day parameter, the latest logged day without one; null with the text of a 400.
// A write names its day.
std::optional<std::string> DayParameter(const ApiRequest& call, const std::vector<std::string>& days,
                                        std::string& error)
{
    const std::string* day = call.params.Find("Day");
    if (!day && call.method == Method::Put) {
        error = "Missing parameter Day";
        return std::nullopt;
    }
    if (!day) return days.empty() ? Today() : days.back();
    if (!service::TemperatureLogFileFor(*day)) {
        error = "Day must be a date written YYYY-MM-DD";
        return std::nullopt;
    }
    return *day;
}

Reply WriteCompensation(ServedBoard& board, const Day& loaded)
{
    if (!loaded.fit.refusal.empty()) return Error(kInvalidValue, loaded.fit.refusal);
    const service::BoardState state = board.Service().State();
    if (!state.connected) return FailureReply(service::Job::None, LinkFailure::NotConnected);
    if (!state.focuserPresent) return Error(kInvalidOperation, "The board has no focuser");
    const int16_t value = loaded.fit.BoardValue();
    LinkFailure why = LinkFailure::None;
    const bool done = board.Service().Call(
        [value](CFWDevice& device) {
            // The block is written whole, as the focuser settings write it;
            // the PC's copy changes only if the board took it.
            const int16_t before = device.Config.TempCompStepsPerDegree;
            device.Config.TempCompStepsPerDegree = value;
            if (device.WriteConfig()) return true;
            device.Config.TempCompStepsPerDegree = before;
            return false;
        },
        &why);
    if (!done) return FailureReply(service::Job::Call, why);
    return Ok({{"Before", state.compensationStepsPerDegree}, {"StepsPerDegree", value}});
}

}  // namespace

std::optional<HttpResponse> ServeTemperatureApi(ServedBoard& board, const std::vector<std::string>& folders,
                                                const HttpRequest& request)
{
    const std::string_view target(request.target().data(), request.target().size());
    const std::string_view path = target.substr(0, target.find('?'));
    const bool put = request.method() == http::verb::put;
    if (!put && request.method() != http::verb::get) return std::nullopt;

    if (!put && path.starts_with(kLogPath) && path.size() > kLogPath.size() + 1 && path[kLogPath.size()] == '/') {
        const std::string_view name = path.substr(kLogPath.size() + 1);
        const std::optional<std::string> day = service::DayOfTemperatureLog(name);
        const std::optional<std::string> text = day ? ReadLog(folders, std::string(name)) : std::nullopt;
        if (!text) return TextAnswer(request, http::status::not_found, "No such temperature log");
        HttpResponse answer = Answer(request, http::status::ok, "text/csv; charset=utf-8", *text);
        answer.set(http::field::content_disposition, "attachment; filename=\"" + std::string(name) + "\"");
        return answer;
    }
    if (put ? path != kCompensationPath : path != kLogPath) return std::nullopt;

    const ParsedRequest parsed = ParseApiRequest(put ? Method::Put : Method::Get, target, request.body());
    if (!parsed.request) return TextAnswer(request, http::status::bad_request, parsed.error);
    const std::vector<std::string> days = LoggedDays(folders);
    std::string error;
    const std::optional<std::string> day = DayParameter(*parsed.request, days, error);
    if (!day) return TextAnswer(request, http::status::bad_request, error);
    const service::BoardState state = board.Service().State();
    const Day loaded = LoadDay(folders, *day, state.PreferredSensor());
    const Reply reply = put ? WriteCompensation(board, loaded) : Ok(DayJson(loaded, days, state));
    return JsonAnswer(request, reply, parsed.request->clientTransactionId);
}

}  // namespace quillmoor::alpaca
