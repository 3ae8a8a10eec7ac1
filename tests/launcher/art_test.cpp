// The splash picture and the icon as committed: the window draws the picture
// unscaled and keys out its magenta, so its layout and colours are facts the
// window relies on, not matters of taste.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> ReadArt(const std::string& name) {
    std::ifstream file(std::string(BRAKKIS_RESOURCES) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Little-endian fields of a header: offset and width in bytes.
std::vector<std::uint32_t> Fields(const std::vector<unsigned char>& b, std::initializer_list<std::pair<int, int>> at) {
    std::vector<std::uint32_t> values;
    for (const auto [offset, bytes] : at) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(offset + i);
        values.push_back(v);
    }
    return values;
}

TEST(Art, TheSplashIsAnUncompressedBitmapWhoseArtStandsOnExactMagentaInItsPlace) {
    const auto bmp = ReadArt("splash.bmp");
    // "BM", size, pixel offset, header size, width, height (bottom-up), planes, bits, no compression, 96 dpi.
    EXPECT_EQ(Fields(bmp, {{0, 2}, {2, 4}, {10, 4}, {14, 4}, {18, 4}, {22, 4}, {26, 2}, {28, 2}, {30, 4}, {38, 4}, {42, 4}}),
              (std::vector<std::uint32_t>{0x4D42, 2047374, 54, 40, 939, 726, 1, 24, 0, 3780, 3780}));
    ASSERT_EQ(bmp.size(), 2047374u);
    long keyed = 0;
    int left = 939, right = 0, top = 726, bottom = 0;
    double nearest = 1e9;
    for (int y = 0; y < 726; ++y) {
        for (int x = 0; x < 939; ++x) {
            const unsigned char* p = bmp.data() + 54 + (725 - y) * 2820 + 3 * x;
            if (p[2] == 255 && p[1] == 0 && p[0] == 255) {
                ++keyed;
                continue;
            }
            left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
            // A blend toward the key, as anti-aliasing would leave, stays pink once keyed.
            nearest = std::min(nearest, std::hypot(255.0 - p[2], p[1], 255.0 - p[0]));
        }
    }
    EXPECT_NEAR(keyed / (939.0 * 726), 0.78, 0.01);
    EXPECT_GE(nearest, 160.0);
    // Within the client area but the lettering's lowest rows, which it cuts off.
    EXPECT_TRUE(left >= 57 && right <= 594 && top >= 92 && bottom <= 714 && bottom > 709);
}

TEST(Art, TheIconIsOne148PixelImageOf24BitsWithAMask) {
    const auto ico = ReadArt("brakkis.ico");
    // Icon type and count, width, height, bits, data size and offset, header size, width, double height, bits.
    EXPECT_EQ(Fields(ico, {{2, 2}, {4, 2}, {6, 1}, {7, 1}, {12, 2}, {14, 4}, {18, 4}, {22, 4}, {26, 4}, {30, 4}, {36, 2}}),
              (std::vector<std::uint32_t>{1, 1, 148, 148, 24, 68712, 22, 40, 148, 296, 24}));
    EXPECT_EQ(ico.size(), 68734u);
}

}  // namespace
