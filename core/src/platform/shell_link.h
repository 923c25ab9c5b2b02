#pragma once
// Reading shortcut files (".lnk") through the system's shell-link object.
#include <optional>
#include <string>

namespace kest::platform {

// COM in a single-threaded apartment on the calling thread, for as long as the object lives;
// undone at the end only when the initialisation succeeded. Shortcuts are read inside it.
class ShellLinkApartment {
public:
    ShellLinkApartment();
    ~ShellLinkApartment();
    ShellLinkApartment(const ShellLinkApartment&) = delete;
    ShellLinkApartment& operator=(const ShellLinkApartment&) = delete;

private:
    [[maybe_unused]] bool initialised_ = false; // read only where COM exists
};

inline constexpr std::size_t kShellLinkPathUnits = 260;
inline constexpr std::size_t kShellLinkArgumentUnits = 1024;

struct ShellLinkTarget {
    std::string path;      // at most kShellLinkPathUnits units, cut at the first NUL
    std::string arguments; // at most kShellLinkArgumentUnits units, cut at the first NUL
};

// A new shell-link object loads the file. None when the object cannot be made or the file not
// loaded; a link without a path or arguments gives empty texts. No shortcut reads on platforms
// without shell links.
std::optional<ShellLinkTarget> read_shell_link(const std::string& lnk_path);

} // namespace kest::platform
