#pragma once
// The two threads that serve the engine's output pipes: standard error into the core's log,
// standard output onto the report channel.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "base/channel.h"
#include "platform/process.h"

namespace kest::vpn {

inline constexpr std::size_t engine_pipe_buffer_size = 8192;

// Reads the pipe through an 8192-byte buffer and hands over each line without its "\n" or
// "\r\n"; a last line without an ending is handed over as it is. Reading ends at the end of
// the stream, on a read error, on a line that is not valid UTF-8 (not handed over), or when
// on_line returns false.
void read_pipe_lines(platform::PipeEnd& pipe, const std::function<bool(std::string)>& on_line);

// Logs every line, trailing white space removed and blank lines included, under the engine's
// tag; closes the pipe when the reading ends.
void engine_stderr_logger(std::unique_ptr<platform::PipeEnd> pipe);

// Sends every line, otherwise unchanged, on the report channel; stops once nobody receives.
// Closes the pipe and drops the sender when the reading ends.
void engine_stdout_forwarder(std::unique_ptr<platform::PipeEnd> pipe,
                             Channel<std::string>::Sender reports);

} // namespace kest::vpn
