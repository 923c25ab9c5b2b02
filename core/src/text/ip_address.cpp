#include "text/ip_address.h"

#include <charconv>

namespace kest::text {
namespace {

std::optional<std::uint16_t> parse_group(std::string_view piece) {
    if (piece.empty() || piece.size() > 4)
        return std::nullopt;
    // from_chars takes no sign or "0x" for an unsigned base-16 number, so only hex digits pass.
    unsigned value = 0;
    auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value, 16);
    if (ec != std::errc() || end != piece.data() + piece.size())
        return std::nullopt;
    return std::uint16_t(value);
}

} // namespace

std::optional<Ipv4Bytes> parse_ipv4_text(std::string_view text) {
    Ipv4Bytes bytes{};
    std::size_t pos = 0;
    for (std::size_t part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            value = value * 10 + unsigned(text[pos] - '0');
            ++pos;
        }
        std::size_t digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0'))
            return std::nullopt;
        bytes[part] = std::uint8_t(value);
    }
    if (pos != text.size())
        return std::nullopt;
    return bytes;
}

std::optional<Ipv6Bytes> parse_ipv6_text(std::string_view text) {
    std::array<std::uint16_t, 8> groups{};
    std::size_t count = 0;
    std::optional<std::size_t> gap; // index in groups where "::" stands
    std::size_t pos = 0;

    if (text.starts_with("::")) {
        gap = 0;
        pos = 2;
    } else if (text.starts_with(":")) {
        return std::nullopt;
    }
    while (pos < text.size()) {
        std::size_t end = text.find(':', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view piece = text.substr(pos, end - pos);
        if (piece.find('.') != std::string_view::npos) {
            // A dotted quad may only close the address.
            auto v4 = parse_ipv4_text(piece);
            if (!v4 || end != text.size() || count > 6)
                return std::nullopt;
            groups[count++] = std::uint16_t(((*v4)[0] << 8) | (*v4)[1]);
            groups[count++] = std::uint16_t(((*v4)[2] << 8) | (*v4)[3]);
            pos = end;
            break;
        }
        auto group = parse_group(piece);
        if (!group || count == 8)
            return std::nullopt;
        groups[count++] = *group;
        if (end == text.size()) {
            pos = end;
            break;
        }
        if (end + 1 < text.size() && text[end + 1] == ':') {
            if (gap)
                return std::nullopt;
            gap = count;
            pos = end + 2;
        } else {
            pos = end + 1;
            if (pos == text.size())
                return std::nullopt; // a single trailing ":"
        }
    }

    if (gap ? count > 7 : count != 8)
        return std::nullopt;
    std::array<std::uint16_t, 8> full{};
    if (gap) {
        std::size_t tail = count - *gap;
        for (std::size_t i = 0; i < *gap; ++i)
            full[i] = groups[i];
        for (std::size_t i = 0; i < tail; ++i)
            full[8 - tail + i] = groups[*gap + i];
    } else {
        full = groups;
    }
    Ipv6Bytes bytes{};
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[2 * i] = std::uint8_t(full[i] >> 8);
        bytes[2 * i + 1] = std::uint8_t(full[i] & 0xFF);
    }
    return bytes;
}

std::string ipv4_text(const Ipv4Bytes& address) {
    std::string out;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i != 0)
            out.push_back('.');
        out += std::to_string(address[i]);
    }
    return out;
}

} // namespace kest::text
