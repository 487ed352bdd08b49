// What self-registration writes under HKEY_CLASSES_ROOT for one class, and
// how it is taken away again.
#pragma once

#include <windows.h>

namespace quillmoor::driver {

struct ClassRegistration {
    const wchar_t* clsid;                     // "{...}"
    const wchar_t* progId;                    // versioned, "X.Y.1"
    const wchar_t* versionIndependentProgId;  // "X.Y"
    const wchar_t* description;
};

// Writes the ProgID keys and the CLSID key (deleted with everything below
// it first, so no stale subkey survives). DISP_E_EXCEPTION when a key can be
// neither opened nor created.
HRESULT RegisterClassKeys(const ClassRegistration& entry, const wchar_t* modulePath);

// Removes what RegisterClassKeys wrote, children first; a key that still has
// subkeys of someone else's stays, and HKCR\CLSID always stays.
void UnregisterClassKeys(const ClassRegistration& entry);

}  // namespace quillmoor::driver
