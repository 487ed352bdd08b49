// The ASCOM focuser, Quillmoor.Focuser: IFocuserV3, and IFocuser for old
// clients. It keeps nothing but its reference count: every member reads the
// shared controller or runs one of its operations, and writes one trace line.
#pragma once

#include <cstdint>

#include "automation_object.h"
#include "common_members.h"
#include "quillmoor.h"

namespace quillmoor::driver {

class CFocuserImpl final
    : public AutomationObject<CFocuserImpl, CommonMembers<CFocuserImpl, IFocuserV3>, IID_IFocuserV3,
                              IID_IFocuser> {
public:
    explicit CFocuserImpl(IUnknown* outer);
    static const DriverFacts& Facts();

    // IFocuser
    STDMETHODIMP get_Link(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_Link(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_Absolute(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_IsMoving(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_MaxIncrement(LONG* pVal) override;
    STDMETHODIMP get_MaxStep(LONG* pVal) override;
    STDMETHODIMP get_Position(LONG* pVal) override;
    STDMETHODIMP get_StepSize(DOUBLE* pVal) override;
    STDMETHODIMP get_TempComp(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_TempComp(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_TempCompAvailable(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_Temperature(DOUBLE* pVal) override;
    STDMETHODIMP Halt() override;
    STDMETHODIMP Move(LONG Position) override;
    STDMETHODIMP SetupDialog() override;

    // IFocuserV3: Connected is Link under its current name.
    STDMETHODIMP get_Connected(VARIANT_BOOL* pVal) override { return get_Link(pVal); }
    STDMETHODIMP put_Connected(VARIANT_BOOL newVal) override { return put_Link(newVal); }

private:
    const uint32_t clientKey_;  // this object's key in the controller's client set
};

}  // namespace quillmoor::driver
