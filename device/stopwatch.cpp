#include "device/stopwatch.h"

#include "platform/clock.h"

namespace quillmoor {

void Stopwatch::Start()
{
    frequency_ = platform::PerformanceFrequency();
    hasFrequency_ = frequency_ > 0;
    startCount_ = platform::PerformanceCounter();
    running_ = true;
}

double Stopwatch::ElapsedSeconds() const
{
    if (!running_ || !hasFrequency_) return 0.0;
    return static_cast<double>(platform::PerformanceCounter() - startCount_) /
           static_cast<double>(frequency_);
}

double Stopwatch::ElapsedMsExact() const { return ElapsedSeconds() * 1000.0; }

int32_t Stopwatch::ElapsedMs() const { return static_cast<int32_t>(ElapsedMsExact()); }

}  // namespace quillmoor
