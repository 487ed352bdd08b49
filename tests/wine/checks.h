// Test reporting for the client: the checks of member results, on top of
// the plain ok/FAIL report.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "automation.h"
#include "report.h"

namespace wine_client {

class Checks : public Report {
public:
    using Report::Report;

    // hr of the member (scode through DISP_E_EXCEPTION) equals expected.
    bool Result(const Outcome& outcome, HRESULT expected, const std::string& what);
    bool BoolValue(const Outcome& outcome, bool expected, const std::string& what);
    bool LongValue(const Outcome& outcome, LONG expected, const std::string& what);
    bool ShortValue(const Outcome& outcome, SHORT expected, const std::string& what);
    bool DoubleValue(const Outcome& outcome, double expected, const std::string& what);
    // A one-dimensional VT_ARRAY|elementType with lower bound 0.
    bool StringArray(const Outcome& outcome, const std::vector<std::wstring>& expected,
                     const std::string& what);
    bool LongArray(const Outcome& outcome, const std::vector<LONG>& expected,
                   const std::string& what);
    // Failed with code, and its description holds every one of the words.
    bool Failure(const Outcome& outcome, HRESULT code, const std::vector<std::wstring>& words,
                 const std::string& what);

private:
    bool ArrayShape(const Outcome& outcome, VARTYPE elementType, size_t count,
                    const std::string& what);
};

std::string Hex(HRESULT hr);

// The ASCOM codes the objects answer with.
namespace ascom {
inline constexpr HRESULT kNotImplemented = static_cast<HRESULT>(0x80040400);
inline constexpr HRESULT kInvalidValue = static_cast<HRESULT>(0x80040401);
inline constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x80040407);
inline constexpr HRESULT kActionNotImplemented = static_cast<HRESULT>(0x8004040C);
inline constexpr HRESULT kLinkBusy = static_cast<HRESULT>(0x80040500);
inline constexpr HRESULT kNoAnswer = static_cast<HRESULT>(0x80040501);
inline constexpr HRESULT kNoBoard = static_cast<HRESULT>(0x80040502);
}  // namespace ascom

}  // namespace wine_client
