// The server module and its exports: class objects by CLSID, self-
// registration, the unload test, and the installer's set-up of the options key.
#include "server_module.h"

#include <atomic>
#include <mutex>

#include "class_factory.h"
#include "class_registration.h"
#include "controller_instance.h"
#include "filter_wheel_impl.h"
#include "focuser_impl.h"
#include "options_key_access.h"
#include "quillmoor.h"
#include "platform/timer.h"
#include "type_library.h"

namespace quillmoor::driver {
namespace {

struct ClassEntry {
    const CLSID& clsid;
    ClassRegistration registration;
    InstanceCreator create;
    std::atomic<ClassFactory*> classObject;  // made on first request, held by the row
};

ClassEntry classTable[] = {
    {CLSID_Focuser,
     {L"{0A7EB263-F0A2-4BEA-9233-4014C079DE48}", L"Quillmoor.Focuser.1", L"Quillmoor.Focuser",
      L"Quillmoor driver"},
     &CFocuserImpl::Create,
     nullptr},
    {CLSID_FilterWheel,
     {L"{44723263-F0A2-41EA-1233-1014C079DE48}", L"Quillmoor.FilterWheel.1",
      L"Quillmoor.FilterWheel", L"ZelkFilterWheel driver"},
     &CFilterWheelImpl::Create,
     nullptr},
};

HINSTANCE moduleInstance = nullptr;
LONG lockCount = 0;
std::mutex classObjectMutex;  // guards the lazy creation of class objects

// The application's end: drop the class objects the table holds.
void ReleaseClassObjects()
{
    for (ClassEntry& entry : classTable) {
        if (ClassFactory* classObject = entry.classObject.exchange(nullptr)) classObject->Release();
    }
}

}  // namespace

HINSTANCE ModuleInstance() { return moduleInstance; }

bool ModulePath(wchar_t* path, DWORD capacity)
{
    const DWORD length = GetModuleFileNameW(moduleInstance, path, capacity);
    return length > 0 && length < capacity;
}

void LockModule() { InterlockedIncrement(&lockCount); }
void UnlockModule() { InterlockedDecrement(&lockCount); }

}  // namespace quillmoor::driver

using namespace quillmoor::driver;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary: COM is still there to take the releases.
        // At process exit nothing is released; the process takes it all.
        ReleaseClassObjects();
        ReleaseCachedTypeInfo();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    if (lockCount != 0) return S_FALSE;
    // The temperature-log timer can only be killed on the thread that loaded
    // the DLL: unloaded from another thread, its next tick would call into
    // freed code. So the DLL stays until that thread frees it or ends.
    if (quillmoor::platform::TimerFiresOnAnotherLiveThread(quillmoor::g_FWDevice.TimerId)) return S_FALSE;
    return S_OK;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    for (ClassEntry& entry : classTable) {
        if (!IsEqualCLSID(entry.clsid, clsid) || !entry.create) continue;
        ClassFactory* classObject = entry.classObject.load();
        if (!classObject) {
            std::lock_guard lock(classObjectMutex);
            classObject = entry.classObject.load();
            if (!classObject) {
                classObject = new (std::nothrow) ClassFactory(entry.create);
                if (!classObject) return E_OUTOFMEMORY;
                entry.classObject.store(classObject);
            }
        }
        return classObject->QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllRegisterServer()
{
    wchar_t path[MAX_PATH];
    if (!ModulePath(path, MAX_PATH)) return HRESULT_FROM_WIN32(GetLastError());
    for (const ClassEntry& entry : classTable) {
        const HRESULT result = RegisterClassKeys(entry.registration, path);
        if (FAILED(result)) return result;
    }
    return RegisterOwnTypeLibrary();
}

STDAPI DllUnregisterServer()
{
    for (const ClassEntry& entry : classTable) UnregisterClassKeys(entry.registration);
    UnregisterOwnTypeLibrary();
    return S_OK;
}

// regsvr32 /n /i runs this from the installer. Uninstalling keeps the options
// and the key's access list: a later installation finds them as they were.
STDAPI DllInstall(BOOL install, PCWSTR /*commandLine*/)
{
    return install ? GrantUsersOptionsAccess() : S_OK;
}
