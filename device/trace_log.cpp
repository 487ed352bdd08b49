#include "device/trace_log.h"

#include <cstdarg>

#include "platform/debug_output.h"

namespace quillmoor {

TraceLog::TraceLog() { clock_.Start(); }

TraceLog::~TraceLog() { DetachFile(); }

void TraceLog::Log(const char* format, ...)
{
    char line[kLineBytes] = {};
    int stamp = std::snprintf(line, sizeof line, "%.3f : ", clock_.ElapsedSeconds());
    if (stamp < 0) stamp = 0;
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + stamp, sizeof line - static_cast<size_t>(stamp), format, args);
    va_end(args);

    platform::DebugOutput(line);
    std::lock_guard lock(fileMutex_);
    if (file_) std::fputs(line, file_);
}

bool TraceLog::AttachFile(const std::string& path)
{
    std::lock_guard lock(fileMutex_);
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void TraceLog::DetachFile()
{
    std::lock_guard lock(fileMutex_);
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace quillmoor
