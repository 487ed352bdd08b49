// Time as the driver measures it: a high-resolution counter for waits and
// trace stamps, the local calendar time for the temperature log, and the
// UTC calendar time of the network server's time stamps.
#pragma once

#include <cstdint>
#include <ctime>

namespace quillmoor::platform {

// Counts per second of PerformanceCounter; 0 when the system has no counter.
int64_t PerformanceFrequency();
int64_t PerformanceCounter();

struct LocalDateTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalDateTime LocalNow();

// The UTC calendar fields of a time in seconds since 1970 (gmtime, thread-safe).
std::tm UtcCalendar(std::time_t seconds);

}  // namespace quillmoor::platform
