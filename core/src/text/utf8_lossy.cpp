#include "text/utf8_lossy.h"

#include "text/utf8.h"

namespace kest::text {

std::string replace_invalid_utf8(std::string_view bytes) {
    if (is_valid_utf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    for (std::size_t pos = 0; pos < bytes.size();)
        append_utf8(out, decode_utf8(bytes, pos));
    return out;
}

} // namespace kest::text
