// Test reporting for the client: one "ok"/"FAIL" line per check on stdout,
// counted so that the program's exit code tells whether all held.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "automation.h"

namespace wine_client {

class Checks {
public:
    explicit Checks(std::string group) : group_(std::move(group)) {}

    bool That(bool condition, const std::string& what, const std::string& detail = {});
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

    int Failures() const { return failures_; }

private:
    bool ArrayShape(const Outcome& outcome, VARTYPE elementType, size_t count,
                    const std::string& what);
    std::string group_;
    int failures_ = 0;
};

std::string Hex(HRESULT hr);

}  // namespace wine_client
