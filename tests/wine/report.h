// One "ok"/"FAIL" line per check on stdout, counted so that a test program's
// exit code tells whether all held.
#pragma once

#include <string>

namespace wine_client {

class Report {
public:
    explicit Report(std::string group) : group_(std::move(group)) {}

    bool That(bool condition, const std::string& what, const std::string& detail = {});
    int Failures() const { return failures_; }

private:
    std::string group_;
    int failures_ = 0;
};

}  // namespace wine_client
