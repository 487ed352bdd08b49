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

private:
    bool ArrayShape(const Outcome& outcome, VARTYPE elementType, size_t count,
                    const std::string& what);
};

std::string Hex(HRESULT hr);

}  // namespace wine_client
