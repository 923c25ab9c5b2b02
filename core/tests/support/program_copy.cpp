#include "support/program_copy.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/env.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "support/bin_dir.h"
#include "text/path_text.h"

namespace kest::testing {

std::string copy_program(std::string_view stem, const std::string& folder,
                         std::string_view new_stem) {
    if (auto made = platform::create_directories(folder); !made)
        throw std::runtime_error("cannot create " + folder + ": " + made.error());
    std::string target = text::join_path(folder, platform::executable_file_name(new_stem),
                                         platform::path_separator());
    std::error_code error;
    // Paths are UTF-8 on both builds.
    auto utf8_path = [](const std::string& s) {
        return std::filesystem::path(std::u8string(s.begin(), s.end()));
    };
    std::filesystem::copy_file(utf8_path(program_path(stem)), utf8_path(target),
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        throw std::runtime_error("cannot copy " + std::string(stem) + ": " + error.message());
    return target;
}

} // namespace kest::testing
