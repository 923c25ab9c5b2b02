#include "support/registry_fixture.h"

namespace kest::testing {

// There is no registry to write into: the fixture never opens.
RegistryFixture::RegistryFixture(platform::RegistryRoot root, std::string path, std::uint32_t view)
    : root_(root), path_(std::move(path)), view_(view) {}

RegistryFixture::~RegistryFixture() = default;

bool RegistryFixture::set_string(const std::string&, const std::string&, std::uint32_t) {
    return false;
}

bool RegistryFixture::set_dword(const std::string&, std::uint32_t) {
    return false;
}

} // namespace kest::testing
