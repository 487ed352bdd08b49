// The time-stamped trace: every line goes to the debugger output and, while
// a port is open and a log file is named, to that file.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "device/stopwatch.h"

namespace quillmoor {

class TraceLog {
public:
    static constexpr size_t kLineBytes = 2048;  // a line holds at most 2047 characters

    TraceLog();
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Composes one line, "%.3f : " with the seconds since construction and
    // then the message, which brings its own line end.
    void Log(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // Opens path with mode "w" (emptying it) and makes it the trace file,
    // closing any previous one. False when it cannot be opened; the trace
    // then goes on to the debugger output alone.
    bool AttachFile(const std::string& path);
    void DetachFile();

private:
    Stopwatch clock_;
    std::mutex fileMutex_;  // a line is never written while the file changes
    std::FILE* file_ = nullptr;
};

}  // namespace quillmoor
