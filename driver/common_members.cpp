#include "common_members.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "ascom_errors.h"
#include "controller_instance.h"
#include "driver_version.h"

namespace quillmoor::driver::common {
namespace {

CFWDevice& Device() { return g_FWDevice; }

HRESULT Text(const std::wstring& text, BSTR* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *pVal ? ascom::Succeed() : E_OUTOFMEMORY;
}

std::wstring Version()
{
    return std::to_wstring(QUILLMOOR_VERSION_MAJOR) + L"." + std::to_wstring(QUILLMOOR_VERSION_MINOR);
}

// What the board told of itself at the last connect: its motors, filters
// and sensors.
std::wstring BoardReport()
{
    CFWDevice& device = Device();
    std::wstring parts;
    auto add = [&](const std::wstring& part) { parts += (parts.empty() ? L"" : L", ") + part; };
    if (device.FocuserPresent) add(L"a focuser");
    if (device.WheelPresent) add(L"a filter wheel with " + std::to_wstring(device.Filters.Size()) + L" filters");
    add(std::to_wstring(device.Config.SensorCount) + L" temperature sensors");
    return ascom::BoardName() + L": " + parts;
}

// A client's text cut to a length that a trace line or a message can carry.
constexpr UINT kLongestQuoted = 64;
std::wstring Quoted(BSTR text) { return std::wstring(text ? text : L"", std::min(SysStringLen(text), kLongestQuoted)); }

std::string TraceText(BSTR text)
{
    const int length = static_cast<int>(std::min(SysStringLen(text), kLongestQuoted));
    std::string narrow(static_cast<size_t>(length) * 2, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), static_cast<int>(narrow.size()),
                                      nullptr, nullptr);
    narrow.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return narrow;
}

}  // namespace

HRESULT Description(const DriverFacts& facts, BSTR* pVal)
{
    Device().Trace.Log("%s::get_Description()\n", facts.className);
    return Text(facts.description, pVal);
}

HRESULT DriverInfo(const DriverFacts& facts, BSTR* pVal)
{
    Device().Trace.Log("%s::get_DriverInfo()\n", facts.className);
    std::wstring info = L"Quillmoor ASCOM " + std::wstring(facts.kind) + L" driver " + Version() +
                        L" for the accessory controller board";
    if (Device().PortIsOpen()) info += L"; connected to the " + BoardReport();
    return Text(info, pVal);
}

HRESULT DriverVersion(const DriverFacts& facts, BSTR* pVal)
{
    Device().Trace.Log("%s::get_DriverVersion()\n", facts.className);
    return Text(Version(), pVal);
}

HRESULT InterfaceVersion(const DriverFacts& facts, SHORT* pVal)
{
    if (!pVal) return E_POINTER;
    *pVal = facts.interfaceVersion;
    Device().Trace.Log("%s::get_InterfaceVersion(%i)\n", facts.className, *pVal);
    return ascom::Succeed();
}

HRESULT Name(const DriverFacts& facts, BSTR* pVal)
{
    Device().Trace.Log("%s::get_Name()\n", facts.className);
    return Text(facts.name, pVal);
}

// No actions: an empty array of strings, whatever happens.
HRESULT SupportedActions(const DriverFacts& facts, VARIANT* pVal)
{
    if (!pVal) return E_POINTER;
    Device().Trace.Log("%s::get_SupportedActions()\n", facts.className);
    VariantInit(pVal);
    pVal->parray = SafeArrayCreateVector(VT_BSTR, 0, 0);
    if (!pVal->parray) return E_OUTOFMEMORY;
    pVal->vt = VT_ARRAY | VT_BSTR;
    return ascom::Succeed();
}

HRESULT Action(const DriverFacts& facts, BSTR name, BSTR* pVal)
{
    if (pVal) *pVal = nullptr;
    const std::string text = TraceText(name);
    Device().Trace.Log("%s::Action(%s)\n", facts.className, text.c_str());
    return ascom::Raise(facts, ascom::kActionNotImplemented,
                        L"The action \"" + Quoted(name) +
                            L"\" is not supported: this driver has no actions");
}

HRESULT Command(const DriverFacts& facts, const char* member)
{
    Device().Trace.Log("%s::%s()\n", facts.className, member);
    const std::wstring wide(member, member + strlen(member));
    return ascom::Raise(facts, ascom::kNotImplemented,
                        wide + L" is not implemented: the board takes no raw commands from clients");
}

// Nothing to let go of: the link belongs to the clients that connected.
HRESULT Dispose(const DriverFacts& facts)
{
    Device().Trace.Log("%s::Dispose()\n", facts.className);
    return ascom::Succeed();
}

}  // namespace quillmoor::driver::common
