#include "automation.h"

#include <algorithm>

namespace wine_client {

Outcome::Outcome(Outcome&& other) noexcept
    : hr(other.hr), scode(other.scode), description(std::move(other.description)),
      source(std::move(other.source)), value(other.value)
{
    VariantInit(&other.value);
}

Driver& Driver::operator=(Driver&& other) noexcept
{
    if (this != &other) {
        Reset();
        dispatch_ = other.dispatch_;
        other.dispatch_ = nullptr;
    }
    return *this;
}

Driver Driver::Create(const wchar_t* progId, HRESULT* hr)
{
    CLSID clsid;
    HRESULT result = CLSIDFromProgID(progId, &clsid);
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(result))
        result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&dispatch));
    if (hr) *hr = result;
    return Driver(SUCCEEDED(result) ? dispatch : nullptr);
}

void Driver::Reset()
{
    if (dispatch_) dispatch_->Release();
    dispatch_ = nullptr;
}

Outcome Driver::Invoke(const wchar_t* name, WORD flags, VARIANT* arguments, UINT count,
                       bool named) const
{
    Outcome outcome;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    outcome.hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(outcome.hr)) return outcome;

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{arguments, named ? &putId : nullptr, count, named ? 1u : 0u};
    EXCEPINFO exception{};
    UINT badArgument = 0;
    outcome.hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                   &outcome.value, &exception, &badArgument);
    if (outcome.hr == DISP_E_EXCEPTION) {
        outcome.scode = exception.scode;
        if (exception.bstrDescription) outcome.description = exception.bstrDescription;
        if (exception.bstrSource) outcome.source = exception.bstrSource;
    }
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    return outcome;
}

Outcome Driver::Get(const wchar_t* name) const
{
    return Invoke(name, DISPATCH_PROPERTYGET, nullptr, 0, false);
}

Outcome Driver::Put(const wchar_t* name, const VARIANT& value) const
{
    VARIANT argument = value;
    return Invoke(name, DISPATCH_PROPERTYPUT, &argument, 1, true);
}

Outcome Driver::Call(const wchar_t* name) const
{
    return Invoke(name, DISPATCH_METHOD, nullptr, 0, false);
}

Outcome Driver::Call(const wchar_t* name, const VARIANT& argument) const
{
    VARIANT copy = argument;
    return Invoke(name, DISPATCH_METHOD, &copy, 1, false);
}

Outcome Driver::Call(const wchar_t* name, std::initializer_list<VARIANT> arguments) const
{
    // IDispatch takes them last first.
    std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
    std::reverse(reversed.begin(), reversed.end());
    return Invoke(name, DISPATCH_METHOD, reversed.data(), static_cast<UINT>(reversed.size()), false);
}

VARIANT Bool(bool value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT Long(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Short(SHORT value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}

namespace {

// Calls element(index) for each index of a one-dimensional array of the type.
template <class Element>
void ForEachElement(const VARIANT& v, VARTYPE elementType, Element&& element)
{
    if (v.vt != (VT_ARRAY | elementType) || !v.parray) return;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(v.parray, 1, &lower);
    SafeArrayGetUBound(v.parray, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) element(i);
}

}  // namespace

std::vector<std::wstring> StringElements(const VARIANT& v)
{
    std::vector<std::wstring> out;
    ForEachElement(v, VT_BSTR, [&](LONG i) {
        BSTR element = nullptr;
        SafeArrayGetElement(v.parray, &i, &element);
        out.emplace_back(element ? element : L"", SysStringLen(element));
        SysFreeString(element);
    });
    return out;
}

std::vector<LONG> LongElements(const VARIANT& v)
{
    std::vector<LONG> out;
    ForEachElement(v, VT_I4, [&](LONG i) {
        LONG element = 0;
        SafeArrayGetElement(v.parray, &i, &element);
        out.push_back(element);
    });
    return out;
}

std::string Narrow(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace wine_client
