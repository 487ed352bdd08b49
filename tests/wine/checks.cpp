#include "checks.h"

#include <cmath>
#include <cstdio>

namespace wine_client {

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(hr));
    return text;
}

bool Checks::Result(const Outcome& outcome, HRESULT expected, const std::string& what)
{
    return That(outcome.Result() == expected, what + " returns " + Hex(expected),
                "got hr " + Hex(outcome.hr) + " scode " + Hex(outcome.scode));
}

bool Checks::Failure(const Outcome& outcome, HRESULT code, const std::vector<std::wstring>& words,
                     const std::string& what)
{
    bool described = !outcome.description.empty();
    for (const std::wstring& word : words) described = described && outcome.description.find(word) != std::wstring::npos;
    return Result(outcome, code, what) &&
           That(described, what + " says why", "description: " + Narrow(outcome.description));
}

bool Checks::BoolValue(const Outcome& outcome, bool expected, const std::string& what)
{
    const VARIANT& v = outcome.value;
    const bool ok = v.vt == VT_BOOL && v.boolVal == (expected ? VARIANT_TRUE : VARIANT_FALSE);
    return That(ok, what + (expected ? " is true" : " is false"),
                "vt " + std::to_string(v.vt) + " value " + std::to_string(v.boolVal));
}

bool Checks::LongValue(const Outcome& outcome, LONG expected, const std::string& what)
{
    const VARIANT& v = outcome.value;
    return That(v.vt == VT_I4 && v.lVal == expected, what + " is " + std::to_string(expected),
                "vt " + std::to_string(v.vt) + " value " + std::to_string(v.lVal));
}

bool Checks::ShortValue(const Outcome& outcome, SHORT expected, const std::string& what)
{
    const VARIANT& v = outcome.value;
    return That(v.vt == VT_I2 && v.iVal == expected, what + " is " + std::to_string(expected),
                "vt " + std::to_string(v.vt) + " value " + std::to_string(v.iVal));
}

bool Checks::DoubleValue(const Outcome& outcome, double expected, const std::string& what)
{
    const VARIANT& v = outcome.value;
    return That(v.vt == VT_R8 && std::fabs(v.dblVal - expected) < 1e-6,
                what + " is " + std::to_string(expected),
                "vt " + std::to_string(v.vt) + " value " + std::to_string(v.dblVal));
}

bool Checks::ArrayShape(const Outcome& outcome, VARTYPE elementType, size_t count,
                        const std::string& what)
{
    const VARIANT& v = outcome.value;
    if (!That(v.vt == (VT_ARRAY | elementType) && v.parray,
              what + " is VT_ARRAY|" + std::to_string(elementType), "vt " + std::to_string(v.vt)))
        return false;
    LONG lower = -1, upper = -2;
    SafeArrayGetLBound(v.parray, 1, &lower);
    SafeArrayGetUBound(v.parray, 1, &upper);
    return That(SafeArrayGetDim(v.parray) == 1 && lower == 0 &&
                    upper + 1 == static_cast<LONG>(count),
                what + " has lower bound 0 and " + std::to_string(count) + " elements",
                "dims " + std::to_string(SafeArrayGetDim(v.parray)) + " bounds " +
                    std::to_string(lower) + ".." + std::to_string(upper));
}

bool Checks::StringArray(const Outcome& outcome, const std::vector<std::wstring>& expected,
                         const std::string& what)
{
    if (!ArrayShape(outcome, VT_BSTR, expected.size(), what)) return false;
    std::wstring got, want;
    for (const std::wstring& element : StringElements(outcome.value)) got += element + L"|";
    for (const std::wstring& element : expected) want += element + L"|";
    return That(got == want, what + " holds " + Narrow(want), "got " + Narrow(got));
}

bool Checks::LongArray(const Outcome& outcome, const std::vector<LONG>& expected,
                       const std::string& what)
{
    if (!ArrayShape(outcome, VT_I4, expected.size(), what)) return false;
    std::string got, want;
    for (LONG element : LongElements(outcome.value)) got += std::to_string(element) + "|";
    for (LONG element : expected) want += std::to_string(element) + "|";
    return That(got == want, what + " holds " + want, "got " + got);
}

}  // namespace wine_client
