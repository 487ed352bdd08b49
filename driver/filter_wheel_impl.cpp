#include "filter_wheel_impl.h"

#include <cstring>
#include <string>
#include <vector>

#include "ascom_errors.h"
#include "com_results.h"
#include "controller_instance.h"
#include "ui/win32/control_dlg.h"

namespace quillmoor::driver {
namespace {

CFWDevice& Device() { return g_FWDevice; }

// A zero-based vector of one element per filter, filled by fill(element,
// filter, slot); null when it cannot be made. The caller owns it.
template <class Element, class Fill>
SAFEARRAY* FilterArray(VARTYPE type, const std::vector<FilterSlot>& filters, Fill&& fill)
{
    SAFEARRAY* array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(filters.size()));
    if (!array) return nullptr;
    Element* elements = nullptr;
    if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)))) {
        SafeArrayDestroy(array);
        return nullptr;
    }
    for (size_t i = 0; i < filters.size(); ++i) fill(elements[i], filters[i], i);
    SafeArrayUnaccessData(array);
    return array;
}

BSTR AnsiToBstr(const char* text, size_t length)
{
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    if (result) MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), result, wide);
    return result;
}

BSTR NameOf(const FilterSlot& filter, size_t slot)
{
    const std::string name = ClientSlotName(filter, slot);
    return AnsiToBstr(name.data(), name.size());
}

}  // namespace

CFilterWheelImpl::CFilterWheelImpl(IUnknown* outer)
    : AutomationObject(outer), clientKey_(NextClientKey())
{
}

const DriverFacts& CFilterWheelImpl::Facts()
{
    static const DriverFacts facts{"CFilterWheelImpl", L"Quillmoor FilterWheel", L"filter wheel",
                                   L"Quillmoor filter wheel on the accessory controller board", 2,
                                   CLSID_FilterWheel, IID_IFilterWheelV2};
    return facts;
}

STDMETHODIMP CFilterWheelImpl::get_Connected(VARIANT_BOOL* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = VariantBool(Device().PortIsOpen());
    Device().Trace.Log("CFilterWheelImpl::get_Connected(%i)\n", *pVal);
    return S_OK;
}

STDMETHODIMP CFilterWheelImpl::put_Connected(VARIANT_BOOL newVal)
{
    Device().Trace.Log("CFilterWheelImpl::put_Connected(%i)\n", newVal);
    if (newVal) return Device().ConnectMulti(clientKey_) ? ascom::Succeed() : ascom::NoBoard(Facts());
    Device().DisconnectMulti(clientKey_);
    return ascom::Succeed();
}

STDMETHODIMP CFilterWheelImpl::get_FocusOffsets(SAFEARRAY** pVal)
{
    if (!pVal) return E_POINTER;
    Device().Trace.Log("CFilterWheelImpl::get_FocusOffsets()\n");
    *pVal = FilterArray<LONG>(VT_I4, Device().Filters.Snapshot(),
                              [](LONG& element, const FilterSlot& filter, size_t) {
                                  element = filter.FocuserPos;
                              });
    return S_OK;
}

STDMETHODIMP CFilterWheelImpl::get_Names(SAFEARRAY** pVal)
{
    if (!pVal) return E_POINTER;
    Device().Trace.Log("CFilterWheelImpl::get_Names()\n");
    *pVal = FilterArray<BSTR>(VT_BSTR, Device().Filters.Snapshot(),
                              [](BSTR& element, const FilterSlot& filter, size_t slot) {
                                  element = NameOf(filter, slot);
                              });
    return S_OK;
}

// A slot the wheel does not have is refused before anything is sent.
STDMETHODIMP CFilterWheelImpl::put_Position(SHORT newVal)
{
    const size_t slots = Device().Filters.Size();
    HRESULT result = S_OK;
    if (!Device().PortIsOpen()) {
        result = ascom::NotConnected(Facts());
    } else if (newVal < 0 || static_cast<size_t>(newVal) >= slots) {
        result = ascom::Raise(Facts(), ascom::kInvalidValue,
                              L"There is no filter slot " + std::to_wstring(newVal) +
                                  (slots ? L": the wheel has slots 0 to " + std::to_wstring(slots - 1)
                                         : std::wstring(L": the board reports no filters")));
    } else {
        result = ascom::Outcome(Facts(), Device().GotoFilter(newVal));
    }
    Device().Trace.Log("CFilterWheelImpl::put_Position(%i)\n", newVal);
    return result;
}

// Always S_OK; a slot the controller could not report is -1, its own
// marker for "unknown", which clients also read as "turning" (the link is
// busy while the wheel turns).
STDMETHODIMP CFilterWheelImpl::get_Position(SHORT* pVal)
{
    if (!pVal) return E_POINTER;
    int32_t slot = -1;
    Device().PollCurrentFilter(slot);
    *pVal = static_cast<SHORT>(slot);
    Device().Trace.Log("CFilterWheelImpl::get_Position(%i)\n", *pVal);
    return S_OK;
}

// The control dialog, modal on the caller's thread and owned by no window;
// whatever the user does there, the call succeeds.
STDMETHODIMP CFilterWheelImpl::SetupDialog()
{
    Device().Trace.Log("CFilterWheelImpl::SetupDialog()\n");
    ui::CControlDlg(&Device(), nullptr).DoModal();
    return S_OK;
}

}  // namespace quillmoor::driver
