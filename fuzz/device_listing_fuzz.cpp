// The device listing of the orphan clean-up on any bytes. The input is the names to look for,
// one a line, then a NUL byte, then the listing; without a NUL it is all listing, searched for
// the TUN adapter's names. Instance ids are UTF-8, trimmed, start at their "swd\" or "root\"
// and are those of exactly the blocks that name one of the texts in one of their lines; the
// search ignores ASCII case, so upper-casing listing and names upper-cases the ids and nothing
// else.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "text/ascii.h"
#include "text/utf8.h"
#include "text/utf8_lossy.h"
#include "text/white_space.h"
#include "vpn/host/device_listing.h"

namespace {

using Names = std::vector<std::string_view>;

bool contains_ignoring_ascii_case(std::string_view haystack, std::string_view needle) {
    auto same = [](char a, char b) {
        return kest::text::ascii_lower(a) == kest::text::ascii_lower(b);
    };
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), same) !=
           haystack.end();
}

std::size_t position_ignoring_ascii_case(std::string_view haystack, std::string_view needle) {
    auto same = [](char a, char b) {
        return kest::text::ascii_lower(a) == kest::text::ascii_lower(b);
    };
    auto at = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), same);
    return at == haystack.end() ? std::string_view::npos : std::size_t(at - haystack.begin());
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t begin = 0;;) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(begin));
            return lines;
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

// The listing cut into blocks as the header tells it, names matched line by line (a name holds
// no line break, so it cannot span two lines of a block).
std::vector<std::string> expected_ids(std::string_view listing, const Names& names) {
    struct Block {
        std::string id;
        bool named = false;
    };
    std::vector<Block> blocks;
    for (std::string_view line : lines_of(listing)) {
        std::size_t at = position_ignoring_ascii_case(line, "swd\\");
        if (at == std::string_view::npos)
            at = position_ignoring_ascii_case(line, "root\\");
        if (at != std::string_view::npos) {
            std::string id = kest::text::replace_invalid_utf8(line.substr(at));
            blocks.push_back({std::string(kest::text::trim_white_space(id))});
        }
        if (blocks.empty())
            continue;
        for (std::string_view name : names)
            if (!name.empty() && contains_ignoring_ascii_case(line, name))
                blocks.back().named = true;
    }
    std::vector<std::string> ids;
    for (const Block& block : blocks)
        if (block.named)
            ids.push_back(block.id);
    return ids;
}

std::string ascii_upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    Names names = {"{9B7E3C1A-5D2F-4E60-8A1B-C3D4E5F60718}", "kesttun"};
    std::string_view listing = input;
    if (std::size_t nul = input.find('\0'); nul != std::string_view::npos) {
        names = lines_of(input.substr(0, nul));
        listing = input.substr(nul + 1);
    }

    auto ids = kest::vpn::device_ids_naming(listing, names);
    fuzz_require(ids == expected_ids(listing, names));
    for (const std::string& id : ids) {
        fuzz_require(kest::text::is_valid_utf8(id));
        fuzz_require(kest::text::trim_white_space(id) == id);
        fuzz_require(id.find('\n') == std::string::npos);
        std::string lower = kest::text::ascii_lowercase(id);
        fuzz_require(lower.starts_with("swd\\") || lower.starts_with("root\\"));
    }

    std::string upper_listing = ascii_upper(listing);
    std::vector<std::string> upper_names;
    for (std::string_view name : names)
        upper_names.push_back(ascii_upper(name));
    auto upper_ids =
        kest::vpn::device_ids_naming(upper_listing, Names(upper_names.begin(), upper_names.end()));
    fuzz_require(upper_ids.size() == ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i)
        fuzz_require(upper_ids[i] == ascii_upper(ids[i]));
    return 0;
}
