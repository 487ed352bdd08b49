#include "sim/wire_record.h"

#include <cstdio>

namespace quillmoor::sim {

namespace {
constexpr auto kRunBreak = std::chrono::milliseconds(100);
}

std::string FormatRecord(const std::vector<WireEvent>& events,
                         std::chrono::steady_clock::time_point origin) {
    std::string out;
    char field[32];
    for (size_t i = 0; i < events.size(); ++i) {
        const WireEvent& event = events[i];
        const bool continues = i > 0 && events[i - 1].direction == event.direction &&
                               event.time - events[i - 1].time <= kRunBreak;
        if (!continues) {
            if (i > 0) out += '\n';
            const double ms =
                std::chrono::duration<double, std::milli>(event.time - origin).count();
            std::snprintf(field, sizeof field, "%9.3f %s", ms,
                          event.direction == Direction::ToBoard ? ">>" : "<<");
            out += field;
        }
        std::snprintf(field, sizeof field, " %02X", event.byte);
        out += field;
    }
    if (!events.empty()) out += '\n';
    return out;
}

}  // namespace quillmoor::sim
