#pragma once
// Ends the process at once with the given code. Other threads are not waited for and static
// objects are not destroyed under their feet; everything the core wrote has already left,
// since its output is unbuffered.

namespace kest::platform {

[[noreturn]] void exit_process(int code);

} // namespace kest::platform
