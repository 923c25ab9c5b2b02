#include "platform/registry.h"

#include "text/utf16.h"

namespace kest::platform {

std::optional<std::string> registry_string(const RegistryValue& value) {
    if (value.type != kRegSz && value.type != kRegExpandSz)
        return std::nullopt;
    std::u16string units(value.bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(value.bytes[2 * i] | (value.bytes[2 * i + 1] << 8));
    return text::from_wide_nul(units.data(), units.size());
}

} // namespace kest::platform
