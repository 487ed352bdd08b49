#include "alpaca/setup_api.h"

#include <cstring>
#include <functional>
#include <map>

#include "alpaca/router.h"

namespace quillmoor::alpaca {
namespace {

using service::BoardState;
using service::Job;

constexpr std::string_view kPrefix = "/setup/v1/";
constexpr int32_t kBoardPositionFloor = -32768, kBoardPositionCeiling = 32767;  // 16-bit on the wire
constexpr double kLongestStepMicrons = 10000;

nlohmann::json StateJson(const ServedBoard& board, const BoardState& state)
{
    nlohmann::json temperatures = nlohmann::json::array();
    const int32_t fitted = std::clamp<int32_t>(state.sensorCount, 0, kTemperatureSlots);
    for (int32_t i = 0; i < fitted; ++i)
        temperatures.push_back(state.temperatureRead[i] ? nlohmann::json(std::round(state.temperatures[i] * 100.0) / 100.0)
                                                        : nlohmann::json(nullptr));
    nlohmann::json filters = nlohmann::json::array();
    for (const FilterSlot& slot : state.filters)
        filters.push_back({{"Name", SlotName(slot)},
                           {"Offset", slot.FocuserPos}});
    return {{"SerialPort", board.Settings().serialPort},
            {"Connected", state.connected},
            {"Connecting", state.Connecting()},
            {"HandBoxConnected", state.connected && state.clients.count(HolderKey(Holder::HandBox)) != 0},
            {"FocuserClients", HolderCount(state, Holder::Focuser)},
            {"WheelClients", HolderCount(state, Holder::Wheel)},
            {"FocuserPresent", state.focuserPresent},
            {"WheelPresent", state.wheelPresent},
            {"Position", ClientPositionFor(state.options, state.position)},
            {"Moving", state.Moving()},
            {"MaxStep", state.options.AscomMaxFocusPos},
            {"Shift", state.options.AscomFocusShift},
            {"StepSize", state.options.StepLenInMicrons},
            {"PreferredSensor", state.PreferredSensor()},
            {"TempCompStepsPerDegree",
             state.connected ? nlohmann::json(state.compensationStepsPerDegree) : nlohmann::json(nullptr)},
            {"Temperatures", temperatures},
            {"Filter", state.Turning() ? -1 : state.filter},
            {"Turning", state.Turning()},
            {"Filters", filters},
            {"LastError", service::FailureText(state.failedJob, state.failure)}};
}

Reply CallReply(bool done, LinkFailure why) { return done ? Ok() : FailureReply(Job::Call, why); }

Reply SetFocuser(ServedBoard& board, const ApiRequest& request)
{
    const IntParam maxStep = RequiredInt(request.params, "MaxStep");
    const IntParam shift = RequiredInt(request.params, "Shift");
    const IntParam sensor = RequiredInt(request.params, "PreferredSensor");
    const std::string* stepText = request.params.Find("StepSize");
    const std::optional<double> stepSize = stepText ? ParseNumber(*stepText) : std::nullopt;
    for (const std::string* error : {&maxStep.error, &shift.error, &sensor.error})
        if (!error->empty()) return BadRequest(*error);
    if (!stepSize) return BadRequest("StepSize must be a number of microns");
    // Board positions run from 0 - Shift to MaxStep - Shift and travel as 16 bits.
    if (*maxStep.value < 1 || int64_t(*maxStep.value) - *shift.value > kBoardPositionCeiling ||
        -int64_t(*shift.value) < kBoardPositionFloor)
        return Error(kInvalidValue, "The range 0.." + std::to_string(*maxStep.value) + " with shift " +
                                        std::to_string(*shift.value) +
                                        " does not fit the board's positions (-32768..32767)");
    if (!(*stepSize > 0 && *stepSize <= kLongestStepMicrons))
        return Error(kInvalidValue, "The step length must lie between 0 and 10000 microns");
    if (*sensor.value < 0 || *sensor.value >= kTemperatureSlots)
        return Error(kInvalidValue, "The preferred sensor must be 0 to 3");
    LinkFailure why = LinkFailure::None;
    const bool done = board.Service().Call(
        [&](CFWDevice& device) {
            device.Options.AscomMaxFocusPos = *maxStep.value;
            device.Options.AscomFocusShift = *shift.value;
            device.Options.StepLenInMicrons = *stepSize;
            std::atomic_ref(device.Options.AscomPreferredTermometer).store(*sensor.value);
            device.SaveSettings();
            return true;
        },
        &why);
    return CallReply(done, why);
}

Reply SetFilters(ServedBoard& board, const ApiRequest& request)
{
    const BoardState state = board.Service().State();
    if (!state.connected) return FailureReply(Job::None, LinkFailure::NotConnected);
    std::vector<FilterSlot> slots = state.filters;
    for (size_t i = 0; i < slots.size(); ++i) {
        const std::string index = std::to_string(i);
        const std::string* name = request.params.Find("Name" + index);
        const IntParam offset = RequiredInt(request.params, "Offset" + index);
        if (!name) return BadRequest("Missing parameter Name" + index);
        if (!offset.value) return BadRequest(offset.error);
        if (name->size() > size_t(kFilterNameBytes) || name->find('\0') != std::string::npos)
            return Error(kInvalidValue, "Filter name '" + *name + "' is longer than 8 characters");
        if (*offset.value < kBoardPositionFloor || *offset.value > kBoardPositionCeiling)
            return Error(kInvalidValue, "Focus offset " + std::to_string(*offset.value) + " is outside -32768..32767");
        std::memset(slots[i].Name, 0, sizeof slots[i].Name);
        std::memcpy(slots[i].Name, name->data(), name->size());
        slots[i].FocuserPos = *offset.value;
    }
    LinkFailure why = LinkFailure::None;
    const bool done = board.Service().Call(
        [&](CFWDevice& device) {
            // Written whole, as the board keeps them; the table changes only if the board took it.
            const std::vector<FilterSlot> before = device.Filters.Snapshot();
            if (before.size() != slots.size()) return false;  // the board changed meanwhile
            device.Filters.Assign(slots);
            if (device.WriteConfig()) return true;
            device.Filters.Assign(before);
            return false;
        },
        &why);
    return CallReply(done, why);
}

}  // namespace

std::optional<HttpResponse> ServeSetupApi(ServedBoard& board, const HttpRequest& request)
{
    const std::string_view target(request.target().data(), request.target().size());
    if (target.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    const bool put = request.method() == http::verb::put;
    if (!put && request.method() != http::verb::get) return std::nullopt;
    ParsedRequest parsed = ParseApiRequest(put ? Method::Put : Method::Get, target, request.body());
    const std::string_view path = target.substr(0, target.find('?'));
    const std::string_view what = path.substr(kPrefix.size());
    ApiRequest call = parsed.request ? *parsed.request : ApiRequest{};

    using Handler = std::function<Reply()>;
    const std::map<std::string_view, Handler> gets = {
        {"state", [&] { return Ok(StateJson(board, board.Service().State())); }},
    };
    const std::map<std::string_view, Handler> puts = {
        {"serialport",
         [&] {
             const std::string* port = call.params.Find("SerialPort");
             if (!port) return BadRequest("Missing parameter SerialPort");
             if (port->find('\0') != std::string::npos) return Error(kInvalidValue, "A port name holds no NUL");
             return board.SetSerialPort(*port) ? Ok() : Error(kInvalidOperation, "The settings could not be saved");
         }},
        {"focuser", [&] { return SetFocuser(board, call); }},
        {"filters", [&] { return SetFilters(board, call); }},
        {"connect", [&] { return ConnectHolder(board, HolderKey(Holder::HandBox)); }},
        {"disconnect", [&] { return StartedReply(Job::Disconnect, board.Service().Disconnect(HolderKey(Holder::HandBox))); }},
        {"move",
         [&] {
             const IntParam position = RequiredInt(call.params, "Position");
             if (!position.value) return BadRequest(position.error);
             return MoveFocuser(board, *position.value);
         }},
        {"turn",
         [&] {
             const IntParam slot = RequiredInt(call.params, "Position");
             if (!slot.value) return BadRequest(slot.error);
             return TurnWheel(board, *slot.value);
         }},
    };
    const auto& table = put ? puts : gets;
    const auto found = table.find(what);
    if (found == table.end()) return std::nullopt;  // a page, perhaps
    if (!parsed.request) return TextAnswer(request, http::status::bad_request, parsed.error);
    return JsonAnswer(request, found->second(), call.clientTransactionId);
}

}  // namespace quillmoor::alpaca
