#include "text/lowercase.h"

#include "text/ascii.h"
#include "text/unicode_tables.h"
#include "text/utf8.h"

namespace kest::text {
namespace {

constexpr char32_t kCapitalSigma = 0x03A3;
constexpr char32_t kSmallSigma = 0x03C3;
constexpr char32_t kFinalSigma = 0x03C2;

// Final_Sigma, looking ahead: no cased letter follows, case-ignorable characters aside.
bool no_cased_letter_follows(std::string_view s, std::size_t pos) {
    while (pos < s.size()) {
        char32_t cp = decode_utf8(s, pos);
        if (unicode::is_cased(cp))
            return false;
        if (!unicode::is_case_ignorable(cp))
            return true;
    }
    return true;
}

} // namespace

std::string to_lower(std::string_view utf8) {
    // Most texts are plain ASCII, where no context rule can apply.
    bool ascii = true;
    for (char c : utf8)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return ascii_lowercase(utf8);

    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8);
    // Final_Sigma, looking back: a cased letter came before, case-ignorable characters aside.
    bool after_cased = false;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp = decode_utf8(utf8, pos);
        if (cp == kCapitalSigma) {
            bool final = after_cased && no_cased_letter_follows(utf8, pos);
            append_utf8(out, final ? kFinalSigma : kSmallSigma);
        } else if (std::string_view longer = unicode::long_lower(cp); !longer.empty()) {
            out.append(longer);
        } else {
            append_utf8(out, unicode::simple_lower(cp));
        }
        if (unicode::is_cased(cp))
            after_cased = true;
        else if (!unicode::is_case_ignorable(cp))
            after_cased = false;
    }
    return out;
}

bool contains_ignoring_case(std::string_view haystack, std::string_view needle) {
    return to_lower(haystack).find(to_lower(needle)) != std::string::npos;
}

} // namespace kest::text
