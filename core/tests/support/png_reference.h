#pragma once
// A PNG decoder that is not ours, to check what our writer makes: libpng natively, the system's
// imaging component on Windows.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/expected.h"

namespace kest::testing {

struct DecodedPng {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba; // R, G, B, A per pixel, rows top to bottom
};

Expected<DecodedPng> decode_png_reference(std::string_view file);

} // namespace kest::testing
