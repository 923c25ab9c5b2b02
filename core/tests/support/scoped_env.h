#pragma once
// Sets (or removes) environment variables for one test and puts the old values back after it.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kest::testing {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const std::string& name, std::optional<std::string> value) {
        set(name, std::move(value));
    }
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const std::string& name, std::optional<std::string> value);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace kest::testing
