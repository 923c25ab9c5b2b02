#include "platform/registry.h"

namespace kest::platform {

// There is no registry here: no key opens, so nothing is ever read.
std::unique_ptr<RegistryKey> open_registry_key(RegistryRoot, std::string_view, std::uint32_t) {
    return nullptr;
}

std::vector<std::string> registry_subkey_names(const RegistryKey&) {
    return {};
}

std::optional<RegistryValue> read_registry_value(const RegistryKey&, std::string_view) {
    return std::nullopt;
}

} // namespace kest::platform
