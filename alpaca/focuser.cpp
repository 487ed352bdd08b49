// The focuser, interface version 4. Positions are the board's step positions
// plus the focus shift, so that clients never see negative ones.
#include <algorithm>
#include <cmath>

#include "alpaca/devices.h"

namespace quillmoor::alpaca {
namespace {

using service::BoardState;
using service::Job;

constexpr int kInterfaceVersion = 4;
constexpr int kMaxIncrement = 1000;

// Hundredths are all a sensor gives; a float widened as it is would show noise digits.
double Degrees(float reading) { return std::round(double(reading) * 100.0) / 100.0; }

Reply Position(const BoardState& state)
{
    if (!state.pollAnswered && !state.Moving())
        return FailureReply(Job::None, LinkFailure::NoAnswer);
    return Ok(ClientPositionFor(state.options, state.position));
}

Reply Temperature(const BoardState& state)
{
    float degrees = 0;
    if (!state.pollAnswered) return FailureReply(Job::None, LinkFailure::NoAnswer);
    if (!state.Temperature(degrees))
        return Error(kNoAnswer, "Sensor " + std::to_string(state.PreferredSensor()) +
                                    " has no reading: check that it is plugged in, or choose another in the setup page");
    return Ok(Degrees(degrees));
}

}  // namespace

Reply MoveFocuser(ServedBoard& board, int32_t position)
{
    const BoardState state = board.Service().State();
    if (!state.connected) return FailureReply(Job::None, LinkFailure::NotConnected);
    if (!state.focuserPresent) return Error(kInvalidOperation, "The board has no focuser");
    return StartedReply(Job::Move, board.Service().Move(MotorTargetFor(state.options, position)));
}

AlpacaDevice MakeFocuser(ServedBoard& board)
{
    AlpacaDevice device;
    device.pathType = "focuser";
    device.typeName = "Focuser";
    device.name = "Quillmoor Focuser";
    device.uniqueId = board.Settings().focuserUniqueId;
    constexpr Holder holder = Holder::Focuser;
    // Members that read the kept state.
    auto reads = [&board](std::function<Reply(const BoardState&)> read) { return ReadMember(board, holder, std::move(read)); };
    device.get["absolute"] = reads([](const BoardState&) { return Ok(true); });
    device.get["maxincrement"] = reads([](const BoardState&) { return Ok(kMaxIncrement); });
    device.get["maxstep"] = reads([](const BoardState& s) { return Ok(s.options.AscomMaxFocusPos); });
    device.get["stepsize"] = reads([](const BoardState& s) { return Ok(s.options.StepLenInMicrons); });
    device.get["tempcompavailable"] = reads([](const BoardState&) { return Ok(true); });
    device.get["tempcomp"] = reads([](const BoardState& s) { return Ok(s.compensationSensor >= 0); });
    device.get["temperature"] = reads(Temperature);
    device.get["position"] = reads(Position);
    // A move that failed is reported here once it has ended, until the next one.
    device.get["ismoving"] = reads([](const BoardState& s) {
        if (s.failedJob == Job::Move) return FailureReply(Job::Move, s.failure);
        return Ok(s.Moving());
    });

    device.put["tempcomp"] = [&board](const ApiRequest& request) {
        const BoolParam on = RequiredBool(request.params, "TempComp");
        if (!on.value) return BadRequest(on.error);
        return WithLink(board, holder, [&](const BoardState&) {
            LinkFailure why = LinkFailure::None;
            if (board.Service().SetCompensation(*on.value, &why)) return Ok();
            return FailureReply(Job::Call, why);
        });
    };
    device.put["halt"] = [&board](const ApiRequest&) {
        return WithLink(board, holder, [](const BoardState&) {
            return Error(kNotImplemented, "Halt is not supported: the board cannot stop a move it has begun");
        });
    };
    // Returns at once; ismoving tells when the move has ended.
    device.put["move"] = [&board](const ApiRequest& request) {
        const IntParam position = RequiredInt(request.params, "Position");
        if (!position.value) return BadRequest(position.error);
        return WithLink(board, holder, [&](const BoardState&) { return MoveFocuser(board, *position.value); });
    };

    AddCommonMembers(device, board,
                     {holder, kInterfaceVersion, "The focuser of a Quillmoor controller board",
                      [](const BoardState& state) {
                          nlohmann::json items = nlohmann::json::array();
                          items.push_back({{"Name", "IsMoving"}, {"Value", state.Moving()}});
                          if (state.pollAnswered || state.Moving())
                              items.push_back({{"Name", "Position"},
                                               {"Value", ClientPositionFor(state.options, state.position)}});
                          float degrees = 0;
                          if (state.Temperature(degrees))
                              items.push_back({{"Name", "Temperature"}, {"Value", Degrees(degrees)}});
                          return items;
                      }});
    return device;
}

}  // namespace quillmoor::alpaca
