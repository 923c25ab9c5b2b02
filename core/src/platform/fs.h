#pragma once
// The few file-system operations the core needs, with system error texts on failure.
#include <string>
#include <string_view>

#include "base/expected.h"
#include "platform/clock.h"

namespace kest::platform {

Expected<void> create_directories(const std::string& path);
// Creates or truncates the file and writes all bytes.
Expected<void> write_file(const std::string& path, std::string_view bytes);
// Renames from over to, replacing an existing file.
Expected<void> rename_replace(const std::string& from, const std::string& to);
Expected<void> remove_file(const std::string& path);
bool file_exists(const std::string& path);
bool is_regular_file(const std::string& path);
Expected<std::string> read_file(const std::string& path);
// A new, empty folder in the system's temporary folder.
Expected<std::string> make_temp_dir(std::string_view prefix);
// Removes a folder and everything below it; errors are ignored.
void remove_tree(const std::string& path);
// The last-write time of a file or folder; an error when its metadata cannot be read.
Expected<FileTime> last_write_time(const std::string& path);
// Sets the last-write time of an existing file.
Expected<void> set_last_write_time(const std::string& path, FileTime time);

} // namespace kest::platform
