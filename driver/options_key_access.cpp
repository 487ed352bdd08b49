// Imaging programs usually run without elevation, and the options are saved
// to HKEY_LOCAL_MACHINE when the DLL unloads: without write access to the
// key a standard user's settings would vanish without a word. The installer
// therefore gives the Users group write access to it, as the ASCOM profile
// has, through DllInstall (regsvr32 /n /i).
#include "options_key_access.h"

#include <aclapi.h>

#include "device/fw_device.h"

namespace quillmoor::driver {

HRESULT GrantUsersOptionsAccess()
{
    // The options live in the 32-bit view, where both builds read them.
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  READ_CONTROL | WRITE_DAC | KEY_WOW64_32KEY, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);

    BYTE usersSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof usersSid;
    PACL current = nullptr;
    PACL widened = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, usersSid, &sidSize)) {
        status = static_cast<LONG>(GetLastError());
    } else {
        status = static_cast<LONG>(GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                                   nullptr, &current, nullptr, &descriptor));
    }
    if (status == ERROR_SUCCESS) {
        EXPLICIT_ACCESSW entry = {};
        entry.grfAccessPermissions = KEY_READ | KEY_WRITE;
        entry.grfAccessMode = GRANT_ACCESS;
        entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entry.Trustee.ptstrName = reinterpret_cast<LPWSTR>(usersSid);
        status = static_cast<LONG>(SetEntriesInAclW(1, &entry, current, &widened));
    }
    if (status == ERROR_SUCCESS) {
        status = static_cast<LONG>(SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                                   nullptr, widened, nullptr));
    }
    if (widened) LocalFree(widened);
    if (descriptor) LocalFree(descriptor);
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

}  // namespace quillmoor::driver
