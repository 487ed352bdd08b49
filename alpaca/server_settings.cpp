#include "alpaca/server_settings.h"

#include <cstdio>
#include <cstring>
#include <random>

#include "platform/settings_store.h"

namespace quillmoor::alpaca {
namespace {

constexpr uint32_t kTextLimit = 1024;

std::string QueryText(platform::SettingsKey& key, const char* name)
{
    uint8_t buffer[kTextLimit + 1] = {};
    uint32_t size = kTextLimit, type = 0;
    if (!key.Query(name, buffer, size, type) || type != platform::kValueString) return {};
    return std::string(reinterpret_cast<const char*>(buffer), strnlen(reinterpret_cast<const char*>(buffer), size));
}

bool SetText(platform::SettingsKey& key, const char* name, const std::string& text)
{
    return key.Set(name, platform::kValueString, reinterpret_cast<const uint8_t*>(text.c_str()),
                   static_cast<uint32_t>(text.size() + 1));
}

}  // namespace

std::string NewUniqueId()
{
    std::random_device random;
    uint8_t bytes[16];
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

ServerSettings LoadServerSettings()
{
    ServerSettings settings;
    if (auto key = platform::OpenAccountSettingsKey(kServerKeyPath)) {
        const std::string port = QueryText(*key, "SerialPort");
        if (!port.empty()) settings.serialPort = port;
        settings.focuserUniqueId = QueryText(*key, "FocuserUniqueID");
        settings.wheelUniqueId = QueryText(*key, "FilterWheelUniqueID");
    }
    if (settings.focuserUniqueId.empty() || settings.wheelUniqueId.empty()) {
        if (settings.focuserUniqueId.empty()) settings.focuserUniqueId = NewUniqueId();
        if (settings.wheelUniqueId.empty()) settings.wheelUniqueId = NewUniqueId();
        SaveServerSettings(settings);
    }
    return settings;
}

bool SaveServerSettings(const ServerSettings& settings)
{
    auto key = platform::OpenAccountSettingsKey(kServerKeyPath);
    if (!key) return false;
    bool saved = SetText(*key, "SerialPort", settings.serialPort);
    saved = SetText(*key, "FocuserUniqueID", settings.focuserUniqueId) && saved;
    saved = SetText(*key, "FilterWheelUniqueID", settings.wheelUniqueId) && saved;
    return saved;
}

}  // namespace quillmoor::alpaca
