// The board's command set: one exchange per operation, each inside the
// command frame, with the board's acceptance rules and time budgets.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "device/command_frame.h"

namespace quillmoor {
namespace {

using platform::SerialPort;

constexpr uint8_t kAck = '!';
constexpr uint8_t kNoFilter = '/';
constexpr uint8_t kNoticeStart = 'F';          // "FWmoveFocus" and 2 bytes
constexpr size_t kNoticeRestBytes = 12;
constexpr int32_t kGotoFixedBudgetMs = 2000;
constexpr int32_t kFocusFixedBudgetMs = 2000;
constexpr int32_t kFocusBacklashMsPerStep = 11;
constexpr int32_t kFocuserSpeedCeiling = 300;  // steps per second
constexpr int32_t kEepromAckBudgetMs = 1000;
constexpr int32_t kMicrostepTableBudgetMs = 1000;
constexpr int16_t kNoReading = std::numeric_limits<int16_t>::min();

int32_t ClampToBudget(int64_t ms)
{
    return static_cast<int32_t>(std::clamp<int64_t>(ms, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int16_t Int16FromLE(const uint8_t* bytes) { return static_cast<int16_t>(bytes[0] | (bytes[1] << 8)); }

void Int16ToLE(int32_t value, uint8_t* bytes)
{
    bytes[0] = static_cast<uint8_t>(value & 0xFF);
    bytes[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

// --- Filter wheel ----------------------------------------------------------

bool CFWDevice::GetCurrentFilter(int32_t& index)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) { return ExchangeCurrentFilter(port, index); });
}

bool CFWDevice::ExchangeCurrentFilter(SerialPort& port, int32_t& index)
{
    uint8_t reply = 0;
    if (SendCommand(port, "FWFILTER", &reply, 1) == 1 && reply >= kNoFilter && reply <= IndexByte(10)) {
        CurrentFilter = IndexFromByte(reply);
        index = CurrentFilter;
        return true;
    }
    CurrentFilter = -1;
    return false;
}

bool CFWDevice::ReadFilterCount()
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) { return ExchangeFilterCount(port); });
}

bool CFWDevice::ExchangeFilterCount(SerialPort& port)
{
    uint8_t reply = 0;
    if (SendCommand(port, "FWCOUNT", &reply, 1) != 1 || reply < IndexByte(1) || reply > IndexByte(kMaxFilters))
        return false;
    FillFiltersFromConfig(IndexFromByte(reply));
    return true;
}

void CFWDevice::FillFiltersFromConfig(int count)
{
    std::vector<FilterSlot> slots(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::memcpy(slots[i].Name, Config.FilterNames[i], kFilterNameBytes);
        slots[i].Pos = Config.WheelPos[i];
        slots[i].FocuserPos = Config.FocusPos[i];
    }
    Filters.Assign(std::move(slots));
}

bool CFWDevice::GotoFilter(int32_t target)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        const int32_t n = static_cast<int32_t>(Filters.Size());
        if (n == 0) return false;
        const int32_t from = CurrentFilter;
        const int64_t forward = (int64_t(n) - from + target) % n;
        const int64_t backward = (int64_t(from) - target + n) % n;
        const int32_t dif = static_cast<int32_t>(forward < backward ? forward : backward);
        const int32_t budget = ClampToBudget(int64_t(dif) * ChangeFilterTimeoutMs + kGotoFixedBudgetMs);
        Trace.Log("Goto(%i->%i) dif=%i TimeOut=%i\r\n", from, target, dif, budget);

        if (!WriteString(port, "FWGOTO")) return false;
        const uint8_t targetByte = IndexByte(target);
        WriteByte(port, targetByte);

