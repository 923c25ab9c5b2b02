#include "apps/png_writer.h"

#include <zlib.h>

#include <cstddef>
#include <limits>
#include <string_view>
#include <vector>

namespace kest::apps {
namespace {

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::uint32_t kMaxDimension = 0x7FFFFFFFu; // the format's own limit
constexpr std::uint8_t kFilterSub = 1;

void put_u32(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 24 & 0xFF);
    out += static_cast<char>(v >> 16 & 0xFF);
    out += static_cast<char>(v >> 8 & 0xFF);
    out += static_cast<char>(v & 0xFF);
}

// Length, type, data and the CRC over type and data.
void put_chunk(std::string& out, std::string_view type, std::string_view data) {
    put_u32(out, static_cast<std::uint32_t>(data.size()));
    std::size_t type_at = out.size();
    out += type;
    out += data;
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(out.data() + type_at), out.size() - type_at);
    put_u32(out, static_cast<std::uint32_t>(crc));
}

// Each row becomes the filter byte followed by every byte minus the one a pixel to its left.
std::vector<std::uint8_t> sub_filtered_rows(std::uint32_t width, std::uint32_t height,
                                            std::span<const std::uint8_t> rgba) {
    std::size_t row_bytes = std::size_t(width) * kBytesPerPixel;
    std::vector<std::uint8_t> out;
    out.reserve((row_bytes + 1) * height);
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = rgba.data() + y * row_bytes;
        out.push_back(kFilterSub);
        for (std::size_t i = 0; i < row_bytes; ++i) {
            std::uint8_t left = i >= kBytesPerPixel ? row[i - kBytesPerPixel] : 0;
            out.push_back(static_cast<std::uint8_t>(row[i] - left));
        }
    }
    return out;
}

} // namespace

Expected<std::string> encode_png_rgba(std::uint32_t width, std::uint32_t height,
                                      std::span<const std::uint8_t> rgba) {
    if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension)
        return unexpected(std::string("PNG: image size out of range"));
    // The filtered rows go to zlib in one piece, whose sizes are uLong (32 bits on Windows);
    // half of that range leaves room for the compression bound. Icons are far below it.
    std::uint64_t filtered_row = std::uint64_t(width) * kBytesPerPixel + 1;
    if (filtered_row > std::numeric_limits<uLong>::max() / 2 / height)
        return unexpected(std::string("PNG: image too large"));
    if (rgba.size() != std::size_t(width) * height * kBytesPerPixel)
        return unexpected(std::string("PNG: pixel data does not match the image size"));

    std::vector<std::uint8_t> raw = sub_filtered_rows(width, height, rgba);
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packed_size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size, raw.data(),
                  static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
        return unexpected(std::string("PNG: compression failed"));
    packed.resize(packed_size);

    std::string header;
    put_u32(header, width);
    put_u32(header, height);
    header += '\x08'; // bits per sample
    header += '\x06'; // colour type RGBA
    header += '\x00'; // compression: deflate
    header += '\x00'; // filter method: adaptive
    header += '\x00'; // no interlacing

    std::string out("\x89PNG\r\n\x1a\n", 8);
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", packed);
    put_chunk(out, "IEND", "");
    return out;
}

} // namespace kest::apps
