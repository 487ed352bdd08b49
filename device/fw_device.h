// The one controller object: the serial link to the board, the PC's copy of
// its configuration, the driver's options, the client set and the trace.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "device/controller_config.h"
#include "device/motor_device.h"
#include "device/trace_log.h"
#include "device/transport.h"
#include "platform/timer.h"

namespace quillmoor {

inline constexpr int kAutoSearchLastPort = 16;
inline constexpr const char* kSettingsKeyPath = "Software\\ASCOM\\Focuser Drivers\\Quillmoor.Focuser";

class CFWDevice : public CMotorDevice {
public:
    struct Startup {
        bool startTemperatureTimer = true;
        // Off for a host that shares the options with other programs and
        // saves them only when they are changed through it.
        bool saveSettingsOnExit = true;
    };

    CFWDevice();
    explicit CFWDevice(const Startup& startup);
    ~CFWDevice() override;
    CFWDevice(const CFWDevice&) = delete;
    CFWDevice& operator=(const CFWDevice&) = delete;

    // CMotorDevice
    bool GetFocuserPosition(int32_t& position) override;
    bool MoveFocuserTo(int32_t target) override;
    bool SetFocuserPosition(int32_t position) override;
    bool HomeWheel(int ignored) override;
    bool GotoFilter(int32_t target) override;
    bool GetCurrentFilter(int32_t& index) override;

    virtual void SaveSettings();
    virtual void LoadSettings();

    // Clients: the first one connects, the last one disconnects.
    bool ConnectMulti(uint32_t key);
    void DisconnectMulti(uint32_t key);

    bool Connect();
    bool OpenPort(int portNumber);
    // OpenPort for a port that something else opened and configured.
    bool AdoptPort(SerialPortPtr port);
    void Disconnect();
    bool InitAfterConnect();

    bool ReadFilterCount();
    bool WriteConfig();
    // No Busy and (for the write) no purge: the caller holds the exclusion.
    bool ReadEeprom(uint8_t address, uint8_t length, void* buffer);
    bool WriteEeprom(uint8_t address, uint8_t length, const void* data);
    bool WriteFilterName(int32_t index, const char* name);
    bool GetFocuserDirection(int32_t& direction);
    bool ReadTemperature(int32_t sensor, float& degrees);
    // Position and temperature as clients poll them while another thread may
    // be moving the focuser: from the board, or, while a focuser move holds
    // the link, the last values the board gave (no error, nothing sent).
    bool PollFocuserPosition(int32_t& position);
    bool PollTemperature(int32_t sensor, float& degrees);
    // The wheel's slot likewise: during a focuser move the wheel stands where
    // it was last seen, so the move is not taken for a turn.
    bool PollCurrentFilter(int32_t& index);
    bool GetAutoCompSensor(int32_t& sensor);
    bool SetAutoCompSensor(int32_t sensor);
    bool ReadMicrostepInfo(int32_t& increment, int32_t& microstepsPerStep);
    bool ReadMicrostepTable();
    bool WriteMicrostepTable();

    void SaveToFile(const std::string& path);
    bool LoadFromFile(const std::string& path);

    bool PortIsOpen() const;
    // The sensor reported to clients; the board's compensation report may
    // change it from another thread.
    int32_t PreferredSensor() { return std::atomic_ref(Options.AscomPreferredTermometer).load(); }
    std::vector<uint32_t> ClientKeys() const;
    // Busy as a test-and-set: true when this caller now holds it.
    bool TryClaimBusy() { return !Busy.exchange(true, std::memory_order_acquire); }
    void ReleaseBusy() { Busy.store(false, std::memory_order_release); }

    TraceLog Trace;
    ControllerConfig Config{};
    DriverOptions Options;
    int32_t ChangeFilterTimeoutMs = 1000;
    std::string TermometerName[kTemperatureSlots];
    std::string LogFile;
    std::atomic<bool> FocuserPresent{false};
    std::atomic<bool> WheelPresent{false};
    std::atomic<int32_t> FocuserPosition{0};
    std::atomic<float> Temperatures[kTemperatureSlots] = {};
    // Which of Temperatures the board has given since the link was opened.
    std::atomic<bool> TemperatureKnown[kTemperatureSlots] = {};
    std::atomic<bool> Busy{false};
    std::atomic<int> FocuserMoving{0};       // focuser moves holding the link, or about to let go
    std::atomic<int> OpenPortNumber{0};      // COMn of the open port, 0 when none
    std::atomic<int> HeldPortNumber{0};      // the port another program held at the last failed connect, or 0
    platform::TimerId TimerId = 0;
    uint8_t MicrostepTable[kMicrostepTableBytes] = {};
    int32_t MicrostepTableLength = -1;

private:
    enum class PurgeFirst { No, Yes };
    template <class Exchange>
    bool Framed(PurgeFirst purge, Exchange&& exchange);
    SerialPortPtr CurrentPort() const;
    template <class Read, class Last>
    bool ReadOrLast(Read&& read, Last&& last);

    // Exchanges on a port whose Busy the caller holds.
    bool ExchangeCurrentFilter(platform::SerialPort& port, int32_t& index);
    bool ExchangeFilterCount(platform::SerialPort& port);
    bool ExchangeFocuserPosition(platform::SerialPort& port, int32_t& position);
    bool ExchangeMicrostepTable(platform::SerialPort& port);
    bool ExchangeReadEeprom(platform::SerialPort& port, uint8_t address, uint8_t length, void* buffer);
    bool ExchangeWriteEeprom(platform::SerialPort& port, uint8_t address, uint8_t length,
                             const void* data);
    bool InitAfterConnectClaimed(platform::SerialPort& port);
    void FillFiltersFromConfig(int count);

    mutable std::mutex clientsMutex_;  // ConnectMulti and DisconnectMulti run under it
    std::set<uint32_t> Clients;
    mutable std::mutex portMutex_;  // guards the handle itself, not its use
    SerialPortPtr Port;
    bool saveSettingsOnExit_ = true;
};

// The one controller object of the process, while it lives.
extern std::atomic<CFWDevice*> g_pFWDevice;

// A key for the controller's client set, unique for the life of the process.
// Object addresses would be the natural key, but cut to 32 bits on x64 two
// live objects could share one.
uint32_t NextClientKey();

// The temperature-log timer's procedure.
void TempLogTimerProc();

}  // namespace quillmoor
