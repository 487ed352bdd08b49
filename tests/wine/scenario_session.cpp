// A short session for a person to read: both drivers connect, the focuser
// and the wheel are asked and moved once each, both disconnect. Every call
// goes by name through IDispatch, as an ASCOM client makes it. Not a test:
// it prints what it saw and returns the number of calls that failed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "automation.h"
#include "calls.h"
#include "checks.h"
#include "scenarios.h"

namespace wine_client {
namespace {

class Printer {
public:
    int Failures() const { return failures_; }

    static void Heading(const char* text) { std::printf("%s\n", text); }

    static void Line(const std::string& what, const std::string& text)
    {
        std::printf("  %-24s %s\n", what.c_str(), text.c_str());
        std::fflush(stdout);
    }

    // A property get: "  Name    value", or why it failed.
    Outcome Get(const Driver& driver, const wchar_t* name, const char* unit = "")
    {
        Outcome outcome = driver.Get(name);
        if (Failed(outcome, Narrow(name))) return outcome;
        std::string text = Show(outcome.value);
        if (*unit) text += std::string(" ") + unit;
        Line(Narrow(name), text);
        return outcome;
    }

    // A property put or a method call, with the time it took to return.
    template <class Action>
    bool Do(const std::string& what, Action&& action)
    {
        Elapsed elapsed;
        Outcome outcome = action();
        const double ms = elapsed.Ms();
        if (Failed(outcome, what)) return false;
        char took[48];
        std::snprintf(took, sizeof took, "done in %.0f ms", ms);
        Line(what, took);
        return true;
    }

    static std::string Show(const VARIANT& v)
    {
        char text[64];
        switch (v.vt) {
        case VT_BOOL: return v.boolVal ? "true" : "false";
        case VT_I2: return std::to_string(v.iVal);
        case VT_I4: return std::to_string(v.lVal);
        case VT_R8: std::snprintf(text, sizeof text, "%.2f", v.dblVal); return text;
        case VT_ARRAY | VT_BSTR: {
            std::string list;
            for (const std::wstring& s : StringElements(v)) list += (list.empty() ? "" : ", ") + Narrow(s);
            return list.empty() ? "(none)" : list;
        }
        case VT_ARRAY | VT_I4: {
            std::string list;
            for (LONG element : LongElements(v)) list += (list.empty() ? "" : ", ") + std::to_string(element);
            return list.empty() ? "(none)" : list;
        }
        default: std::snprintf(text, sizeof text, "(variant type %u)", v.vt); return text;
        }
    }

private:
    bool Failed(const Outcome& outcome, const std::string& what)
    {
        if (SUCCEEDED(outcome.Result())) return false;
        ++failures_;
        std::string why = "FAILED, " + Hex(outcome.Result());
        if (!outcome.description.empty()) why += " (" + Narrow(outcome.description) + ")";
        Line(what, why);
        return true;
    }

    int failures_ = 0;
};

// "2 (G)": a wheel slot with its filter's name, when there is one.
std::string Slot(const Outcome& position, const std::vector<std::wstring>& names)
{
    if (position.value.vt != VT_I2) return {};
    const SHORT slot = position.value.iVal;
    std::string text = std::to_string(slot);
    if (slot >= 0 && slot < static_cast<SHORT>(names.size())) text += " (" + Narrow(names[slot]) + ")";
    return text;
}

}  // namespace

int Session()
{
    constexpr LONG focuserTarget = 1500;
    constexpr SHORT wheelTarget = 2;
    Printer session;
    HRESULT hr = S_OK;
    Driver focuser = Driver::Create(L"Quillmoor.Focuser", &hr);
    if (!focuser) {
        std::printf("Quillmoor.Focuser cannot be created: %s\n", Hex(hr).c_str());
        return 1;
    }
    Driver wheel = Driver::Create(L"Quillmoor.FilterWheel", &hr);
    if (!wheel) {
        std::printf("Quillmoor.FilterWheel cannot be created: %s\n", Hex(hr).c_str());
        return 1;
    }

    session.Heading("Connecting");
    const bool linked = session.Do("Focuser.Link = true", [&] { return focuser.Put(L"Link", Bool(true)); });
    const bool joined =
        session.Do("Wheel.Connected = true", [&] { return wheel.Put(L"Connected", Bool(true)); });

    if (linked) {
        session.Heading("Focuser");
        session.Get(focuser, L"Position", "steps");
        session.Get(focuser, L"MaxStep", "steps");
        session.Get(focuser, L"StepSize", "microns");
        session.Get(focuser, L"Temperature", "degrees C");
        session.Get(focuser, L"TempComp");
        const std::string move = "Move(" + std::to_string(focuserTarget) + ")";
        session.Do(move, [&] { return focuser.Call(L"Move", Long(focuserTarget)); });
        session.Get(focuser, L"Position", "steps");
    }

    if (joined) {
        session.Heading("Filter wheel");
        const std::vector<std::wstring> names = StringElements(session.Get(wheel, L"Names").value);
        session.Get(wheel, L"FocusOffsets", "steps");
        Printer::Line("Position", Slot(wheel.Get(L"Position"), names));
        const std::string turn = "Position = " + std::to_string(wheelTarget);
        session.Do(turn, [&] { return wheel.Put(L"Position", Short(wheelTarget)); });
        Printer::Line("Position", Slot(wheel.Get(L"Position"), names));
    }

    session.Heading("Disconnecting");
    session.Do("Wheel.Connected = false", [&] { return wheel.Put(L"Connected", Bool(false)); });
    session.Do("Focuser.Link = false", [&] { return focuser.Put(L"Link", Bool(false)); });
    session.Get(focuser, L"Link");
    return session.Failures();
}

}  // namespace wine_client
