#pragma once
// How many threads and handles (file descriptors natively) another process holds right now,
// for checks that a long run leaves nothing behind.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kest::testing {

struct ProcessCounts {
    std::optional<std::size_t> threads;
    std::optional<std::size_t> handles;
};

ProcessCounts process_counts(std::uint32_t pid);

} // namespace kest::testing
