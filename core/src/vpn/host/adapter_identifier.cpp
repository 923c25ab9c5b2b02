#include "vpn/host/adapter_identifier.h"

#include "text/hex.h"

namespace kest::vpn {
namespace {

std::uint32_t little_endian(const platform::Md5Digest& d, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | d[at + i];
    return value;
}

} // namespace

std::string guid_text(const platform::Md5Digest& digest) {
    std::span<const std::uint8_t> bytes(digest);
    std::string out = "{";
    text::append_hex_upper(out, little_endian(digest, 0, 4), 8);
    out.push_back('-');
    text::append_hex_upper(out, little_endian(digest, 4, 2), 4);
    out.push_back('-');
    text::append_hex_upper(out, little_endian(digest, 6, 2), 4);
    out.push_back('-');
    out += text::hex_upper(bytes.subspan(8, 2));
    out.push_back('-');
    out += text::hex_upper(bytes.subspan(10, 6));
    out.push_back('}');
    return out;
}

std::optional<std::string> adapter_identifier(std::string_view adapter_name) {
    auto digest = platform::md5_digest("wintun" + std::string(adapter_name));
    if (!digest)
        return std::nullopt;
    return guid_text(*digest);
}

} // namespace kest::vpn
