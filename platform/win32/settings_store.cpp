// The options key in the registry, always in the 32-bit view: that is where
// 32-bit builds and the ASCOM profile keep it, so both builds share one set.
#include "platform/settings_store.h"

#include <windows.h>

namespace quillmoor::platform {
namespace {

class RegistryKey final : public SettingsKey {
public:
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() override { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Query(const char* name, uint8_t* buffer, uint32_t& size, uint32_t& type) override
    {
        // Ask for the length first: a value too long for the buffer must
        // leave it untouched, which a failed read does not promise.
        DWORD length = 0;
        DWORD storedType = 0;
        if (RegQueryValueExA(key_, name, nullptr, &storedType, nullptr, &length) != ERROR_SUCCESS ||
            length > size)
            return false;
        length = size;
        if (RegQueryValueExA(key_, name, nullptr, &storedType, buffer, &length) != ERROR_SUCCESS)
            return false;
        size = length;
        type = storedType;
        return true;
    }

    bool Set(const char* name, uint32_t type, const uint8_t* data, uint32_t size) override
    {
        return RegSetValueExA(key_, name, 0, type, data, size) == ERROR_SUCCESS;
    }

private:
    HKEY key_;
};

std::unique_ptr<SettingsKey> CreateKey(HKEY root, const std::string& keyPath, REGSAM view)
{
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_READ | KEY_WRITE | view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return nullptr;
    return std::make_unique<RegistryKey>(key);
}

}  // namespace

std::unique_ptr<SettingsKey> OpenSettingsKey(const std::string& keyPath)
{
    return CreateKey(HKEY_LOCAL_MACHINE, keyPath, KEY_WOW64_32KEY);
}

// HKEY_CURRENT_USER\Software is shared by both views.
std::unique_ptr<SettingsKey> OpenAccountSettingsKey(const std::string& keyPath)
{
    return CreateKey(HKEY_CURRENT_USER, keyPath, 0);
}

}  // namespace quillmoor::platform
