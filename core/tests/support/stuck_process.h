#pragma once
// A process that a terminate does not end, as one stuck in a driver call: it runs for good.
#include <atomic>
#include <cstdint>
#include <optional>

#include <gtest/gtest.h>

#include "platform/process.h"

namespace kest::testing {

class StuckProcess final : public platform::Process {
public:
    static constexpr std::uint32_t kPid = 4242;

    std::uint32_t pid() const override { return kPid; }
    std::optional<int> try_wait() override { return std::nullopt; }
    int wait() override {
        ADD_FAILURE() << "waited for without a limit";
        return -1;
    }
    void terminate(int) override { ++terminations; }

    std::atomic<int> terminations{0};
};

} // namespace kest::testing
