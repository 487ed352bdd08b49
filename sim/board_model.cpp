#include "sim/board_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "device/controller_config.h"

namespace quillmoor::sim {

namespace {

constexpr uint8_t kAck = '!';
constexpr uint8_t kRefused = '/';
constexpr int kFallbackFocuserSpeed = 100;  // steps/s when the memory says 0
constexpr double kFallbackSlotMs = 500;
constexpr double kShortestSlotMs = 50;
constexpr double kLongestSlotMs = 5000;
constexpr std::string_view kNotice = "FWmoveFocus";

Reply Now(std::vector<uint8_t> bytes) { return {ReplyPart{{}, std::move(bytes)}}; }

std::vector<uint8_t> LittleEndian(int16_t value) {
    const auto bits = static_cast<uint16_t>(value);
    return {static_cast<uint8_t>(bits & 0xFF), static_cast<uint8_t>(bits >> 8)};
}

int16_t FromLittleEndian(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// Slots between two filters going the shorter way round.
int SlotsBetween(int from, int to, int count) {
    const int forward = ((to - from) % count + count) % count;
    return std::min(forward, count - forward);
}

}  // namespace

BoardModel::BoardModel(const BoardOptions& options)
    : memory_(options.memory),
      temperatures_(options.temperatures),
      table_(options.microstep_table),
      microsteps_per_full_step_(options.microsteps_per_full_step),
      time_scale_(std::max(0.0, options.time_scale)),
      slot_ms_(options.slot_ms),
      notices_(options.notices),
      current_filter_(options.initial_filter),
      position_(options.initial_focuser_position) {
    // The length travels in one byte.
    if (table_.size() > 255) table_.resize(255);
    SetMemory(memory_);
}

void BoardModel::SetMemory(const MemoryBytes& memory) {
    memory_ = memory;
    if (current_filter_ >= FilterCount(memory_)) current_filter_ = -1;
}

void BoardModel::SetTemperature(int sensor, int16_t hundredths) {
    if (sensor < 0 || sensor >= kMaxFilters) return;  // ten probes at most
    if (static_cast<size_t>(sensor) >= temperatures_.size())
        temperatures_.resize(sensor + 1, kNoReading);
    temperatures_[sensor] = hundredths;
}

std::chrono::microseconds BoardModel::Scaled(double ms) const {
    return std::chrono::microseconds(std::llround(ms * 1000.0 * time_scale_));
}

double BoardModel::SlotMs() const {
    if (slot_ms_ > 0) return slot_ms_;
    const int speed = WheelSpeed(memory_);
    const int steps = MaxStepsBetweenFilters(memory_);
    if (speed == 0 || steps == 0) return kFallbackSlotMs;
    return std::clamp(1000.0 * steps / speed, kShortestSlotMs, kLongestSlotMs);
}

Reply BoardModel::Handle(const ParsedCommand& command, MoveFaults faults) {
    const std::vector<uint8_t>& args = command.arguments;
    switch (command.word->word) {
        case Word::Filter: return Now({IndexByte(current_filter_)});
        case Word::Count: return Now({IndexByte(FilterCount(memory_))});
        case Word::Goto: return Goto(IndexFromByte(args[0]), faults);
        case Word::Home: return Home(faults);
        case Word::WriteName: return WriteName(args);
        case Word::ReadMemory: return ReadMemory(args[0], args[1]);
        case Word::WriteMemory: return WriteMemory(args);
        case Word::Focus: return Now(LittleEndian(position_));
        case Word::GoFocus: return GoFocus(FromLittleEndian(args, 0), faults);
        case Word::SetFocus:
            position_ = FromLittleEndian(args, 0);
            return Now({kAck});
        case Word::DirFocus: return Now({static_cast<uint8_t>(direction_)});
        case Word::Temperature: return Temperature(IndexFromByte(args[0]));
        case Word::IsAuto: return Now({IndexByte(comp_sensor_)});
        case Word::AutoCompSet: return AutoCompSet(args[0]);
        case Word::MicrostepInfo:
            // The argument byte is always 0x00 from the driver; the board ignores it.
            return Now({static_cast<uint8_t>(MicrostepIncrement(memory_)), microsteps_per_full_step_});
        case Word::ReadTable: {
            std::vector<uint8_t> reply{static_cast<uint8_t>(table_.size())};
            reply.insert(reply.end(), table_.begin(), table_.end());
            return Now(std::move(reply));
        }
        case Word::WriteTable:
            table_ = args;
            return Now({kAck});
    }
    return {};
}

Reply BoardModel::Goto(int target, MoveFaults faults) {
    const int count = FilterCount(memory_);
    if (target < 0 || target >= count) return Now({kRefused});  // nothing moves
    if (faults.wheel_fails) {
        current_filter_ = -1;
        return {ReplyPart{Scaled(SlotMs()), {kRefused}}};
    }
    // From an unknown place the wheel first finds its home mark (one slot).
    const int slots = current_filter_ < 0 ? 1 + SlotsBetween(0, target, count)
                                          : SlotsBetween(current_filter_, target, count);
    const auto travel = Scaled(slots * SlotMs());
    current_filter_ = faults.never_ends ? -1 : target;

    Reply reply;
    auto before_end = travel;
    if (notices_ && slots > 0) {
        // Halfway round the board announces the focus offset of the new filter.
        std::vector<uint8_t> notice(kNotice.begin(), kNotice.end());
        notice.push_back(memory_[FocusPosOffset(target)]);  // already little-endian
        notice.push_back(memory_[FocusPosOffset(target) + 1]);
        reply.push_back(ReplyPart{travel / 2, std::move(notice)});
        before_end = travel - travel / 2;
    }
    if (!faults.never_ends) reply.push_back(ReplyPart{before_end, {IndexByte(target)}});
    return reply;
}

Reply BoardModel::Home(MoveFaults faults) {
    const int count = FilterCount(memory_);
    if (count == 0) return Now({kRefused});
    // Homing turns forward to the mark; from an unknown place a whole turn.
    const int slots = current_filter_ < 0 ? count : (count - current_filter_) % count;
    const auto travel = Scaled(slots * SlotMs());
    if (faults.wheel_fails || faults.never_ends) {
        current_filter_ = -1;
        if (faults.never_ends) return {};
        return {ReplyPart{travel, {kRefused}}};
    }
    current_filter_ = 0;
    return {ReplyPart{travel, {kAck}}};
}

Reply BoardModel::GoFocus(int16_t target, MoveFaults faults) {
    const int distance = std::abs(int{target} - int{position_});
    if (distance == 0) return faults.never_ends ? Reply{} : Now({kAck});
    direction_ = target > position_ ? '+' : '-';
    // Inward moves overshoot by the backlash and come back.
    const int steps = distance + (direction_ == '-' ? 2 * FocuserBacklash(memory_) : 0);
    int speed = FocuserSpeed(memory_);
    if (speed == 0) speed = kFallbackFocuserSpeed;
    const auto travel = Scaled(1000.0 * steps / speed);
    if (faults.never_ends) return {};  // stalled where it stood
    position_ = target;
    return {ReplyPart{travel, {kAck}}};
}

Reply BoardModel::ReadMemory(size_t address, size_t length) const {
    // Bytes past the end of the memory are not sent: the reply comes up short.
    const size_t begin = std::min(address, kMemoryBytes);
    const size_t end = std::min(address + length, kMemoryBytes);
    return Now(std::vector<uint8_t>(memory_.begin() + begin, memory_.begin() + end));
}

Reply BoardModel::WriteMemory(const std::vector<uint8_t>& arguments) {
    // Data bytes past the end of the memory are read and thrown away.
    const size_t address = arguments[0];
    MemoryBytes memory = memory_;
    for (size_t i = 2; i < arguments.size(); ++i)
        if (address + i - 2 < kMemoryBytes) memory[address + i - 2] = arguments[i];
    SetMemory(memory);
    return Now({kAck});
}

Reply BoardModel::WriteName(const std::vector<uint8_t>& arguments) {
    const int filter = IndexFromByte(arguments[0]);
    if (filter < 0 || filter >= kMaxFilters) return Now({kRefused});
    std::copy(arguments.begin() + 1, arguments.begin() + 1 + kFilterNameBytes,
              memory_.begin() + FilterNameOffset(filter));
    return Now({kAck});
}

Reply BoardModel::Temperature(int sensor) const {
    const bool fitted = sensor >= 0 && sensor < SensorCount(memory_) &&
                        static_cast<size_t>(sensor) < temperatures_.size();
    return Now(LittleEndian(fitted ? temperatures_[sensor] : kNoReading));
}

Reply BoardModel::AutoCompSet(uint8_t index_byte) {
    const int sensor = IndexFromByte(index_byte);
    if (sensor == -1) {
        comp_sensor_ = -1;
        return Now({kAck});
    }
    if (sensor < 0 || sensor >= SensorCount(memory_)) return Now({kRefused});
    comp_sensor_ = sensor;
    return Now({kAck});
}

}  // namespace quillmoor::sim
