// The server's own settings, in the store of the account it runs under (the
// driver's options stay where the driver keeps them): which serial port to
// open and the UniqueID of each device, made once at random so that clients
// know the devices again after a restart.
#pragma once

#include <string>

namespace quillmoor::alpaca {

inline constexpr const char* kServerKeyPath = "Software\\Quillmoor\\Alpaca";
inline constexpr const char* kAutoPort = "Auto";

struct ServerSettings {
    std::string serialPort = kAutoPort;  // a device path, "COMn" or "Auto"
    std::string focuserUniqueId;
    std::string wheelUniqueId;
};

// Missing UniqueIDs are made and saved at once.
ServerSettings LoadServerSettings();
bool SaveServerSettings(const ServerSettings& settings);
// A random (version 4) UUID in its usual text form.
std::string NewUniqueId();

}  // namespace quillmoor::alpaca
