#include "harness.h"

namespace dialog_tests {

int64_t RegistryNumber(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, quillmoor::kSettingsKeyPath, 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return -1;
    DWORD value = 0, size = sizeof value, type = 0;
    const LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD ? static_cast<int64_t>(static_cast<int32_t>(value)) : -1;
}


}  // namespace dialog_tests
