// Feeds arbitrary reply streams to every command of the board's command set
// through a port that serves the fuzzer's bytes. Whatever the board says,
// no buffer is overrun, Busy is released, and every success is one the
// acceptance rules allow.
//
// Input: a stream of read results. Each read of n bytes takes one control
// byte k and then k % (n + 1) reply bytes; when the input runs out the device
// reports an error, which ends every wait at once.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>

#include "device/fw_device.h"
#include "platform/serial_port.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

std::span<const uint8_t> g_input;
uint8_t g_lastByte = 0;     // the last reply byte served
size_t g_lastCount = 0;     // how many bytes the last read served

class FuzzPort final : public quillmoor::platform::SerialPort {
public:
    bool SetQueueSizes(uint32_t, uint32_t) override { return true; }
    bool SetLineSettings(const quillmoor::platform::LineSettings&) override { return true; }
    bool SetTimeouts(const quillmoor::platform::SerialTimeouts&) override { return true; }
    bool SetEventMask(uint32_t) override { return true; }
    bool Read(void* buffer, size_t n, size_t& bytesRead) override
    {
        bytesRead = 0;
        if (g_input.empty()) return false;
        const size_t wanted = g_input[0] % (n + 1);
        g_input = g_input.subspan(1);
        bytesRead = std::min(wanted, g_input.size());
        std::memcpy(buffer, g_input.data(), bytesRead);
        if (bytesRead > 0) g_lastByte = g_input[bytesRead - 1];
        g_lastCount = bytesRead;
        g_input = g_input.subspan(bytesRead);
        return true;
    }
    bool Write(const void*, size_t n, size_t& bytesWritten) override
    {
        bytesWritten = n;
        return true;
    }
    bool Flush() override { return true; }
    bool Purge() override { return true; }
};

quillmoor::CFWDevice* g_device = nullptr;

void CheckInvariants(quillmoor::CFWDevice& device)
{
    Require(!device.Busy);
    Require(device.MicrostepTableLength >= -1 && device.MicrostepTableLength <= 128);
    Require(device.Filters.Size() <= 10);
    Require(device.CurrentFilter >= -1 && device.CurrentFilter <= 10);
}

}  // namespace

namespace quillmoor::platform {

std::unique_ptr<SerialPort> OpenSerialDevice(const std::string&) { return std::make_unique<FuzzPort>(); }
std::string SerialDeviceName(int portNumber) { return "fuzz" + std::to_string(portNumber); }

}  // namespace quillmoor::platform

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const auto folder = std::filesystem::temp_directory_path() / "quillmoor-replies-fuzzer";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    g_device = new quillmoor::CFWDevice(quillmoor::CFWDevice::Startup{.startTemperatureTimer = false});
    g_device->Options.ComPort = 1;
    g_device->ChangeFilterTimeoutMs = 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quillmoor;
    CFWDevice& device = *g_device;
    g_input = {data, size};
    device.FocuserPosition = 0;  // keeps the focuser budget short
    if (!device.ConnectMulti(1)) {
        CheckInvariants(device);
        return 0;
    }
    CheckInvariants(device);

    int32_t value = 0, other = 0;
    float degrees = 0;
    if (device.GetCurrentFilter(value)) Require(value >= -1 && value <= 10 && g_lastCount == 1);
    if (device.ReadFilterCount()) Require(device.Filters.Size() >= 1 && g_lastByte >= '1' && g_lastByte <= ':');
    if (device.GotoFilter(2)) Require(device.CurrentFilter == 2);
    device.HomeWheel(0);
    device.WriteFilterName(0, "Luminance");
    if (device.GetFocuserPosition(value)) Require(value >= -32768 && value <= 32767);
    device.MoveFocuserTo(1);
    device.SetFocuserPosition(-5);
    if (device.GetFocuserDirection(value)) Require(value == 1 || value == -1);
    if (device.ReadTemperature(1, degrees)) Require(degrees > -327.69f && degrees < 327.68f);
    if (device.GetAutoCompSensor(value)) Require(g_lastCount == 1);
    device.SetAutoCompSensor(0);
    device.ReadMicrostepInfo(value, other);
    if (device.ReadMicrostepTable()) Require(device.MicrostepTableLength >= 0);
    device.WriteMicrostepTable();
    device.WriteConfig();
    uint8_t memory[144];
    device.ReadEeprom(0, 144, memory);
    CheckInvariants(device);
    device.DisconnectMulti(1);
    return 0;
}
