// The COM server's own rules: unload test, class objects, aggregation,
// interfaces; and the DLL's life on its loading thread (timer, unload).
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "calls.h"
#include "checks.h"
#include "scenarios.h"

namespace wine_client {
namespace {

using CanUnloadFunction = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// A minimal outer object for aggregation: counts its own references and
// answers only IUnknown.
class Outer final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs); }
    LONG refs = 1;
};

IClassFactory* ClassObject(const CLSID& clsid)
{
    IClassFactory* factory = nullptr;
    CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                     reinterpret_cast<void**>(&factory));
    return factory;
}

// oldIid: the interface old clients were built against, which the object
// still answers beside its current (default) one.
void CheckInterfaces(Checks& check, const Driver& driver, const char* name, const wchar_t* oldIid)
{
    const std::string prefix = name;
    UINT count = 0;
    check.That(driver.get()->GetTypeInfoCount(&count) == S_OK && count == 1,
               prefix + " GetTypeInfoCount is 1");
    ITypeInfo* info = nullptr;
    TYPEATTR* attributes = nullptr;
    GUID dual = GUID_NULL;
    if (SUCCEEDED(driver.get()->GetTypeInfo(0, 0, &info)) &&
        SUCCEEDED(info->GetTypeAttr(&attributes))) {
        dual = attributes->guid;
        info->ReleaseTypeAttr(attributes);
    }
    if (info) info->Release();

    ISupportErrorInfo* errorInfo = nullptr;
    if (check.That(SUCCEEDED(driver.get()->QueryInterface(
                       IID_ISupportErrorInfo, reinterpret_cast<void**>(&errorInfo))),
                   prefix + " has ISupportErrorInfo")) {
        check.That(errorInfo->InterfaceSupportsErrorInfo(dual) == S_OK,
                   prefix + " supports error info on its dual interface");
        check.That(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch) == S_FALSE,
                   prefix + " does not claim error info on IDispatch");
        IID old{};
        IIDFromString(oldIid, &old);
        check.That(errorInfo->InterfaceSupportsErrorInfo(old) == S_OK,
                   prefix + " supports error info on its old interface");
        IUnknown* oldInterface = nullptr;
        check.That(SUCCEEDED(driver.get()->QueryInterface(old, reinterpret_cast<void**>(&oldInterface))),
                   prefix + " answers its old interface " + Narrow(oldIid));
        if (oldInterface) oldInterface->Release();
        check.That(!IsEqualIID(old, dual), prefix + "'s type information is that of its new interface");
        errorInfo->Release();
    }
    IUnknown* dualInterface = nullptr;
    check.That(SUCCEEDED(driver.get()->QueryInterface(dual, reinterpret_cast<void**>(&dualInterface))),
               prefix + " answers its dual interface");
    if (dualInterface) dualInterface->Release();
    IUnknown* absent = nullptr;
    check.That(driver.get()->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&absent)) ==
                   E_NOINTERFACE,
               prefix + " has no IPersist");
}

}  // namespace

