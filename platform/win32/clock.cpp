#include "platform/clock.h"

#include <windows.h>

namespace quillmoor::platform {

int64_t PerformanceFrequency()
{
    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency)) return 0;
    return frequency.QuadPart;
}

int64_t PerformanceCounter()
{
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

LocalDateTime LocalNow()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::tm UtcCalendar(std::time_t seconds)
{
    std::tm utc{};
    gmtime_s(&utc, &seconds);
    return utc;
}

}  // namespace quillmoor::platform
