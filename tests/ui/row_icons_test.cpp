// The filter list's row icons as the generated bitmap holds them.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace quillmoor::ui {
namespace {

uint32_t Le(const std::vector<uint8_t>& bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + static_cast<size_t>(i));
    return value;
}

TEST(RowIcons, TwoRoundDiscsOnATransparentGround)
{
    std::ifstream file(QUILLMOOR_ROW_ICONS_BMP, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    ASSERT_GE(bytes.size(), 54u);
    ASSERT_EQ(Le(bytes, 18, 4), 32u);  // width
    ASSERT_EQ(Le(bytes, 22, 4), 16u);  // height, positive: bottom-up
    ASSERT_EQ(Le(bytes, 28, 2), 4u);   // bits per pixel
    ASSERT_EQ(Le(bytes, 30, 4), 0u);   // uncompressed
    const size_t pixels = Le(bytes, 10, 4), palette = 14 + Le(bytes, 14, 4);
    // 0xRRGGBB of pixel (x, y), y counted from the top; rows are 16 bytes.
    const auto at = [&](int x, int y) {
        const uint8_t pair = bytes.at(pixels + static_cast<size_t>((15 - y) * 16 + x / 2));
        return Le(bytes, palette + 4 * static_cast<size_t>(x % 2 == 0 ? pair >> 4 : pair & 0xF), 3);
    };
    constexpr uint32_t kMagenta = 0xFF00FF;

    struct Icon {
        int left;
        uint32_t fill, rim;
    };
    for (const Icon icon : {Icon{0, 0x00FFFF, 0x808080}, Icon{16, 0xFFFF00, 0x000000}}) {
        SCOPED_TRACE(icon.left);
        EXPECT_EQ(at(icon.left + 7, 7), icon.fill);
        EXPECT_EQ(at(icon.left, 7), icon.rim);
        EXPECT_EQ(at(icon.left + 7, 14), icon.rim);
        for (int corner : {0, 15}) {
            EXPECT_EQ(at(icon.left + corner, 0), kMagenta);
            EXPECT_EQ(at(icon.left + corner, 15), kMagenta);
        }
        // 15 across through the centre, and the same seen from every side.
        int across = 0;
        for (int i = 0; i < 16; ++i) across += at(icon.left + i, 7) != kMagenta;
        EXPECT_EQ(across, 15);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 15; ++x) {
                EXPECT_EQ(at(icon.left + x, y), at(icon.left + 14 - x, y)) << x << "," << y;
                EXPECT_EQ(at(icon.left + x, y), at(icon.left + y, x)) << x << "," << y;
                EXPECT_EQ(at(x, y) == kMagenta, at(16 + x, y) == kMagenta) << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace quillmoor::ui
