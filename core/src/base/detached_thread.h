#pragma once
// Starting a detached thread. The system may refuse a thread (out of resources); that is an
// answer the caller must act on, so it comes back as a value rather than as an exception.
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "base/expected.h"

namespace kest {

// Runs fn(args...) on a new detached thread. On refusal nothing runs and the error is the
// system's text; the arguments are destroyed on the calling thread.
template <class Fn, class... Args>
[[nodiscard]] Expected<void> start_detached(Fn&& fn, Args&&... args) {
    try {
        std::thread(std::forward<Fn>(fn), std::forward<Args>(args)...).detach();
        return {};
    } catch (const std::system_error& e) {
        return unexpected(std::string(e.what()));
    }
}

} // namespace kest
