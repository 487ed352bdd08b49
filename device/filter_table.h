// The filter table: guarded, because the COM objects read it from any thread
// while a connect or a rename on another thread may change it.
#pragma once

#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "device/controller_config.h"

namespace quillmoor {

// A filter's name as text: at most 8 characters.
inline std::string SlotName(const FilterSlot& slot)
{
    return std::string(slot.Name, strnlen(slot.Name, kFilterNameBytes));
}

// The name shown to clients for slot `index` (from 0): "Filter 3" for an
// unnamed third slot, since clients refuse a wheel with an empty name.
inline std::string ClientSlotName(const FilterSlot& slot, size_t index)
{
    std::string name = SlotName(slot);
    return name.empty() ? "Filter " + std::to_string(index + 1) : name;
}

class FilterTable {
public:
    std::vector<FilterSlot> Snapshot() const
    {
        std::lock_guard lock(mutex_);
        return slots_;
    }
    size_t Size() const
    {
        std::lock_guard lock(mutex_);
        return slots_.size();
    }
    bool Empty() const { return Size() == 0; }
    void Assign(std::vector<FilterSlot> slots)
    {
        std::lock_guard lock(mutex_);
        slots_ = std::move(slots);
    }
    // Runs edit on entry index under the lock; false when there is no such entry.
    template <class Edit>
    bool Update(size_t index, Edit&& edit)
    {
        std::lock_guard lock(mutex_);
        if (index >= slots_.size()) return false;
        edit(slots_[index]);
        return true;
    }

private:
    mutable std::mutex mutex_;
    std::vector<FilterSlot> slots_;
};

}  // namespace quillmoor
