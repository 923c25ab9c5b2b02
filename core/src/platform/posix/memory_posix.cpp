#include "platform/memory.h"

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

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
    ::malloc_trim(0);
}

} // namespace kest::platform
