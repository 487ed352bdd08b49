// The device interface that the ASCOM objects and the dialogs drive.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/filter_table.h"

namespace quillmoor {

class CMotorDevice {
public:
    // Operations return true on success and write their out values only then.
    virtual bool GetFocuserPosition(int32_t& position) = 0;
    // Reads the position, then moves n units of MinMotorStep from there.
    virtual bool MoveFocuserBy(int32_t n);
    virtual bool MoveFocuserTo(int32_t target) = 0;
    virtual bool SetFocuserPosition(int32_t position) = 0;
    virtual ~CMotorDevice() = default;
    virtual bool HomeWheel(int ignored) = 0;
    virtual bool GotoFilter(int32_t target) = 0;
    virtual bool GetCurrentFilter(int32_t& index) = 0;

    int32_t MinMotorStep = 1;               // motor steps per unit of a relative move
    FilterTable Filters;                    // at most kMaxFilters entries
    std::atomic<int32_t> CurrentFilter{-1};  // -1 = unknown
};

}  // namespace quillmoor
