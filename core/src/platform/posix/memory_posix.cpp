#include "platform/memory.h"

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

#include <mutex>

namespace kest::platform {

std::uint64_t working_set_size() {
    std::FILE* f = std::fopen("/proc/self/statm", "re");
    if (!f)
        return 0;
    unsigned long long size = 0, resident = 0;
    int n = std::fscanf(f, "%llu %llu", &size, &resident);
    std::fclose(f);
    if (n != 2)
        return 0;
    return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

void trim_working_set() {
    // One trim at a time. The first malloc_trim also sets glibc's allocator up and ties the
    // calling thread to its main arena; where malloc is not glibc's own (sanitizer builds) that
    // set-up is still pending when two disconnects trim at once, both threads get tied to the
    // arena while it counts one, and the second to end aborts the process in glibc's
    // thread-exit clean-up. Two trims at once would only repeat the same work anyway.
    static std::mutex one_at_a_time;
    std::lock_guard lock(one_at_a_time);
    ::malloc_trim(0);
}

} // namespace kest::platform
