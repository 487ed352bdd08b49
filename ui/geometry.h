// Points and rectangles in client pixels, as the dialogs' logic computes them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace quillmoor::ui {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};

// Pixel arithmetic runs in 64 bits so that no rectangle can overflow it; the
// results are brought back into int range.
inline int ToPixel(int64_t value)
{
    return static_cast<int>(
        std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace quillmoor::ui
