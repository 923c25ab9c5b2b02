// Registry string data on any bytes: the first byte picks the value type, the rest is the data as
// the registry reported it, of any length. Only the two string types give text, both the same;
// the text is UTF-8 without NUL, ends where the first NUL unit stands (whatever follows it), and
// holds exactly the units before it, each unpaired surrogate as U+FFFD. An odd last byte counts
// for nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/registry.h"
#include "text/utf16.h"
#include "text/utf8.h"

namespace {

using kest::platform::RegistryValue;

bool is_high(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool is_low(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// The units the text must encode again: those before the first NUL, unpaired surrogates
// replaced, then the NUL that to_wide_nul appends.
std::u16string expected_units(const std::vector<std::uint8_t>& bytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    std::u16string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (is_high(units[i]) && i + 1 < units.size() && is_low(units[i + 1])) {
            out.push_back(units[i]);
            out.push_back(units[++i]);
        } else {
            out.push_back(is_high(units[i]) || is_low(units[i]) ? u'\uFFFD' : units[i]);
        }
    }
    out.push_back(u'\0');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint32_t type = data[0] % 8;
    RegistryValue value{type, std::vector<std::uint8_t>(data + 1, data + size)};

    auto text = kest::platform::registry_string(value);
    if (type != kest::platform::kRegSz && type != kest::platform::kRegExpandSz) {
        fuzz_require(!text);
        return 0;
    }
    fuzz_require(text.has_value());
    fuzz_require(kest::text::is_valid_utf8(*text));
    fuzz_require(text->find('\0') == std::string::npos);
    fuzz_require(kest::text::to_wide_nul(*text) == expected_units(value.bytes));

    RegistryValue other_type = value;
    other_type.type =
        type == kest::platform::kRegSz ? kest::platform::kRegExpandSz : kest::platform::kRegSz;
    fuzz_require(kest::platform::registry_string(other_type) == text);

    // Whole units only, then a NUL unit and the input again after it.
    RegistryValue cut = value;
    cut.bytes.resize(cut.bytes.size() & ~std::size_t(1));
    fuzz_require(kest::platform::registry_string(cut) == text);
    cut.bytes.push_back(0);
    cut.bytes.push_back(0);
    cut.bytes.insert(cut.bytes.end(), data, data + size);
    fuzz_require(kest::platform::registry_string(cut) == text);
    return 0;
}