        uint8_t reply[20] = {};
        Stopwatch watch;
        watch.Start();
        while (watch.ElapsedMs() < budget) {
            bool portFailed = false;
            if (ReadBytes(port, reply, 1, &portFailed) == 0) {
                if (portFailed) break;
                continue;
            }
            if (reply[0] == kNoticeStart) {
                // The board reports a focuser move while the wheel turns: pass over it.
                ReadBytes(port, reply, kNoticeRestBytes);
                Trace.Log("Skip cmd(%s)\r\n", reinterpret_cast<const char*>(reply));
            }
            if (reply[0] == targetByte) {
                Trace.Log("OK Goto(%i->%i) in=%.1fms\r\n", from, target, watch.ElapsedMsExact());
                CurrentFilter = target;
                return true;
            }
            if (reply[0] == kNoFilter) {
                Trace.Log("Failed Goto(%i->%i) in=%.1fms\r\n", from, target, watch.ElapsedMsExact());
                CurrentFilter = -1;
                return false;
            }
        }
        Trace.Log("Failed Goto(%i->%i) in=%.1fms\r\n", CurrentFilter.load(), target, watch.ElapsedMsExact());
        return false;
    });
}

bool CFWDevice::HomeWheel(int)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        const int32_t budget = ClampToBudget(int64_t(Filters.Size()) * ChangeFilterTimeoutMs);
        if (!WriteString(port, "FWHOME")) return false;
        uint8_t reply = 0;
        return ReadWithin(port, &reply, 1, budget) == 1 && reply == kAck;
    });
}

bool CFWDevice::WriteFilterName(int32_t index, const char* name)
{
    if (index < 0 || static_cast<size_t>(index) >= Filters.Size()) return false;
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        uint8_t nameBytes[kFilterNameBytes] = {};
        const bool stored = Filters.Update(static_cast<size_t>(index), [&](FilterSlot& slot) {
            std::memset(slot.Name, 0, sizeof slot.Name);
            std::strncpy(slot.Name, name ? name : "", kFilterNameBytes);
            std::memcpy(nameBytes, slot.Name, kFilterNameBytes);
        });
        if (!stored) return false;
        if (!WriteString(port, "FWWRITENAME")) return false;
        WriteByte(port, IndexByte(index));
        if (!WriteBytes(port, nameBytes, sizeof nameBytes)) return false;
        uint8_t reply = 0;
        return ReadBytes(port, &reply, 1) == 1 && reply == kAck;
    });
}

// --- Focuser ---------------------------------------------------------------

bool CFWDevice::GetFocuserPosition(int32_t& position)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) { return ExchangeFocuserPosition(port, position); });
}

bool CFWDevice::ExchangeFocuserPosition(SerialPort& port, int32_t& position)
{
    uint8_t reply[2] = {};
    if (SendCommand(port, "FWfocus", reply, 2) != 2) return false;
    FocuserPosition = Int16FromLE(reply);
    position = FocuserPosition;
    return true;
}

bool CFWDevice::MoveFocuserTo(int32_t target)
{
    // Counted once the move holds the link, before anything else, and let go
    // only after the link is free again, so that a poll refused during the
    // move always finds it counted, even when the next move has taken the link.
    bool held = false;
    const bool moved = Framed(PurgeFirst::No, [&](SerialPort& port) {
        held = true;
        ++FocuserMoving;
        port.Purge();
        uint8_t targetBytes[2];
        Int16ToLE(target, targetBytes);
        if (!WriteString(port, "FWgoFocus") || !WriteBytes(port, targetBytes, 2)) return false;

        // A speed of 0 cannot be a real speed; it is budgeted like the ceiling
        // so that a client is never held longer than the slowest real move.
        int32_t speed = std::min<int32_t>(Config.FocuserSpeed, kFocuserSpeedCeiling);
        if (speed == 0) speed = kFocuserSpeedCeiling;
        const int32_t from = FocuserPosition;
        const double distance = std::fabs(double(from) - double(target));
        const double budgetMs = distance * (1000.0 / speed) +
                                double(kFocusBacklashMsPerStep) * Config.FocuserBacklash + kFocusFixedBudgetMs;
        const int32_t budget = ClampToBudget(static_cast<int64_t>(std::min(budgetMs, 2147483647.0)));

        Stopwatch watch;
        watch.Start();
        while (watch.ElapsedMs() < budget) {
            uint8_t reply = 0;
            bool portFailed = false;
            if (ReadBytes(port, &reply, 1, &portFailed) == 1 && reply == kAck) {
                Trace.Log("OK GoFocus(%i->%i) in=%.1fms\r\n", from, target, watch.ElapsedMsExact());
                FocuserPosition = target;
                return true;
            }
            if (portFailed) break;
        }
        Trace.Log("Failed GoFocus(%i->%i) in=%.1fms timeout=%ims\r\n", FocuserPosition.load(), target,
                  watch.ElapsedMsExact(), budget);
        return false;
    });
    if (held) --FocuserMoving;
    return moved;
}

