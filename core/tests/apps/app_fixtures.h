#pragma once
// Files and programs the catalogue's tests lay out in their own folders.
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/fs.h"
#include "support/bin_dir.h"
#include "text/path_text.h"

namespace kest::testing {

// base joined with the parts by the platform's separator.
inline std::string path_of(std::string base, std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts)
        base = text::join_path(base, part, platform::path_separator());
    return base;
}

// Creates the file (and its folders) with a little content.
inline void touch(const std::string& path) {
    std::string_view name = text::file_name_of(path);
    ASSERT_TRUE(platform::create_directories(path.substr(0, path.size() - name.size() - 1)));
    ASSERT_TRUE(platform::write_file(path, "x"));
}

// Copies a program built beside the tests to path (folders created), runnable.
inline void copy_program(std::string_view stem, const std::string& path) {
    std::filesystem::path target = std::filesystem::u8path(path);
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(std::filesystem::u8path(program_path(stem)), target,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
}

} // namespace kest::testing
