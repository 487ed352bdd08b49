#include "platform/clock.h"

#include <ctime>

namespace quillmoor::platform {

int64_t PerformanceFrequency() { return 1'000'000'000; }

int64_t PerformanceCounter()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

LocalDateTime LocalNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::tm UtcCalendar(std::time_t seconds)
{
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return utc;
}

}  // namespace quillmoor::platform
