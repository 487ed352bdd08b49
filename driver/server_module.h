// The COM server module: the DLL's instance handle and its lock count. The
// DLL may unload only while the count is 0.
#pragma once

#include <windows.h>

namespace quillmoor::driver {

HINSTANCE ModuleInstance();

// The DLL's full path as the system reports it for the loaded module.
bool ModulePath(wchar_t* path, DWORD capacity);

void LockModule();
void UnlockModule();

}  // namespace quillmoor::driver
