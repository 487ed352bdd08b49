// The type library QuillmoorLib: registering it, and the type information
// that IDispatch of both objects works from.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace quillmoor::driver {

// Loads the library from the DLL's TYPELIB resource (or a .tlb beside it)
// and registers it, which also registers the dual interfaces for marshalling.
HRESULT RegisterOwnTypeLibrary();
// Failures are ignored: unregistering never fails.
void UnregisterOwnTypeLibrary();

// The type information of one interface of the registered library (version
// 1.0), loaded on first use and kept for the life of the module. The caller
// gets no reference of its own.
HRESULT CachedTypeInfo(REFIID iid, ITypeInfo** info);
void ReleaseCachedTypeInfo();

}  // namespace quillmoor::driver
