// The filter wheel, interface version 3. Slots count from 0; the position
// reads -1 while the wheel turns.
#include <cstring>

#include "alpaca/devices.h"

namespace quillmoor::alpaca {
namespace {

using service::BoardState;
using service::Job;

constexpr int kInterfaceVersion = 3;

int32_t WheelPosition(const BoardState& state) { return state.Turning() ? -1 : state.filter; }

}  // namespace

Reply TurnWheel(ServedBoard& board, int32_t slot)
{
    const BoardState state = board.Service().State();
    if (!state.connected) return FailureReply(Job::None, LinkFailure::NotConnected);
    if (!state.wheelPresent) return Error(kInvalidOperation, "The board has no filter wheel");
    const auto count = static_cast<int32_t>(state.filters.size());
    if (slot < 0 || slot >= count)
        return Error(kInvalidValue, "Position " + std::to_string(slot) + " is outside 0.." + std::to_string(count - 1) +
                                        ": the wheel has " + std::to_string(count) + " filters");
    return StartedReply(Job::Turn, board.Service().Turn(slot));
}

AlpacaDevice MakeFilterWheel(ServedBoard& board)
{
    AlpacaDevice device;
    device.pathType = "filterwheel";
    device.typeName = "FilterWheel";
    device.name = "Quillmoor FilterWheel";
    device.uniqueId = board.Settings().wheelUniqueId;
    constexpr Holder holder = Holder::Wheel;
    // Members that read the kept state.
    auto reads = [&board](std::function<Reply(const BoardState&)> read) { return ReadMember(board, holder, std::move(read)); };
    device.get["names"] = reads([](const BoardState& state) {
        nlohmann::json names = nlohmann::json::array();
        for (size_t i = 0; i < state.filters.size(); ++i) names.push_back(ClientSlotName(state.filters[i], i));
        return Ok(std::move(names));
    });
    device.get["focusoffsets"] = reads([](const BoardState& state) {
        nlohmann::json offsets = nlohmann::json::array();
        for (const FilterSlot& slot : state.filters) offsets.push_back(slot.FocuserPos);
        return Ok(std::move(offsets));
    });
    // A turn that failed is reported here once it has ended, until the next one.
    device.get["position"] = reads([](const BoardState& state) {
        if (state.failedJob == Job::Turn) return FailureReply(Job::Turn, state.failure);
        return Ok(WheelPosition(state));
    });

    // Returns at once; position reads -1 until the wheel stands at the filter.
    device.put["position"] = [&board](const ApiRequest& request) {
        const IntParam slot = RequiredInt(request.params, "Position");
        if (!slot.value) return BadRequest(slot.error);
        return WithLink(board, holder, [&](const BoardState&) { return TurnWheel(board, *slot.value); });
    };

    AddCommonMembers(device, board,
                     {holder, kInterfaceVersion, "The filter wheel of a Quillmoor controller board",
                      [](const BoardState& state) {
                          nlohmann::json items = nlohmann::json::array();
                          items.push_back({{"Name", "Position"}, {"Value", WheelPosition(state)}});
                          return items;
                      }});
    return device;
}

}  // namespace quillmoor::alpaca
