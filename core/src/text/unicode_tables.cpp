#include "text/unicode_tables.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace kest::text::unicode {
namespace {

struct LowerRun {
    char32_t first;
    char32_t last;
    std::int32_t delta;
    std::uint8_t stride;
};

struct LowerSpecial {
    char32_t cp;
    const char* utf8;
};

struct CodeRange {
    char32_t first;
    char32_t last;
};

#include "text/unicode_tables.inc"

template <class T, std::size_t N>
const T* last_starting_at_or_before(const T (&table)[N], char32_t cp) {
    const T* it = std::upper_bound(std::begin(table), std::end(table), cp,
                                   [](char32_t c, const T& entry) { return c < entry.first; });
    return it == std::begin(table) ? nullptr : it - 1;
}

template <std::size_t N> bool in_ranges(const CodeRange (&table)[N], char32_t cp) {
    const CodeRange* r = last_starting_at_or_before(table, cp);
    return r != nullptr && cp <= r->last;
}

} // namespace

char32_t simple_lower(char32_t cp) {
    const LowerRun* run = last_starting_at_or_before(kLowerRuns, cp);
    if (run == nullptr || cp > run->last || (cp - run->first) % run->stride != 0)
        return cp;
    return static_cast<char32_t>(static_cast<std::int32_t>(cp) + run->delta);
}

std::string_view long_lower(char32_t cp) {
    for (const LowerSpecial& s : kLowerSpecials)
        if (s.cp == cp)
            return s.utf8;
    return {};
}

bool is_white_space_property(char32_t cp) {
    return in_ranges(kWhiteSpace, cp);
}
bool is_cased(char32_t cp) {
    return in_ranges(kCased, cp);
}
bool is_case_ignorable(char32_t cp) {
    return in_ranges(kCaseIgnorable, cp);
}

} // namespace kest::text::unicode
