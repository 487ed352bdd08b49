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

// The link's clients.
inline constexpr service::ClientMask kFocuserClient = 1;
inline constexpr service::ClientMask kWheelClient = 2;

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
    // on POSIX systems a device path.
    service::BoardService::Work Opener() const;

private:
    mutable std::mutex mutex_;
    ServerSettings settings_;
    CFWDevice device_{CFWDevice::Startup{.startTemperatureTimer = false}};
    service::BoardService service_;
};

}  // namespace quillmoor::alpaca
