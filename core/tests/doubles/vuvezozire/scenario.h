#pragma once
// How the engine double behaves, chosen by the test through the environment. Every switch is
// read here and nowhere else:
//
//   KEST_DOUBLE_CONNECTIONS_BODY  the body of a 200 answer to GET /connections; default
//                                 {"downloadTotal":0,"uploadTotal":0,"connections":[]}
//   KEST_DOUBLE_CONNECTIONS_PAD   a byte count: the body is padded with trailing spaces to
//                                 that size (still valid JSON), e.g. 10485761 for a body just
//                                 over the core's 10 MiB limit
//   KEST_DOUBLE_RECORD            a file path: the command line (as a JSON array) and then
//                                 every line received on standard input are written to it,
//                                 one per line, the file replaced as a whole after each
//
// Later scenarios (a failing start with a kind, hanging, crashing after a delay, ignoring the
// closed input, blank or garbage lines) are added here as further fields.
#include <optional>
#include <string>

namespace kest::engine_double {

struct Scenario {
    std::string connections_body;
    std::optional<std::string> record_path;
};

Scenario read_scenario();

} // namespace kest::engine_double
