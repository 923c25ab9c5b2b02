#pragma once
// A small PNG writer for 8-bit RGBA images: IHDR, IDAT and IEND only, every row filtered with
// Sub and compressed at zlib's fastest level, trading file size for speed.
#include <cstdint>
#include <span>
#include <string>

#include "base/expected.h"

namespace kest::apps {

// The PNG file of width x height pixels given as R, G, B, A bytes, rows top to bottom.
Expected<std::string> encode_png_rgba(std::uint32_t width, std::uint32_t height,
                                      std::span<const std::uint8_t> rgba);

} // namespace kest::apps
