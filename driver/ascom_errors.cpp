#include "ascom_errors.h"

#include <oaidl.h>

#include "controller_instance.h"
#include "device/link_failure.h"

namespace quillmoor::driver::ascom {

std::wstring BoardName()
{
    const int port = g_FWDevice.OpenPortNumber;
    return port > 0 ? L"board on COM" + std::to_wstring(port) : std::wstring(L"board");
}

HRESULT Raise(const DriverFacts& facts, HRESULT code, const std::wstring& description)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return code;
    create->SetGUID(facts.iid);
    LPOLESTR progId = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(facts.clsid, &progId))) {
        create->SetSource(progId);
        CoTaskMemFree(progId);
    }
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* error = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error)))) {
        SetErrorInfo(0, error);
        error->Release();
    }
    create->Release();
    return code;
}

HRESULT Succeed()
{
    SetErrorInfo(0, nullptr);
    return S_OK;
}

HRESULT NotConnected(const DriverFacts& facts)
{
    return Raise(facts, kNotConnected, L"Not connected to the board: set Connected to true first");
}

HRESULT NoBoard(const DriverFacts& facts)
{
    if (const int held = g_FWDevice.HeldPortNumber; held > 0 && LastLinkFailure() == LinkFailure::PortInUse)
        return Raise(facts, kNoBoard,
                     L"COM" + std::to_wstring(held) +
                         L" is in use by another program (the network server for the board, or this driver in "
                         L"another program): disconnect the board there, or choose another port in the setup dialog");
    const int port = g_FWDevice.Options.ComPort;
    if (port > 0)
        return Raise(facts, kNoBoard,
                     L"No board answered on COM" + std::to_wstring(port) +
                         L": check the cable, the board's power and the port chosen in the setup dialog");
    return Raise(facts, kNoBoard,
                 L"No board answered on any port from COM1 to COM" + std::to_wstring(kAutoSearchLastPort) +
                     L": check the cable and the board's power");
}

HRESULT Outcome(const DriverFacts& facts, bool succeeded)
{
    if (succeeded) return Succeed();
    switch (LastLinkFailure()) {
    case LinkFailure::NotConnected:
        return NotConnected(facts);
    case LinkFailure::Busy:
        return Raise(facts, kLinkBusy,
                     L"The " + BoardName() +
                         L" is busy with another command (a move, or another program's request); try again "
                         L"when it has finished");
    case LinkFailure::None:  // not expected after a failure; reported as no answer
    case LinkFailure::PortInUse:  // only a connect opens the port
    case LinkFailure::NoAnswer:
        break;
    }
    return Raise(facts, kNoAnswer, L"The " + BoardName() + L" gave no valid answer: check the cable and the board's power");
}

}  // namespace quillmoor::driver::ascom
