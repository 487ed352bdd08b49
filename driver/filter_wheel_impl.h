// The ASCOM filter wheel, Quillmoor.FilterWheel: IFilterWheelV2, and
// IFilterWheel for old clients. Like the focuser it keeps nothing but its
// reference count and reports the shared controller.
#pragma once

#include <cstdint>

#include "automation_object.h"
#include "common_members.h"
#include "quillmoor.h"

namespace quillmoor::driver {

class CFilterWheelImpl final
    : public AutomationObject<CFilterWheelImpl, CommonMembers<CFilterWheelImpl, IFilterWheelV2>,
                              IID_IFilterWheelV2, IID_IFilterWheel> {
public:
    explicit CFilterWheelImpl(IUnknown* outer);
    static const DriverFacts& Facts();

    STDMETHODIMP get_Connected(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_Connected(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_FocusOffsets(SAFEARRAY** pVal) override;
    STDMETHODIMP get_Names(SAFEARRAY** pVal) override;
    STDMETHODIMP put_Position(SHORT newVal) override;
    STDMETHODIMP get_Position(SHORT* pVal) override;
    STDMETHODIMP SetupDialog() override;

private:
    const uint32_t clientKey_;  // this object's key in the controller's client set
};

}  // namespace quillmoor::driver
