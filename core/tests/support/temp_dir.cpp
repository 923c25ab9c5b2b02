#include "support/temp_dir.h"

#include <stdexcept>

#include "platform/env.h"
#include "platform/fs.h"
#include "text/path_text.h"

namespace kest::testing {

TempDir::TempDir() {
    auto made = platform::make_temp_dir("kest-test-");
    if (!made)
        throw std::runtime_error("cannot create a temporary folder: " + made.error());
    path_ = *made;
    while (text::ends_with_separator(path_))
        path_.pop_back();
}

TempDir::~TempDir() {
    platform::remove_tree(path_);
}

std::string TempDir::join(std::string_view a) const {
    return text::join_path(path_, a, platform::path_separator());
}

std::string TempDir::join(std::string_view a, std::string_view b) const {
    return text::join_path(join(a), b, platform::path_separator());
}

} // namespace kest::testing
