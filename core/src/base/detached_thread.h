#pragma once
// Starting a detached thread. The system may refuse a thread (out of resources); that is an
// answer the caller must act on, so it comes back as a value rather than as an exception.
//
// The thread is created detached rather than detached after its start (std::thread::detach).
// mingw-w64's winpthreads recycles the record of a thread detached after its function has
// returned but before it has finished exiting, while the exiting thread's TLS callback still
// reaches the record and frees it once more: by then it belongs to a newer thread, which
// starts with its function wiped and never runs it. The window is the exit's pass through the
// loader (the DLLs' thread-detach calls, under the loader lock), so it grows with load and with
// the DLLs loaded. A thread created detached frees its record itself, on its way out.
#include <pthread.h>

#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <tuple>
#include <type_traits>
#include <utility>

#include "base/expected.h"

namespace kest {
namespace detail {

// The function and its arguments, owned by the new thread once it has started.
template <class Call> void* run_detached(void* raw) noexcept {
    std::unique_ptr<Call> call(static_cast<Call*>(raw));
    std::apply([](auto& fn, auto&... args) { std::invoke(std::move(fn), std::move(args)...); },
               *call);
    return nullptr;
}

} // namespace detail

// Runs fn(args...) on a new detached thread, with copies of fn and args as std::thread makes
// them. On refusal nothing runs and the error is the system's text; the arguments are
// destroyed on the calling thread.
template <class Fn, class... Args>
[[nodiscard]] Expected<void> start_detached(Fn&& fn, Args&&... args) {
    using Call = std::tuple<std::decay_t<Fn>, std::decay_t<Args>...>;
    auto call = std::make_unique<Call>(std::forward<Fn>(fn), std::forward<Args>(args)...);
    pthread_attr_t attr;
    int rc = pthread_attr_init(&attr);
    if (rc == 0) {
        rc = pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        if (rc == 0)
            rc = pthread_create(&thread, &attr, &detail::run_detached<Call>, call.get());
        pthread_attr_destroy(&attr);
    }
    if (rc != 0)
        return unexpected(std::generic_category().message(rc));
    (void)call.release(); // the thread owns it now
    return {};
}

} // namespace kest
