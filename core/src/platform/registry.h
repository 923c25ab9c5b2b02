#pragma once
// Reading the registry. Keys are opened read-only; a platform without a registry has no keys, so
// every open answers none there.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kest::platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// View flags combined with read access when a key is opened; 0 is the caller's own view.
inline constexpr std::uint32_t kRegistryView64 = 0x100; // KEY_WOW64_64KEY
inline constexpr std::uint32_t kRegistryView32 = 0x200; // KEY_WOW64_32KEY

// Value types as the registry stores them.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegDword = 4;

struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes; // exactly as many as the registry reported
};

// An open key; closed when the last owner lets go.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
};

// path uses "\" between its components.
std::unique_ptr<RegistryKey> open_registry_key(RegistryRoot root, std::string_view path,
                                               std::uint32_t view = 0);

// Every subkey name in enumeration order, each read through a 256-unit name buffer; the
// enumeration stops at the first index that does not answer success.
std::vector<std::string> registry_subkey_names(const RegistryKey& key);

// The value's type and data: one query for type and size, a second into a zeroed buffer of that
// size (also for a size of 0). None when either query fails.
std::optional<RegistryValue> read_registry_value(const RegistryKey& key, std::string_view name);

// REG_SZ and REG_EXPAND_SZ data as text: little-endian UTF-16 units (an odd last byte is
// dropped), cut at the first NUL, invalid units replaced. None for any other type. An
// expandable value is not expanded.
std::optional<std::string> registry_string(const RegistryValue& value);

} // namespace kest::platform
