// The members every current ASCOM driver has: who it is, its version and
// contract, and the optional extensions (actions, raw commands), which this
// driver does not offer. CommonMembers puts them on a driver's interface;
// the work is done once, in common_members.cpp.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "driver_facts.h"

namespace quillmoor::driver {

namespace common {
HRESULT Description(const DriverFacts& facts, BSTR* pVal);
HRESULT DriverInfo(const DriverFacts& facts, BSTR* pVal);
HRESULT DriverVersion(const DriverFacts& facts, BSTR* pVal);
HRESULT InterfaceVersion(const DriverFacts& facts, SHORT* pVal);
HRESULT Name(const DriverFacts& facts, BSTR* pVal);
HRESULT SupportedActions(const DriverFacts& facts, VARIANT* pVal);
HRESULT Action(const DriverFacts& facts, BSTR name, BSTR* pVal);
// One of CommandBlind, CommandBool, CommandString: not implemented.
HRESULT Command(const DriverFacts& facts, const char* member);
HRESULT Dispose(const DriverFacts& facts);
}  // namespace common

// Derived provides `static const DriverFacts& Facts()`.
template <class Derived, class Interface>
class CommonMembers : public Interface {
public:
    STDMETHODIMP get_Description(BSTR* pVal) override { return common::Description(Derived::Facts(), pVal); }
    STDMETHODIMP get_DriverInfo(BSTR* pVal) override { return common::DriverInfo(Derived::Facts(), pVal); }
    STDMETHODIMP get_DriverVersion(BSTR* pVal) override { return common::DriverVersion(Derived::Facts(), pVal); }
    STDMETHODIMP get_InterfaceVersion(SHORT* pVal) override
    {
        return common::InterfaceVersion(Derived::Facts(), pVal);
    }
    STDMETHODIMP get_Name(BSTR* pVal) override { return common::Name(Derived::Facts(), pVal); }
    STDMETHODIMP get_SupportedActions(VARIANT* pVal) override
    {
        return common::SupportedActions(Derived::Facts(), pVal);
    }
    STDMETHODIMP Action(BSTR ActionName, BSTR, BSTR* pVal) override
    {
        return common::Action(Derived::Facts(), ActionName, pVal);
    }
    STDMETHODIMP CommandBlind(BSTR, VARIANT_BOOL) override
    {
        return common::Command(Derived::Facts(), "CommandBlind");
    }
    STDMETHODIMP CommandBool(BSTR, VARIANT_BOOL, VARIANT_BOOL* pVal) override
    {
        if (pVal) *pVal = VARIANT_FALSE;
        return common::Command(Derived::Facts(), "CommandBool");
    }
    STDMETHODIMP CommandString(BSTR, VARIANT_BOOL, BSTR* pVal) override
    {
        if (pVal) *pVal = nullptr;
        return common::Command(Derived::Facts(), "CommandString");
    }
    STDMETHODIMP Dispose() override { return common::Dispose(Derived::Facts()); }
};

}  // namespace quillmoor::driver
