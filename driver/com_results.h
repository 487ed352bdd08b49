// Small translations between the controller's results and COM's.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace quillmoor::driver {

constexpr VARIANT_BOOL VariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

}  // namespace quillmoor::driver
