#include "report.h"

#include <cstdio>

namespace wine_client {

bool Report::That(bool condition, const std::string& what, const std::string& detail)
{
    if (condition) {
        std::printf("ok %s: %s\n", group_.c_str(), what.c_str());
    } else {
        ++failures_;
        std::printf("FAIL %s: %s%s%s\n", group_.c_str(), what.c_str(), detail.empty() ? "" : " -- ",
                    detail.c_str());
    }
    std::fflush(stdout);
    return condition;
}

}  // namespace wine_client
