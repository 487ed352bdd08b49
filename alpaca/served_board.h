// The one board the server serves: the controller, the board service over
// it, and the server's settings, with the way to open the configured port.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "alpaca/server_settings.h"
#include "device/fw_device.h"
#include "service/board_service.h"

namespace quillmoor::alpaca {

// Who holds the link: each network client of each device, by its ClientID
// (none given is client 0), and the setup pages' hand box.
enum class Holder : uint8_t { Focuser = 1, Wheel = 2, HandBox = 3 };
constexpr service::ClientKey HolderKey(Holder device, uint32_t clientId = 0)
{
    return service::ClientKey{clientId} << 8 | static_cast<uint8_t>(device);
}
// How many clients hold the link for this device.
size_t HolderCount(const service::BoardState& state, Holder device);
// At most this many clients at once; the next is refused, so that a client
// making up ClientIDs cannot grow the table without end.
inline constexpr size_t kMostHolders = 256;

class ServedBoard {
public:
    // The board's temperature log goes to the first of logFolders that takes it.
    ServedBoard(ServerSettings settings, std::chrono::milliseconds pollInterval,
                std::vector<std::string> logFolders = {});

    service::BoardService& Service() { return service_; }
    ServerSettings Settings() const;
    // Taken at the next connect; saved at once.
    bool SetSerialPort(const std::string& port);
    // Opens the port the settings name: "COMn" (n up to 16), "Auto" (the
    // driver's own port choice, which searches COM1..COM16 when it is 0), or
    // on POSIX systems a device path; the driver's options are read again first.
    service::BoardService::Work Opener() const;

private:
    service::BoardService::Work PortOpener() const;

    mutable std::mutex mutex_;
    ServerSettings settings_;
    // The driver's options are shared with the DLL (on Windows) and the
    // command-line client: read again at each connect, written only by the
    // setup pages, never at exit over what another program saved meanwhile.
    CFWDevice device_{CFWDevice::Startup{.startTemperatureTimer = false, .saveSettingsOnExit = false}};
    service::BoardService service_;
};

}  // namespace quillmoor::alpaca
