#include "support/bin_dir.h"

#include "platform/env.h"
#include "platform/self_path.h"
#include "text/path_text.h"

namespace kest::testing {

std::string bin_dir() {
    std::string self = platform::own_executable_path().value_or("");
    auto name = text::file_name_of(self);
    self.resize(self.size() - name.size());
    while (text::ends_with_separator(self))
        self.pop_back();
    return self;
}

std::string program_path(std::string_view stem) {
    std::string name(stem);
    if (platform::path_separator() == '\\')
        name += ".exe";
    return text::join_path(bin_dir(), name, platform::path_separator());
}

} // namespace kest::testing
