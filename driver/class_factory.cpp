#include "class_factory.h"

#include "server_module.h"

namespace quillmoor::driver {

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    std::lock_guard lock(countMutex_);
    const LONG refs = InterlockedIncrement(&refs_);
    if (refs == 2) LockModule();
    return refs;
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    LONG refs;
    {
        std::lock_guard lock(countMutex_);
        refs = InterlockedDecrement(&refs_);
        if (refs == 1) UnlockModule();
    }
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    // An aggregate must hold the inner object by its own IUnknown.
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return create_(outer, iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}

}  // namespace quillmoor::driver
