// What the dialog tests share: the report, the simulated board's wire record
// and the driver's registry key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "device/fw_device.h"

namespace dialog_tests {

// One "ok"/"FAIL" line per check.
class Report {
public:
    bool That(bool condition, const std::string& what, const std::string& detail = {});
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};

// Everything the PC has sent the board, as hex with a blank after each byte
// ("46 57 "); the harness writes the record out first.
class BoardWire {
public:
    explicit BoardWire(std::string recordPath) : path_(std::move(recordPath)) {}
    std::string Sent() const;
    // What was sent since the last Mark.
    void Mark() { mark_ = Sent().size(); }
    std::string SentSinceMark() const { return Sent().substr(mark_); }

private:
    std::string path_;
    size_t mark_ = 0;
};

std::string Hex(std::string_view bytes);
size_t Occurrences(const std::string& text, const std::string& part);

// A number of the driver's settings key (32-bit view), or -1 when absent.
int64_t RegistryNumber(const char* name);

struct Context {
    quillmoor::CFWDevice& device;
    BoardWire& wire;
    Report& report;
};

void MicrostepsAndFocuserSettings(Context& context);
void WheelSettings(Context& context);

}  // namespace dialog_tests
