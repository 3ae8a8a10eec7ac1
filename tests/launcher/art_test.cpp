// The splash picture and the icon as committed: the window draws the picture
// unscaled and keys out its magenta, so its layout and colours are facts the
// window relies on, not matters of taste.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> ReadFile(const std::string& name) {
    std::ifstream file(std::string(BRAKKIS_RESOURCES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

TEST(Art, SplashIsAnUncompressedBottomUpBitmapWithSolidArtOnTheKeyInItsPlace) {
    const auto bmp = ReadFile("splash.bmp");
    ASSERT_EQ(bmp.size(), 2047374u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(U32(bmp, 2), bmp.size());
    EXPECT_EQ(U32(bmp, 10), 54u);  // no palette, no bit masks
    EXPECT_EQ(U32(bmp, 14), 40u);
    const int width = static_cast<int>(U32(bmp, 18)), height = static_cast<int>(U32(bmp, 22));
    ASSERT_EQ(width, 939);
    ASSERT_EQ(height, 726);  // positive: bottom-up
    EXPECT_EQ(U16(bmp, 26), 1);
    EXPECT_EQ(U16(bmp, 28), 24);
    EXPECT_EQ(U32(bmp, 30), 0u);  // BI_RGB
    EXPECT_EQ(U32(bmp, 38), 3780u);
    EXPECT_EQ(U32(bmp, 42), 3780u);

    const std::size_t stride = (width * 3 + 3) & ~3u;
    long keyed = 0;
    int left = width, right = -1, top = height, bottom = -1;
    double nearest = 1e9;
    std::vector<bool> rowHasArt(height);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = bmp.data() + 54 + (height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const int b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
            if (r == 255 && g == 0 && b == 255) {
                ++keyed;
                continue;
            }
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
            rowHasArt[y] = true;
            nearest = std::min(nearest, std::hypot(255.0 - r, g, 255.0 - b));
        }
    }
    EXPECT_NEAR(static_cast<double>(keyed) / (width * height), 0.78, 0.01);
    EXPECT_GE(left, 57);
    EXPECT_LE(right, 594);
    EXPECT_GE(top, 92);
    EXPECT_LE(bottom, 714);
    // A blend toward the key, as anti-aliasing would leave, stays pink once keyed.
    EXPECT_GE(nearest, 160.0) << "an art pixel close to magenta";
    // Two pieces, the emblem over the lettering: a keyed band between them,
    // with the lettering reaching into the rows the window cuts off.
    const auto gap = std::find(rowHasArt.begin() + top, rowHasArt.begin() + bottom, false);
    EXPECT_LT(gap - rowHasArt.begin(), 600);
    EXPECT_GT(bottom, 709);
}

TEST(Art, IconIsOne148PixelImageOf24BitsWithAMask) {
    const auto ico = ReadFile("brakkis.ico");
    ASSERT_EQ(ico.size(), 68734u);
    EXPECT_EQ(U16(ico, 0), 0);
    EXPECT_EQ(U16(ico, 2), 1);  // an icon, not a cursor
    EXPECT_EQ(U16(ico, 4), 1);
    EXPECT_EQ(ico[6], 148);
    EXPECT_EQ(ico[7], 148);
    EXPECT_EQ(U16(ico, 12), 24);
    EXPECT_EQ(U32(ico, 14), ico.size() - 22);
    ASSERT_EQ(U32(ico, 18), 22u);
    EXPECT_EQ(U32(ico, 22), 40u);
    EXPECT_EQ(U32(ico, 26), 148u);
    EXPECT_EQ(U32(ico, 30), 296u);  // colour and mask halves
    EXPECT_EQ(U16(ico, 36), 24);
    EXPECT_EQ(U32(ico, 38), 0u);

    // Rows are stored bottom-up; the mask follows the colour, 20 bytes a row.
    const std::size_t mask = 22 + 40 + 148 * 444;
    const auto transparent = [&](int x, int y) { return (ico[mask + (147 - y) * 20 + x / 8] >> (7 - x % 8)) & 1; };
    EXPECT_TRUE(transparent(0, 0)) << "a round emblem leaves the corners clear";
    EXPECT_FALSE(transparent(74, 74));
}

}  // namespace
