// A late-bound client's view of an ASCOM driver: IDispatch by ProgID, every
// member reached by name through GetIDsOfNames and Invoke.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace wine_client {

// The outcome of one Invoke: its HRESULT, the exception it reported and the
// value it returned (VT_EMPTY when none).
struct Outcome {
    HRESULT hr = E_UNEXPECTED;
    HRESULT scode = S_OK;  // EXCEPINFO.scode when hr is DISP_E_EXCEPTION
    std::wstring description;
    std::wstring source;
    VARIANT value{};

    Outcome() { VariantInit(&value); }
    ~Outcome() { VariantClear(&value); }
    Outcome(const Outcome&) = delete;
    Outcome& operator=(const Outcome&) = delete;
    Outcome(Outcome&& other) noexcept;

    // The member's own result: scode when Invoke reported an exception.
    HRESULT Result() const { return hr == DISP_E_EXCEPTION && scode ? scode : hr; }
};

class Driver {
public:
    Driver() = default;
    explicit Driver(IDispatch* dispatch) : dispatch_(dispatch) {}
    ~Driver() { Reset(); }
    Driver(Driver&& other) noexcept : dispatch_(other.dispatch_) { other.dispatch_ = nullptr; }
    Driver& operator=(Driver&& other) noexcept;
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    // CLSIDFromProgID + CoCreateInstance for IDispatch; hr tells why not.
    static Driver Create(const wchar_t* progId, HRESULT* hr = nullptr);

    explicit operator bool() const { return dispatch_ != nullptr; }
    IDispatch* get() const { return dispatch_; }
    void Reset();

    Outcome Get(const wchar_t* name) const;
    Outcome Put(const wchar_t* name, const VARIANT& value) const;
    Outcome Call(const wchar_t* name) const;
    Outcome Call(const wchar_t* name, const VARIANT& argument) const;
    // Arguments in the order the member declares them.
    Outcome Call(const wchar_t* name, std::initializer_list<VARIANT> arguments) const;

private:
    Outcome Invoke(const wchar_t* name, WORD flags, VARIANT* arguments, UINT count,
                   bool named) const;
    IDispatch* dispatch_ = nullptr;
};

VARIANT Bool(bool value);
VARIANT Long(LONG value);
VARIANT Short(SHORT value);

// The elements of a VT_ARRAY|VT_BSTR or VT_ARRAY|VT_I4 value, from its lower
// bound up; empty for a value of any other type.
std::vector<std::wstring> StringElements(const VARIANT& v);
std::vector<LONG> LongElements(const VARIANT& v);

std::string Narrow(const std::wstring& text);

}  // namespace wine_client
