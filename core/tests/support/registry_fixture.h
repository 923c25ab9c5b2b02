#pragma once
// A registry key a test writes into its own (Wine) prefix, removed with everything below it
// afterwards.
#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace kest::testing {

class RegistryFixture {
public:
    // Creates root\path and the keys above it; ok() tells whether that worked (never on
    // platforms without a registry).
    RegistryFixture(platform::RegistryRoot root, std::string path, std::uint32_t view = 0);
    ~RegistryFixture();
    RegistryFixture(const RegistryFixture&) = delete;
    RegistryFixture& operator=(const RegistryFixture&) = delete;

    bool ok() const { return ok_; }
    bool set_string(const std::string& name, const std::string& value,
                    std::uint32_t type = platform::kRegSz);
    bool set_dword(const std::string& name, std::uint32_t value);

private:
    platform::RegistryRoot root_;
    std::string path_;
    std::uint32_t view_;
    bool ok_ = false;
};

} // namespace kest::testing
