#pragma once
// Whether the process runs with the system's administrator rights.

namespace kest::platform {

// Windows: the calling thread's token is a member of the local Administrators group (a failing
// check answers false). POSIX: the effective user is root.
bool is_administrator();

} // namespace kest::platform