bool CFWDevice::SetFocuserPosition(int32_t position)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        uint8_t args[2];
        Int16ToLE(position, args);
        uint8_t reply = 0;
        if (SendCommandData(port, "FWsetFocus", args, 2, &reply, 1) < 1) return false;
        FocuserPosition = Int16FromLE(args);
        return true;
    });
}

bool CFWDevice::GetFocuserDirection(int32_t& direction)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        uint8_t reply = 0;
        if (SendCommand(port, "FWdirFocus", &reply, 1) != 1) return false;
        if (reply == '+') direction = 1;
        else if (reply == '-') direction = -1;
        else return false;
        return true;
    });
}

// --- Temperatures and compensation ----------------------------------------

bool CFWDevice::ReadTemperature(int32_t sensor, float& degrees)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        const uint8_t index = IndexByte(sensor);
        uint8_t reply[2] = {};
        if (SendCommandData(port, "FWtemperature", &index, 1, reply, 2) != 2) return false;
        const int16_t hundredths = Int16FromLE(reply);
        const bool slotted = sensor >= 0 && sensor < kTemperatureSlots;
        // A sensor that has gone quiet has no last value to stand in for it.
        if (hundredths == kNoReading) {
            if (slotted) TemperatureKnown[sensor] = false;
            return false;
        }
        degrees = static_cast<float>(hundredths * 0.01);
        if (slotted) {
            Temperatures[sensor] = degrees;
            TemperatureKnown[sensor] = true;
        }
        return true;
    });
}

// A refusal counts as "during a move" when the move flag is seen before or
// after the attempt: a move that started meanwhile, or one that was still
// running when the attempt was refused. last() tells whether there is a
// last value; without one the refusal stands.
template <class Read, class Last>
bool CFWDevice::ReadOrLast(Read&& read, Last&& last)
{
    const bool movingBefore = FocuserMoving;
    if (read()) return true;
    if (LastLinkFailure() != LinkFailure::Busy || !(movingBefore || FocuserMoving)) return false;
    if (!last()) return false;
    SetLastLinkFailure(LinkFailure::None);
    return true;
}

bool CFWDevice::PollFocuserPosition(int32_t& position)
{
    return ReadOrLast([&] { return GetFocuserPosition(position); },
                      [&] {
                          position = FocuserPosition;
                          return true;  // read at every connect
                      });
}

bool CFWDevice::PollTemperature(int32_t sensor, float& degrees)
{
    // A sensor without a slot has no last value to give.
    if (sensor < 0 || sensor >= kTemperatureSlots) return ReadTemperature(sensor, degrees);
    return ReadOrLast([&] { return ReadTemperature(sensor, degrees); },
                      [&] {
                          if (!TemperatureKnown[sensor]) return false;
                          degrees = Temperatures[sensor];
                          return true;
                      });
}

bool CFWDevice::PollCurrentFilter(int32_t& index)
{
    return ReadOrLast([&] { return GetCurrentFilter(index); },
                      [&] {
                          index = CurrentFilter;
                          return index >= 0;
                      });
}

bool CFWDevice::GetAutoCompSensor(int32_t& sensor)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        uint8_t reply = 0;
        if (SendCommand(port, "FWisAuto", &reply, 1) != 1) return false;
        sensor = IndexFromByte(reply);
        // The sensor the board compensates with becomes the one reported to
        // clients, but only if the board has it: a spoiled reply must not
        // leave a sensor that can never be read stored among the options.
        if (sensor >= 0 && sensor < Config.SensorCount)
            std::atomic_ref(Options.AscomPreferredTermometer).store(sensor);
        return true;
    });
}

