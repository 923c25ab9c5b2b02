#pragma once
// What the process sets up once, first thing in main.

namespace kest::platform {

// A reader that closes its end of one of our pipes must cost us that line, not the process:
// on POSIX this ignores SIGPIPE so such writes fail with an error instead.
void prepare_process();

} // namespace kest::platform
