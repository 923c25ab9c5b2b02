#include "apps/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/png_reference.h"

namespace kest::apps {
namespace {

// Pixels whose neighbours differ in every channel, alpha included, so that a wrong filter, a
// swapped channel or a shifted row shows in the decoded image.
std::vector<std::uint8_t> pattern(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            for (std::uint32_t c = 0; c < 4; ++c)
                out.push_back(static_cast<std::uint8_t>(x * 37 + y * 101 + c * 59 + x * y * 7));
    return out;
}

std::uint32_t be32(const std::string& s, std::size_t at) {
    auto b = [&](std::size_t i) { return std::uint32_t(std::uint8_t(s[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

struct Chunk {
    std::string type;
    std::string data;
};

std::vector<Chunk> chunks_of(const std::string& file) {
    std::vector<Chunk> out;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        std::uint32_t length = be32(file, at);
        out.push_back({file.substr(at + 4, 4), file.substr(at + 8, length)});
        at += 12 + length;
    }
    return out;
}

TEST(PngWriter, DecodesToTheSamePixelsWithAnIndependentDecoder) {
    struct Size {
        std::uint32_t width, height;
    };
    for (Size size : {Size{1, 1}, Size{3, 2}, Size{32, 32}, Size{1, 70}, Size{257, 3}}) {
        std::vector<std::uint8_t> pixels = pattern(size.width, size.height);
        auto png = encode_png_rgba(size.width, size.height, pixels);
        ASSERT_TRUE(png) << png.error();
        auto decoded = testing::decode_png_reference(*png);
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_EQ(decoded->width, size.width);
        EXPECT_EQ(decoded->height, size.height);
        EXPECT_EQ(decoded->rgba, pixels) << size.width << " x " << size.height;
    }
}

TEST(PngWriter, WritesOnlyTheThreeChunksWithSubFilteredRowsAtTheFastLevel) {
    const std::uint32_t width = 5, height = 4;
    auto png = encode_png_rgba(width, height, pattern(width, height));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    std::vector<Chunk> chunks = chunks_of(*png);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    EXPECT_EQ(chunks[2].data, "");

    // Width, height, 8 bits per sample, colour type 6, deflate, adaptive filters, no interlace.
    const std::string& ihdr = chunks[0].data;
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(be32(ihdr, 0), width);
    EXPECT_EQ(be32(ihdr, 4), height);
    EXPECT_EQ(ihdr.substr(8), std::string("\x08\x06\x00\x00\x00", 5));

    // A zlib stream whose header names the fastest level, holding every row behind filter 1.
    const std::string& idat = chunks[1].data;
    ASSERT_GE(idat.size(), 2u);
    EXPECT_EQ(std::uint8_t(idat[0]), 0x78);
    EXPECT_EQ(std::uint8_t(idat[1]) >> 6, 0) << "FLEVEL of the zlib header";
    std::vector<std::uint8_t> raw((width * 4 + 1) * height + 1);
    uLongf raw_size = static_cast<uLongf>(raw.size());
    ASSERT_EQ(uncompress(raw.data(), &raw_size, reinterpret_cast<const Bytef*>(idat.data()),
                         static_cast<uLong>(idat.size())),
              Z_OK);
    ASSERT_EQ(raw_size, (width * 4 + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y)
        EXPECT_EQ(raw[y * (width * 4 + 1)], 1) << "filter of row " << y;
}

TEST(PngWriter, RefusesAnEmptyImageAndPixelsThatDoNotMatchTheSize) {
    std::vector<std::uint8_t> four(4 * 4 * 4);
    EXPECT_FALSE(encode_png_rgba(0, 4, {}));
    EXPECT_FALSE(encode_png_rgba(4, 0, {}));
    EXPECT_FALSE(encode_png_rgba(4, 4, std::span(four).first(four.size() - 1)));
    EXPECT_FALSE(encode_png_rgba(4, 5, four));
    EXPECT_FALSE(encode_png_rgba(0x80000000u, 1, four)) << "beyond the format's range";
    EXPECT_TRUE(encode_png_rgba(4, 4, four));
}

} // namespace
} // namespace kest::apps
