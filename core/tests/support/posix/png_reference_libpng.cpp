#include "support/png_reference.h"

#include <png.h>

namespace kest::testing {

Expected<DecodedPng> decode_png_reference(std::string_view file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return unexpected(std::string("libpng: ") + image.message);
    image.format = PNG_FORMAT_RGBA;
    DecodedPng out;
    out.width = image.width;
    out.height = image.height;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        std::string error = std::string("libpng: ") + image.message;
        png_image_free(&image);
        return unexpected(error);
    }
    return out;
}

} // namespace kest::testing