int ServerRules(const wchar_t* dllPath)
{
    Checks check("server");
    HMODULE dll = LoadLibraryW(dllPath);
    auto canUnload = reinterpret_cast<CanUnloadFunction>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    if (!check.That(canUnload && getClassObject, "the DLL exports its entry points"))
        return check.Failures();
    check.That(canUnload() == S_OK, "DllCanUnloadNow is S_OK with nothing alive");

    CLSID focuserClass{}, wheelClass{};
    CLSIDFromProgID(L"Quillmoor.Focuser", &focuserClass);
    CLSIDFromProgID(L"Quillmoor.FilterWheel", &wheelClass);
    {
        Driver focuser = Driver::Create(L"Quillmoor.Focuser");
        Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
        check.That(canUnload() == S_FALSE, "DllCanUnloadNow is S_FALSE while objects live");
        CheckInterfaces(check, focuser, "Focuser", L"{5ABFB128-F0A2-4695-B290-8065E18C1649}");
        CheckInterfaces(check, wheel, "FilterWheel", L"{5ABFB128-F0A2-5544-B290-9065E18C1649}");
        focuser.Reset();
        check.That(canUnload() == S_FALSE, "DllCanUnloadNow is S_FALSE while one object lives");
    }
    check.That(canUnload() == S_OK, "DllCanUnloadNow is S_OK after the last release");

    IClassFactory* first = ClassObject(focuserClass);
    IClassFactory* second = ClassObject(focuserClass);
    check.That(first && first == second, "the class object is the same on every request");
    check.That(canUnload() == S_FALSE, "DllCanUnloadNow is S_FALSE while a class object is held");
    if (second) second->Release();
    if (first) {
        first->LockServer(TRUE);
        first->Release();
    }
    check.That(canUnload() == S_FALSE, "DllCanUnloadNow is S_FALSE under LockServer(TRUE)");
    if (IClassFactory* factory = ClassObject(focuserClass)) {
        factory->LockServer(FALSE);
        factory->Release();
    }
    check.That(canUnload() == S_OK, "DllCanUnloadNow is S_OK after LockServer(FALSE)");

    IUnknown* none = nullptr;
    check.That(getClassObject(IID_IPersist, IID_IClassFactory, reinterpret_cast<void**>(&none)) ==
                   CLASS_E_CLASSNOTAVAILABLE,
               "an unknown CLSID is CLASS_E_CLASSNOTAVAILABLE");

    // Aggregation: only for IUnknown, and the inner object counts on the outer.
    for (const CLSID* clsid : {&focuserClass, &wheelClass}) {
        const std::string name = clsid == &focuserClass ? "Focuser" : "FilterWheel";
        Outer outer;
        IUnknown* refused = nullptr;
        check.That(CoCreateInstance(*clsid, &outer, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&refused)) == CLASS_E_NOAGGREGATION,
                   name + " aggregated for IDispatch is CLASS_E_NOAGGREGATION");
        IUnknown* inner = nullptr;
        if (!check.That(SUCCEEDED(CoCreateInstance(*clsid, &outer, CLSCTX_INPROC_SERVER,
                                                   IID_IUnknown, reinterpret_cast<void**>(&inner))),
                        name + " aggregates for IUnknown"))
            continue;
        IDispatch* dispatch = nullptr;
        inner->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        check.That(dispatch && outer.refs == 2, name + " inner IDispatch holds the outer object",
                   "outer refs " + std::to_string(outer.refs));
        if (dispatch) {
            IUnknown* identity = nullptr;
            dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
            check.That(identity == &outer, name + " IDispatch's identity is the outer object");
            if (identity) identity->Release();
            Driver aggregated(dispatch);  // takes the reference
            Outcome increment = aggregated.Get(L"MaxIncrement");
            if (name == "Focuser")
                check.LongValue(increment, 1000, "aggregated Focuser MaxIncrement");
            else
                check.Result(aggregated.Get(L"Names"), S_OK, "aggregated FilterWheel Names");
        }
        check.That(outer.refs == 1, name + " releases the outer references it took",
                   "outer refs " + std::to_string(outer.refs));
        inner->Release();
        check.That(canUnload() == S_OK, name + " aggregate's release unlocks the module");
    }
    FreeLibrary(dll);
    return check.Failures();
}

