#include "support/process_counts.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace kest::testing {
namespace {

std::optional<std::size_t> entries_of(const std::string& folder) {
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error)
        return std::nullopt;
    std::size_t n = 0;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error)
            return std::nullopt;
        ++n;
    }
    return n;
}

} // namespace

ProcessCounts process_counts(std::uint32_t pid) {
    std::string base = "/proc/" + std::to_string(pid);
    return {entries_of(base + "/task"), entries_of(base + "/fd")};
}

} // namespace kest::testing
