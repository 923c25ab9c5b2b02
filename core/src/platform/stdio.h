#pragma once
// The three standard streams as raw byte pipes: no translation, no buffering of our own beyond
// what the caller does.
#include <cstddef>
#include <string>
#include <string_view>

namespace kest::platform {

enum class ReadStatus { Data, End, Error };

struct ReadResult {
    ReadStatus status;
    std::size_t bytes = 0;
    std::string error{}; // with Error: the system's text for the failure
};

// Reads what is available from standard input (at least one byte unless End or Error).
// An interrupted read is retried; a missing standard input counts as its end.
ReadResult read_stdin(char* buf, std::size_t size);

// Write the bytes in full; false on failure (or when the stream is missing).
bool write_stdout(std::string_view bytes);
bool write_stderr(std::string_view bytes);

} // namespace kest::platform
