// The store that keeps the driver's own options: the registry on Windows,
// a file under the user's configuration folder elsewhere. Both have the same
// keys, value names, value types and size rules.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillmoor::platform {

// Registry value types, with their Win32 numbers.
inline constexpr uint32_t kValueString = 1;  // REG_SZ
inline constexpr uint32_t kValueBinary = 3;  // REG_BINARY
inline constexpr uint32_t kValueDword = 4;   // REG_DWORD

class SettingsKey {
public:
    virtual ~SettingsKey() = default;

    // Copies the value's data into buffer, whose capacity is size; on success
    // size becomes the data's length and type its stored type. A value that
    // is missing, or whose data does not fit, fails and leaves the buffer as
    // it was (RegQueryValueExA).
    virtual bool Query(const char* name, uint8_t* buffer, uint32_t& size, uint32_t& type) = 0;
    // Stores the value with the given type and data (RegSetValueExA).
    virtual bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) = 0;
};

// Opens the key for reading and writing, creating it when it does not exist
// (RegCreateKeyExA under HKEY_LOCAL_MACHINE). Null when that fails. Changes
// reach the store when the key is closed (destroyed), whole or not at all.
std::unique_ptr<SettingsKey> OpenSettingsKey(const std::string& keyPath);

// As OpenSettingsKey, in a store the account the program runs under can
// always write: HKEY_CURRENT_USER on Windows (a standard user, or a service's
// own account, may not write HKEY_LOCAL_MACHINE); elsewhere the same per-user
// store as OpenSettingsKey.
std::unique_ptr<SettingsKey> OpenAccountSettingsKey(const std::string& keyPath);

}  // namespace quillmoor::platform
