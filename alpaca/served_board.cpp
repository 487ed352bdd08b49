#include "alpaca/served_board.h"

#include <algorithm>

#include "alpaca/protocol.h"

namespace quillmoor::alpaca {

ServedBoard::ServedBoard(ServerSettings settings, std::chrono::milliseconds pollInterval,
                         std::vector<std::string> logFolders)
    : settings_(std::move(settings)),
      service_(device_, {.pollInterval = pollInterval, .temperatureLogFolders = std::move(logFolders)})
{
}

size_t HolderCount(const service::BoardState& state, Holder device)
{
    return std::count_if(state.clients.begin(), state.clients.end(),
                         [device](service::ClientKey key) { return (key & 0xff) == static_cast<uint8_t>(device); });
}

ServerSettings ServedBoard::Settings() const
{
    std::lock_guard lock(mutex_);
    return settings_;
}

bool ServedBoard::SetSerialPort(const std::string& port)
{
    std::lock_guard lock(mutex_);
    settings_.serialPort = port.empty() ? kAutoPort : port;
    return SaveServerSettings(settings_);
}

service::BoardService::Work ServedBoard::Opener() const
{
    return [open = PortOpener()](CFWDevice& device) {
        device.LoadSettings();
        return open(device);
    };
}

service::BoardService::Work ServedBoard::PortOpener() const
{
    const std::string port = Settings().serialPort;
    if (SameAnyCase(port, kAutoPort)) return [](CFWDevice& device) { return device.Connect(); };
    if (port.size() > 3 && SameAnyCase(std::string_view(port).substr(0, 3), "COM")) {
        if (const std::optional<int32_t> number = ParseInt32(std::string_view(port).substr(3));
            number && *number > 0 && *number <= kAutoSearchLastPort)
            return [n = *number](CFWDevice& device) { return device.OpenPort(n); };
    }
#ifdef _WIN32
    // Windows ports are opened by number only, as the driver opens them.
    return [](CFWDevice&) { return false; };
#else
    return [port](CFWDevice& device) { return device.AdoptPort(OpenSerialPort(port, kLinkBaudRate)); };
#endif
}

}  // namespace quillmoor::alpaca
