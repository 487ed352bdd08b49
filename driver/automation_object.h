// What the focuser and the filter wheel have in common as COM objects: a
// reference count safe across threads, aggregation, IDispatch answered from
// the registered type library, and ISupportErrorInfo. Interface is the
// current contract, derived from the old one (BaseInterfaceId), which old
// clients may still ask for. Derived classes add only the members of their
// own interfaces.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <new>

#include "server_module.h"
#include "type_library.h"

namespace quillmoor::driver {

template <class Derived, class Interface, const IID& InterfaceId, const IID& BaseInterfaceId>
class AutomationObject : public Interface, public ISupportErrorInfo {
public:
    // The class object's instance creator.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** out)
    {
        auto* object = new (std::nothrow) Derived(outer);
        if (!object) return E_OUTOFMEMORY;
        // The creation reference is dropped after the query, so a failed
        // query destroys the object again.
        const HRESULT result = object->inner_.QueryInterface(iid, out);
        object->inner_.Release();
        return result;
    }

    // IUnknown of the exposed interfaces: the outer object's when aggregated.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return outer_->QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        const HRESULT result = CachedTypeInfo(InterfaceId, info);
        if (SUCCEEDED(result)) (*info)->AddRef();
        return result;
    }

    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override
    {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* info = nullptr;
        const HRESULT result = CachedTypeInfo(InterfaceId, &info);
        if (FAILED(result)) return result;
        return info->GetIDsOfNames(names, count, ids);
    }

    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override
    {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* info = nullptr;
        const HRESULT loaded = CachedTypeInfo(InterfaceId, &info);
        if (FAILED(loaded)) return loaded;
        // A late-bound failure is described by the member's own error object,
        // never by one an earlier call left on this thread.
        SetErrorInfo(0, nullptr);
        return info->Invoke(static_cast<Interface*>(this), id, flags, params, result, exception,
                            badArgument);
    }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override
    {
        return IsEqualIID(iid, InterfaceId) || IsEqualIID(iid, BaseInterfaceId) ? S_OK : S_FALSE;
    }

protected:
    explicit AutomationObject(IUnknown* outer) : outer_(outer ? outer : &inner_)
    {
        LockModule();
    }
    virtual ~AutomationObject() { UnlockModule(); }
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

private:
    // The object's own IUnknown, which an aggregating outer object holds.
    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(AutomationObject& owner) : owner_(owner) {}

        STDMETHODIMP QueryInterface(REFIID iid, void** out) override
        {
            if (!out) return E_POINTER;
            if (IsEqualIID(iid, IID_IUnknown)) {
                *out = static_cast<IUnknown*>(this);
                AddRef();
                return S_OK;
            }
            if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, InterfaceId) ||
                IsEqualIID(iid, BaseInterfaceId)) {
                *out = static_cast<Interface*>(&owner_);
            } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
                *out = static_cast<ISupportErrorInfo*>(&owner_);
            } else {
                *out = nullptr;
                return E_NOINTERFACE;
            }
            // Through the exposed interface, so the outer object is counted.
            static_cast<IUnknown*>(*out)->AddRef();
            return S_OK;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
        STDMETHODIMP_(ULONG) Release() override
        {
            const LONG refs = InterlockedDecrement(&refs_);
            if (refs == 0) delete &owner_;
            return refs;
        }

    private:
        AutomationObject& owner_;
        LONG refs_ = 1;
    };

    InnerUnknown inner_{*this};
    IUnknown* outer_;
};

}  // namespace quillmoor::driver