// Connected, the client's thread dispatches messages for a little more than
// one tick of the temperature log; then everything is released and the DLL
// unloaded, which saves the options.
int TimerAndUnload()
{
    Checks check("timer");
    {
        Driver focuser = Driver::Create(L"Quillmoor.Focuser");
        if (!check.That(bool(focuser), "Quillmoor.Focuser creates an object"))
            return check.Failures();
        check.Result(focuser.Put(L"Link", Bool(true)), S_OK, "Link put true");

        PumpMessagesFor(6000);
        // Left connected on purpose: the unload closes the port.
    }
    check.That(GetModuleHandleW(L"Quillmoor.DLL") != nullptr, "the DLL is loaded before the unload");
    CoFreeUnusedLibrariesEx(0, 0);
    check.That(GetModuleHandleW(L"Quillmoor.DLL") == nullptr,
               "CoFreeUnusedLibraries unloads the DLL once nothing holds it");

    // Set by nobody but the unload: the key held only LogFile and ComPort.
    DWORD minMotorStep = 0, size = sizeof minMotorStep;
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                L"Software\\ASCOM\\Focuser Drivers\\Quillmoor.Focuser", 0,
                                KEY_READ | KEY_WOW64_32KEY, &key);
    if (status == ERROR_SUCCESS) {
        status = RegQueryValueExW(key, L"MinMotorStep", nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(&minMotorStep), &size);
        RegCloseKey(key);
    }
    check.That(status == ERROR_SUCCESS && minMotorStep == 1,
               "the unload saved the options (MinMotorStep is 1)",
               "status " + std::to_string(status) + " value " + std::to_string(minMotorStep));
    return check.Failures();
}

namespace {

LONG accessViolations = 0;

LONG CALLBACK CountAccessViolations(EXCEPTION_POINTERS* exception)
{
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
        InterlockedIncrement(&accessViolations);
    return EXCEPTION_CONTINUE_SEARCH;
}

bool DllLoaded() { return GetModuleHandleW(L"Quillmoor.DLL") != nullptr; }

// Dispatches this thread's messages until a timer has ticked, or for at most
// `ms`; tells whether one did.
bool PumpUntilTimerTicks(double ms)
{
    const double end = NowMs() + ms;
    for (double now = NowMs(); now < end; now = NowMs()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now) + 1, QS_ALLINPUT);
        MSG message;
        bool ticked = false;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ticked |= message.message == WM_TIMER;
            DispatchMessageW(&message);
        }
        if (ticked) return true;
    }
    return false;
}

}  // namespace

// The temperature-log timer fires on the thread that loaded the DLL. Another
// thread's CoFreeUnusedLibraries must not unload the DLL under it; once that
// thread has ended, or on that thread itself, the unload goes ahead. A
// vectored handler sees any access violation before Wine swallows it.
int UnloadOnAnotherThread()
{
    Checks check("unload-thread");
    PVOID handler = AddVectoredExceptionHandler(1, CountAccessViolations);
    std::atomic<int> stage{0};  // 1: loaded and released, 2: the other thread has tried
    bool ticked = false;
    std::thread loader([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Driver::Create(L"Quillmoor.Focuser").Reset();
        stage = 1;
        while (stage == 1) PumpMessagesFor(20);
        ticked = PumpUntilTimerTicks(15000);  // the timer's period is 5 s
        CoUninitialize();
    });
    while (stage == 0) Sleep(10);
    CoFreeUnusedLibrariesEx(0, 0);
    check.That(DllLoaded(), "another thread's CoFreeUnusedLibraries leaves the DLL while the timer's thread runs");
    stage = 2;
    loader.join();
    check.That(ticked && accessViolations == 0, "the timer ticked without an access violation",
               std::string(ticked ? "" : "no tick; ") + std::to_string(accessViolations) + " access violations");
    CoFreeUnusedLibrariesEx(0, 0);
    check.That(!DllLoaded(), "once the timer's thread has ended, the DLL unloads");

    // On the timer's own thread the unload goes ahead at once.
    std::thread own([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        Driver::Create(L"Quillmoor.Focuser").Reset();
        check.That(DllLoaded(), "a new object loads the DLL again");
        CoFreeUnusedLibrariesEx(0, 0);
        check.That(!DllLoaded(), "the timer's own thread unloads it");
        CoUninitialize();
    });
    own.join();
    RemoveVectoredExceptionHandler(handler);
    return check.Failures();
}

}  // namespace wine_client
