// Elapsed time on the high-resolution counter.
#pragma once

#include <cstdint>

namespace quillmoor {

class Stopwatch {
public:
    void Start();
    // Whole milliseconds since Start, truncated toward zero; 0 when not running.
    int32_t ElapsedMs() const;
    // Milliseconds since Start, with their fraction.
    double ElapsedMsExact() const;
    double ElapsedSeconds() const;

private:
    int64_t frequency_ = 0;
    int64_t startCount_ = 0;
    bool hasFrequency_ = false;
    bool running_ = false;
};

}  // namespace quillmoor
