#include "focuser_impl.h"

#include "ascom_errors.h"
#include "com_results.h"
#include "controller_instance.h"
#include "ui/win32/control_dlg.h"

namespace quillmoor::driver {
namespace {

constexpr LONG kMaxIncrement = 1000;

CFWDevice& Device() { return g_FWDevice; }

HRESULT Outcome(bool succeeded) { return ascom::Outcome(CFocuserImpl::Facts(), succeeded); }

}  // namespace

CFocuserImpl::CFocuserImpl(IUnknown* outer) : AutomationObject(outer), clientKey_(NextClientKey()) {}

const DriverFacts& CFocuserImpl::Facts()
{
    static const DriverFacts facts{"CFocuserImpl", L"Quillmoor Focuser", L"focuser",
                                   L"Quillmoor focuser on the accessory controller board", 3, CLSID_Focuser,
                                   IID_IFocuserV3};
    return facts;
}

STDMETHODIMP CFocuserImpl::get_Link(VARIANT_BOOL* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = VariantBool(Device().PortIsOpen());
    Device().Trace.Log("CFocuserImpl::get_Link(%i)\n", *pVal);
    return S_OK;
}

STDMETHODIMP CFocuserImpl::put_Link(VARIANT_BOOL newVal)
{
    Device().Trace.Log("CFocuserImpl::put_Link(%i)\n", newVal);
    if (newVal) return Device().ConnectMulti(clientKey_) ? ascom::Succeed() : ascom::NoBoard(Facts());
    Device().DisconnectMulti(clientKey_);
    return ascom::Succeed();
}

STDMETHODIMP CFocuserImpl::get_Absolute(VARIANT_BOOL* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = VARIANT_TRUE;
    Device().Trace.Log("CFocuserImpl::get_Absolute(%i)\n", *pVal);
    return S_OK;
}

STDMETHODIMP CFocuserImpl::get_IsMoving(VARIANT_BOOL* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = VariantBool(Device().Busy.load());
    Device().Trace.Log("CFocuserImpl::get_IsMoving(%i)\n", *pVal);
    return S_OK;
}

STDMETHODIMP CFocuserImpl::get_MaxIncrement(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = kMaxIncrement;
    Device().Trace.Log("CFocuserImpl::get_MaxIncrement(%i)\n", static_cast<int>(*pVal));
    return S_OK;
}

STDMETHODIMP CFocuserImpl::get_MaxStep(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = Device().Options.AscomMaxFocusPos;
    Device().Trace.Log("CFocuserImpl::get_MaxStep(%i)\n", static_cast<int>(*pVal));
    return S_OK;
}

STDMETHODIMP CFocuserImpl::get_Position(LONG* pVal)
{
    if (!pVal) return E_POINTER;
    int32_t motorPosition = 0;
    const bool ok = Device().PollFocuserPosition(motorPosition);
    // A failed query reports the shift alone.
    *pVal = ClientPositionFor(Device().Options, motorPosition);
    Device().Trace.Log("CFocuserImpl::get_Position(%i)\n", motorPosition);
    return Outcome(ok);
}

STDMETHODIMP CFocuserImpl::get_StepSize(DOUBLE* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = Device().Options.StepLenInMicrons;
    Device().Trace.Log("CFocuserImpl::get_StepSize(%f)\n", *pVal);
    return S_OK;
}

STDMETHODIMP CFocuserImpl::get_TempComp(VARIANT_BOOL* pVal)
{
    if (!pVal) return E_POINTER;
    int32_t sensor = -1;
    const bool ok = Device().GetAutoCompSensor(sensor);
    *pVal = VariantBool(sensor >= 0);
    Device().Trace.Log("CFocuserImpl::get_TempComp(%i)\n", sensor);
    return Outcome(ok);
}

STDMETHODIMP CFocuserImpl::put_TempComp(VARIANT_BOOL newVal)
{
    Device().Trace.Log("CFocuserImpl::put_TempComp(%i)\n", newVal);
    const int32_t sensor = newVal ? Device().PreferredSensor() : -1;
    return Outcome(Device().SetAutoCompSensor(sensor));
}

STDMETHODIMP CFocuserImpl::get_TempCompAvailable(VARIANT_BOOL* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = VARIANT_TRUE;
    Device().Trace.Log("CFocuserImpl::get_TempCompAvailable(1)\n");
    return S_OK;
}

STDMETHODIMP CFocuserImpl::get_Temperature(DOUBLE* pVal)
{
    if (!pVal) return E_POINTER;
    float degrees = 0.0f;
    const bool ok = Device().PollTemperature(Device().PreferredSensor(), degrees);
    *pVal = degrees;
    Device().Trace.Log("CFocuserImpl::get_Temperature(%f)\n", *pVal);
    return Outcome(ok);
}

STDMETHODIMP CFocuserImpl::Halt()
{
    Device().Trace.Log("CFocuserImpl::Halt()\n");
    return ascom::Raise(Facts(), ascom::kNotImplemented, L"Not Supported");
}

STDMETHODIMP CFocuserImpl::Move(LONG Position)
{
    const int32_t target = MotorTargetFor(Device().Options, Position);
    Device().Trace.Log("CFocuserImpl::Move(%i)\n", target);
    return Outcome(Device().MoveFocuserTo(target));
}

// The control dialog, modal on the caller's thread and owned by no window;
// whatever the user does there, the call succeeds.
STDMETHODIMP CFocuserImpl::SetupDialog()
{
    Device().Trace.Log("CFocuserImpl::SetupDialog()\n");
    ui::CControlDlg(&Device(), nullptr).DoModal();
    return S_OK;
}

}  // namespace quillmoor::driver
