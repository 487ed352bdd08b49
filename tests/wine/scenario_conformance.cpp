// The current ASCOM contracts, grouped the way the conformance checker
// groups them: the common members, the focuser, the wheel, the errors. One
// board, paced so that moves and turns take long enough to be asked about
// from a second thread (focuser 4000 steps/s, wheel 200 ms a slot), its
// third filter without a name, MaxStep 2000; the first temperature reading
// gets no answer.
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <cwctype>

#include "calls.h"
#include "checks.h"
#include "scenarios.h"

namespace wine_client {
namespace {

constexpr LONG kMaxStep = 2000;
constexpr SHORT kSlots = 5;

bool HoldsString(const Outcome& outcome)
{
    return outcome.hr == S_OK && outcome.value.vt == VT_BSTR && SysStringLen(outcome.value.bstrVal) > 0;
}

// "major.minor", both numbers.
bool MajorMinor(const std::wstring& text)
{
    const size_t dot = text.find(L'.');
    auto digits = [](const std::wstring& part) {
        if (part.empty()) return false;
        for (wchar_t c : part)
            if (!std::iswdigit(c)) return false;
        return true;
    };
    return dot != std::wstring::npos && digits(text.substr(0, dot)) && digits(text.substr(dot + 1));
}

// The members every driver has, before and after connecting.
void CommonMembersOf(Checks& check, const Driver& driver, const std::string& who, SHORT version)
{
    check.ShortValue(driver.Get(L"InterfaceVersion"), version, who + " InterfaceVersion (VT_I2, not connected)");
    for (const wchar_t* name : {L"Name", L"Description", L"DriverInfo", L"DriverVersion"}) {
        const Outcome text = driver.Get(name);
        check.That(HoldsString(text), who + " " + Narrow(name) + " is a string, not empty",
                   "hr " + Hex(text.hr) + " vt " + std::to_string(text.value.vt));
    }
    const Outcome description = driver.Get(L"Description");
    check.That(description.value.vt == VT_BSTR && SysStringLen(description.value.bstrVal) <= 64,
               who + " Description has at most 64 characters");
    const Outcome version_ = driver.Get(L"DriverVersion");
    check.That(version_.value.vt == VT_BSTR && MajorMinor(version_.value.bstrVal), who + " DriverVersion is major.minor",
               version_.value.vt == VT_BSTR ? Narrow(version_.value.bstrVal) : "not a string");
    const Outcome actions = driver.Get(L"SupportedActions");
    check.Result(actions, S_OK, who + " SupportedActions");
    check.StringArray(actions, {}, who + " SupportedActions");
    VARIANT name = {}, parameters = {};
    name.vt = parameters.vt = VT_BSTR;
    name.bstrVal = SysAllocString(L"NoSuchAction");
    parameters.bstrVal = SysAllocString(L"");
    check.Failure(driver.Call(L"Action", {name, parameters}), ascom::kActionNotImplemented, {L"NoSuchAction"},
                  who + " Action of an unknown action");
    for (const wchar_t* command : {L"CommandBlind", L"CommandBool", L"CommandString"})
        check.Failure(driver.Call(command, {name, Bool(false)}), ascom::kNotImplemented, {command},
                      who + " " + Narrow(command));
    VariantClear(&name);
    VariantClear(&parameters);
}

void CommonGroup(Checks& check, const Driver& focuser, const Driver& wheel)
{
    CommonMembersOf(check, focuser, "Focuser", 3);
    CommonMembersOf(check, wheel, "FilterWheel", 2);
    for (bool connect : {true, false, true}) {
        const std::string state = connect ? "true" : "false";
        check.Result(focuser.Put(L"Connected", Bool(connect)), S_OK, "Focuser Connected put " + state);
        check.BoolValue(focuser.Get(L"Connected"), connect, "Focuser Connected after put " + state);
        check.BoolValue(focuser.Get(L"Link"), connect, "Focuser Link agrees with Connected");
    }
    check.Result(focuser.Put(L"Link", Bool(false)), S_OK, "Focuser Link put false");
    check.BoolValue(focuser.Get(L"Connected"), false, "Focuser Connected agrees with Link");
    check.Result(focuser.Put(L"Connected", Bool(true)), S_OK, "Focuser Connected put true");
    check.Result(wheel.Put(L"Connected", Bool(true)), S_OK, "FilterWheel Connected put true");
    const Outcome info = focuser.Get(L"DriverInfo");
    check.That(info.value.vt == VT_BSTR && std::wstring(info.value.bstrVal).find(L"COM3") != std::wstring::npos &&
                   std::wstring(info.value.bstrVal).find(L"5 filters") != std::wstring::npos,
               "DriverInfo, connected, tells what the board reported",
               info.value.vt == VT_BSTR ? Narrow(info.value.bstrVal) : "");
    check.ShortValue(focuser.Get(L"InterfaceVersion"), 3, "Focuser InterfaceVersion, connected");
    for (int i = 0; i < 2; ++i) {
        check.Result(focuser.Call(L"Dispose"), S_OK, "Focuser Dispose");
        check.Result(wheel.Call(L"Dispose"), S_OK, "FilterWheel Dispose");
    }
    check.BoolValue(focuser.Get(L"Connected"), true, "Dispose leaves the link to its clients");
}

// Before any connection: each member that needs the board says so.
void NotConnectedGroup(Checks& check, const Driver& focuser, const Driver& wheel)
{
    const std::vector<std::wstring> why = {L"Connected"};
    check.Failure(focuser.Get(L"Position"), ascom::kNotConnected, why, "Position, not connected");
    check.Failure(focuser.Get(L"Temperature"), ascom::kNotConnected, why, "Temperature, not connected");
    check.Failure(focuser.Get(L"TempComp"), ascom::kNotConnected, why, "TempComp get, not connected");
    check.Failure(focuser.Put(L"TempComp", Bool(true)), ascom::kNotConnected, why, "TempComp put, not connected");
    check.Failure(focuser.Call(L"Move", Long(100)), ascom::kNotConnected, why, "Move, not connected");
    check.Failure(wheel.Put(L"Position", Short(1)), ascom::kNotConnected, why, "wheel Position put, not connected");
}

// A failing member called without an EXCEPINFO keeps its error object on
// the thread; the next call must not leave it there for whoever asks.
void StaleErrorGroup(Checks& check, const Driver& focuser)
{
    DISPID halt = DISPID_UNKNOWN, maxStep = DISPID_UNKNOWN;
    LPOLESTR haltName[] = {const_cast<LPOLESTR>(L"Halt")};
    LPOLESTR maxStepName[] = {const_cast<LPOLESTR>(L"MaxStep")};
    focuser.get()->GetIDsOfNames(IID_NULL, haltName, 1, LOCALE_USER_DEFAULT, &halt);
    focuser.get()->GetIDsOfNames(IID_NULL, maxStepName, 1, LOCALE_USER_DEFAULT, &maxStep);
    DISPPARAMS none{};
    focuser.get()->Invoke(halt, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    VARIANT result;
    VariantInit(&result);
    const HRESULT read = focuser.get()->Invoke(maxStep, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                               &result, nullptr, nullptr);
    VariantClear(&result);
    IErrorInfo* left = nullptr;
    const HRESULT asked = GetErrorInfo(0, &left);
    if (left) left->Release();
    check.That(read == S_OK && asked == S_FALSE, "a successful member leaves no error object on the thread",
               "MaxStep " + Hex(read) + ", GetErrorInfo " + Hex(asked));
    const Outcome first = focuser.Call(L"Halt");
    const Outcome second = focuser.Call(L"CommandBlind", {Long(0), Bool(false)});
    check.That(first.description == L"Not Supported" && second.description != first.description &&
                   second.scode == ascom::kNotImplemented,
               "each failure carries its own description", Narrow(second.description));
}

// MaxStep 2000: the moves stop at the limits, land within 2 steps, and
// Position, Temperature and IsMoving answer from another thread meanwhile.
void FocuserGroup(Checks& check, const Driver& focuser)
{
    const Outcome increment = focuser.Get(L"MaxIncrement");
    check.That(increment.value.vt == VT_I4 && increment.value.lVal >= 1 && increment.value.lVal <= kMaxStep,
               "MaxIncrement is within 1..MaxStep", std::to_string(increment.value.lVal));
    const Outcome stepSize = focuser.Get(L"StepSize");
    check.That(stepSize.value.vt == VT_R8 && stepSize.value.dblVal > 0, "StepSize is above 0");
    check.LongValue(focuser.Get(L"MaxStep"), kMaxStep, "MaxStep");
    for (bool on : {true, false}) {
        check.Result(focuser.Put(L"TempComp", Bool(on)), S_OK, std::string("TempComp put ") + (on ? "on" : "off"));
        check.BoolValue(focuser.Get(L"TempComp"), on, "TempComp reads back");
    }

    struct Case {
        LONG asked, lands;
    };
    for (const Case& move : {Case{0, 0}, Case{-10, 0}, Case{kMaxStep / 2, kMaxStep / 2}, Case{kMaxStep, kMaxStep},
                             Case{kMaxStep + 10, kMaxStep}}) {
        const std::string what = "Move(" + std::to_string(move.asked) + ")";
        check.Result(focuser.Call(L"Move", Long(move.asked)), S_OK, what);
        check.BoolValue(focuser.Get(L"IsMoving"), false, what + ": IsMoving false once it returned");
        const Outcome position = focuser.Get(L"Position");
        check.That(position.value.vt == VT_I4 && std::abs(position.value.lVal - move.lands) <= 2,
                   what + " lands within 2 steps of " + std::to_string(move.lands), std::to_string(position.value.lVal));
    }
    check.Result(focuser.Put(L"TempComp", Bool(true)), S_OK, "TempComp put on before a move");
    check.Result(focuser.Call(L"Move", Long(1500)), S_OK, "Move(1500) with TempComp on");
    check.LongValue(focuser.Get(L"Position"), 1500, "Position after the move with TempComp on");
    check.Result(focuser.Put(L"TempComp", Bool(false)), S_OK, "TempComp put off");

    const Outcome halt = focuser.Call(L"Halt");
    check.Failure(halt, ascom::kNotImplemented, {L"Not Supported"}, "Halt");
    check.That(halt.source == L"Quillmoor.Focuser.1", "Halt's source is Quillmoor.Focuser.1", Narrow(halt.source));

    const double before = focuser.Get(L"Temperature").value.dblVal;
    Background move([&] { return focuser.Call(L"Move", Long(0)); });
    if (check.That(WaitUntilMoving(focuser, move), "IsMoving is true on another thread during Move")) {
        const Outcome position = focuser.Get(L"Position");
        check.Result(position, S_OK, "Position during the move");
        check.LongValue(position, 1500, "Position during the move (the last the board gave)");
        const Outcome temperature = focuser.Get(L"Temperature");
        check.Result(temperature, S_OK, "Temperature during the move");
        check.DoubleValue(temperature, before, "Temperature during the move (the last reading)");
        check.BoolValue(focuser.Get(L"IsMoving"), true, "IsMoving while the move runs");
        check.That(!move.Done(), "the move outlasted the reads (else they prove less)");
    }
    const HRESULT moved = move.Join();
    check.That(moved == S_OK, "the move during the reads returns S_OK", Hex(moved));
    check.LongValue(focuser.Get(L"Position"), 0, "Position after it");
}

void WheelGroup(Checks& check, const Driver& wheel, const Driver& focuser)
{
    const Outcome names = wheel.Get(L"Names");
    check.StringArray(names, {L"L", L"R", L"Filter 3", L"B", L"Ha"}, "Names, the empty one named by its number");
    check.That(LongElements(wheel.Get(L"FocusOffsets").value).size() == StringElements(names.value).size(),
               "FocusOffsets has as many entries as Names");
    for (SHORT slot : {SHORT(-1), kSlots})
        check.Failure(wheel.Put(L"Position", Short(slot)), ascom::kInvalidValue, {std::to_wstring(slot)},
                      "Position put " + std::to_string(slot));
    // Up, down, and long jumps; the harness checks that exactly these went out.
    for (SHORT slot : {1, 2, 3, 4, 3, 2, 1, 0, 4, 1, 3, 0}) {
        check.Result(wheel.Put(L"Position", Short(slot)), S_OK, "Position put " + std::to_string(slot));
        check.ShortValue(wheel.Get(L"Position"), slot, "Position after the put");
    }
    Background turn([&] { return wheel.Put(L"Position", Short(2)); });
    if (check.That(WaitUntilMoving(focuser, turn), "the link is busy with the turn")) {
        check.ShortValue(wheel.Get(L"Position"), -1, "Position on another thread during the turn");
        check.Failure(focuser.Get(L"Position"), ascom::kLinkBusy, {L"COM3", L"busy"},
                      "focuser Position during the turn");
        check.Failure(focuser.Get(L"TempComp"), ascom::kLinkBusy, {L"COM3", L"busy"}, "TempComp during the turn");
        check.That(!turn.Done(), "the turn outlasted the reads");
    }
    const HRESULT turned = turn.Join();
    check.That(turned == S_OK, "the turn during the reads returns S_OK", Hex(turned));
    check.ShortValue(wheel.Get(L"Position"), 2, "Position after it");
}

}  // namespace

int Conformance()
{
    Checks common("common"), errors("errors"), focuserChecks("focuser"), wheelChecks("wheel");
    Driver focuser = Driver::Create(L"Quillmoor.Focuser");
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel");
    if (!common.That(focuser && wheel, "both ProgIDs create objects")) return common.Failures();

    NotConnectedGroup(errors, focuser, wheel);
    CommonGroup(common, focuser, wheel);
    errors.Failure(focuser.Get(L"Temperature"), ascom::kNoAnswer, {L"COM3", L"no valid answer"},
                   "Temperature from a board that does not answer");
    StaleErrorGroup(errors, focuser);
    FocuserGroup(focuserChecks, focuser);
    WheelGroup(wheelChecks, wheel, focuser);

    wheel.Put(L"Connected", Bool(false));
    focuser.Put(L"Connected", Bool(false));
    return common.Failures() + errors.Failures() + focuserChecks.Failures() + wheelChecks.Failures();
}

}  // namespace wine_client
