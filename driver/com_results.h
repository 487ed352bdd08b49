// Small translations between the controller's results and COM's.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace quillmoor::driver {

constexpr VARIANT_BOOL VariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// Position arithmetic wraps like the 32-bit integers it models.
constexpr int32_t WrappingAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

}  // namespace quillmoor::driver
