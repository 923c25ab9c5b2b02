#include "support/shared_streams_start.h"

#include <spawn.h>

#include "platform/posix/error_text.h"

extern char** environ;

namespace kest::testing {

Expected<std::uint32_t> start_with_shared_streams(const std::string& program,
                                                  const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Descriptors 0 to 2 are not closed on exec: without file actions the child has ours.
    pid_t pid = -1;
    if (int rc = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
        rc != 0)
        return unexpected(platform::posix::error_text(rc));
    return static_cast<std::uint32_t>(pid);
}

} // namespace kest::testing
