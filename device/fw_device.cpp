#include "device/fw_device.h"
#include "device/link_failure.h"

namespace quillmoor {

std::atomic<CFWDevice*> g_pFWDevice{nullptr};

namespace {
thread_local LinkFailure t_lastLinkFailure = LinkFailure::None;
}  // namespace

LinkFailure LastLinkFailure() { return t_lastLinkFailure; }
void SetLastLinkFailure(LinkFailure failure) { t_lastLinkFailure = failure; }

uint32_t NextClientKey()
{
    static std::atomic<uint32_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

namespace {
constexpr unsigned kTemperatureLogPeriodMs = 5000;
constexpr platform::TimerId kTemperatureLogTimerId = 15;
}  // namespace

CFWDevice::CFWDevice() : CFWDevice(Startup{}) {}

CFWDevice::CFWDevice(const Startup& startup)
{
    saveSettingsOnExit_ = startup.saveSettingsOnExit;
    LoadSettings();
    g_pFWDevice.store(this);
    if (startup.startTemperatureTimer)
        TimerId = platform::StartTimer(kTemperatureLogPeriodMs, kTemperatureLogTimerId, TempLogTimerProc);
}

CFWDevice::~CFWDevice()
{
    Disconnect();
    if (saveSettingsOnExit_) SaveSettings();
    if (TimerId) platform::StopTimer(TimerId);
    CFWDevice* self = this;
    g_pFWDevice.compare_exchange_strong(self, nullptr);
}

bool CFWDevice::PortIsOpen() const { return CurrentPort() != nullptr; }

SerialPortPtr CFWDevice::CurrentPort() const
{
    std::lock_guard lock(portMutex_);
    return Port;
}

std::vector<uint32_t> CFWDevice::ClientKeys() const
{
    std::lock_guard lock(clientsMutex_);
    return {Clients.begin(), Clients.end()};
}

}  // namespace quillmoor
