// The temperature log reader and the slope fit on arbitrary file contents:
// nothing may crash, every column keeps one cell per row, and a slope that
// is offered is one the board can take.
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "service/temperature_history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace quillmoor::service;
    const TemperatureHistory history = ParseTemperatureLog({reinterpret_cast<const char*>(data), size});
    const size_t rows = history.seconds.size();
    if (history.focus.size() != rows || history.filter.size() != rows ||
        history.temperatures.size() != history.sensors.size())
        std::abort();
    for (const auto& column : history.temperatures)
        if (column.size() != rows) std::abort();
    const FocusSlope fit = FitFocusSlope(history, size > 0 ? data[0] % 4 : 0);
    if (fit.refusal.empty() && (!std::isfinite(fit.stepsPerDegree) || std::abs(fit.BoardValue()) > 1000)) std::abort();
    return 0;
}
