// Who may write the driver's options key.
#pragma once

#include <windows.h>

namespace quillmoor::driver {

// Creates the options key (32-bit registry view) when it is missing and adds
// to its access list an entry that lets the Users group read and write it,
// for the key and everything below it. The values already there stay.
HRESULT GrantUsersOptionsAccess();

}  // namespace quillmoor::driver