bool CFWDevice::SetAutoCompSensor(int32_t sensor)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        const uint8_t index = IndexByte(sensor);
        uint8_t reply = 0;
        return SendCommandData(port, "FWautoCompSet", &index, 1, &reply, 1) == 1 && reply == kAck;
    });
}

// --- Microsteps ------------------------------------------------------------

bool CFWDevice::ReadMicrostepInfo(int32_t& increment, int32_t& microstepsPerStep)
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        // Presets for a board that does not answer; an exchange that cannot
        // start (port closed, link busy) leaves the caller's values alone.
        increment = Config.MicrostepIncrement;
        microstepsPerStep = 2;
        const uint8_t selector = 0x00;
        uint8_t reply[2] = {};
        if (SendCommandData(port, "FWubStep", &selector, 1, reply, 2) != 2) return false;
        increment = reply[0];
        microstepsPerStep = reply[1];
        return true;
    });
}

bool CFWDevice::ReadMicrostepTable()
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) { return ExchangeMicrostepTable(port); });
}

bool CFWDevice::ExchangeMicrostepTable(SerialPort& port)
{
    std::memset(MicrostepTable, 0, sizeof MicrostepTable);
    MicrostepTableLength = -1;
    uint8_t length = 0;
    if (SendCommand(port, "FWzm", &length, 1) != 1) return false;
    // A table longer than ours cannot be held whole: it is refused and stays unread.
    if (length > kMicrostepTableBytes) return false;
    MicrostepTableLength = length;
    if (length == 0) return true;  // nothing to wait for
    return ReadWithin(port, MicrostepTable, length, kMicrostepTableBudgetMs) == length;
}

bool CFWDevice::WriteMicrostepTable()
{
    return Framed(PurgeFirst::Yes, [&](SerialPort& port) {
        const int32_t length = MicrostepTableLength;
        if (length < 0 || length > static_cast<int32_t>(kMicrostepTableBytes)) return false;
        uint8_t reply = 0;
        return SendCommandData(port, "FWym", MicrostepTable, static_cast<size_t>(length), &reply, 1) == 1 &&
               reply == kAck;
    });
}

// --- Configuration memory --------------------------------------------------

bool CFWDevice::ReadEeprom(uint8_t address, uint8_t length, void* buffer)
{
    SerialPortPtr port = CurrentPort();
    return port && ExchangeReadEeprom(*port, address, length, buffer);
}

bool CFWDevice::ExchangeReadEeprom(SerialPort& port, uint8_t address, uint8_t length, void* buffer)
{
    port.Purge();
    const uint8_t args[2] = {address, length};
    return SendCommandData(port, "FWreadEE", args, 2, buffer, length) == length;
}

bool CFWDevice::WriteEeprom(uint8_t address, uint8_t length, const void* data)
{
    SerialPortPtr port = CurrentPort();
    return port && ExchangeWriteEeprom(*port, address, length, data);
}

bool CFWDevice::ExchangeWriteEeprom(SerialPort& port, uint8_t address, uint8_t length, const void* data)
{
    const uint8_t args[2] = {address, length};
    if (!WriteString(port, "FWwriteEE") || !WriteBytes(port, args, 2)) return false;
    if (length > 0 && !WriteBytes(port, data, length)) return false;
    uint8_t reply = 0;
    return ReadWithin(port, &reply, 1, kEepromAckBudgetMs) == 1 && reply == kAck;
}

bool CFWDevice::WriteConfig()
{
    return Framed(PurgeFirst::No, [&](SerialPort& port) {
        const std::vector<FilterSlot> slots = Filters.Snapshot();
        const size_t count = std::min<size_t>(slots.size(), kMaxFilters);
        for (size_t i = 0; i < count; ++i) {
            std::memset(Config.FilterNames[i], 0, kFilterNameBytes);
            std::strncpy(Config.FilterNames[i], slots[i].Name, kFilterNameBytes);
            Config.WheelPos[i] = static_cast<int16_t>(slots[i].Pos);
            Config.FocusPos[i] = static_cast<int16_t>(slots[i].FocuserPos);
        }
        return ExchangeWriteEeprom(port, 0, sizeof Config, &Config);
    });
}

}  // namespace quillmoor
