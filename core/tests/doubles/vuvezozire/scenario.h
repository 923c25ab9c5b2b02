#pragma once
// How the engine double behaves, chosen by the test through the environment. Every switch is
// read here and nowhere else:
//
//   KEST_DOUBLE_CONNECTIONS_BODY  the body of a 200 answer to GET /connections; default
//                                 {"downloadTotal":0,"uploadTotal":0,"connections":[]}
//   KEST_DOUBLE_CONNECTIONS_PAD   a byte count: the body is padded with trailing spaces to
//                                 that size (still valid JSON), e.g. 10485761 for a body just
//                                 over the core's 10 MiB limit
//   KEST_DOUBLE_RECORD            a file path: the command line (as a JSON array), then one
//                                 JSON object {"cwd","env","pid"} (the current folder, the
//                                 variables named by KEST_DOUBLE_RECORD_ENV with their values
//                                 or null, the process id), then every line received on
//                                 standard input, one per line, the file replaced as a whole
//                                 after each
//   KEST_DOUBLE_RECORD_ENV        comma-separated variable names for the record
//   KEST_DOUBLE_START             what the start prints on standard output:
//                                   ok       the report {"ok":true} (the default)
//                                   fail     {"ok":false,"kind":KIND,"error":ERROR} from
//                                            KEST_DOUBLE_KIND and KEST_DOUBLE_ERROR
//                                   garbage  a line that is not JSON, then an ok report
//                                   exit     nothing; the double exits with code 3
//                                   hang     nothing; the double waits for its input to
//                                            close and exits without a word
//   KEST_DOUBLE_BLANK_LINES       a count of blank and white-space-only lines printed before
//                                 the start's report
//   KEST_DOUBLE_ON_CLOSE          what the end of standard input brings:
//                                   stopped  the line {"kind":"stopped"} and the exit (the
//                                            default), KEST_DOUBLE_LINGER_MS after the line
//                                   ignore   nothing: the double runs on until it is killed
//   KEST_DOUBLE_STARTS            a file path: each start appends one line to it, so that a
//                                 test counts the starts of several processes
//   KEST_DOUBLE_FAILING_STARTS    with KEST_DOUBLE_START=fail and KEST_DOUBLE_STARTS: only
//                                 this many starts fail (counted in that file), later ones
//                                 report ok; absent or empty: every start fails
//   KEST_DOUBLE_REPORT_GATE       a file path: the start's report waits until the file exists
//   KEST_DOUBLE_AFTER_REPORT      a line printed right after a successful start's report
//   KEST_DOUBLE_EXIT_AFTER_MS     a crash: this many milliseconds after a successful start's
//                                 report the double exits with code 1, whatever its input does
//   KEST_DOUBLE_RELOAD            the answer to a reload command:
//                                   ok       {"ok":true} once the file reads as JSON (default)
//                                   stopped  {"ok":true,"kind":"stopped"}
//                                   fail     {"ok":false,"kind":"","error":RELOAD_ERROR}
//                                   silent   nothing
//   KEST_DOUBLE_RELOAD_ERROR      the error text of a failing reload
//   KEST_DOUBLE_RESTORE_RECORD    a file path: each "--restore" run appends its process id (the
//                                 record of KEST_DOUBLE_RECORD is left to the engine run)
//   KEST_DOUBLE_RESTORE           "hang": a "--restore" run never ends on its own
#include <optional>
#include <string>
#include <vector>

namespace kest::engine_double {

enum class StartScenario { Ok, Fail, Garbage, Exit, Hang };
enum class CloseScenario { Stopped, Ignore };
enum class ReloadScenario { Ok, Stopped, Fail, Silent };

struct Scenario {
    std::string connections_body;
    std::optional<std::string> record_path;
    std::vector<std::string> record_env;
    StartScenario start = StartScenario::Ok;
    std::string fail_kind;
    std::string fail_error;
    int blank_lines = 0;
    CloseScenario on_close = CloseScenario::Stopped;
    int linger_ms = 0;
    std::optional<std::string> starts_path;
    std::optional<int> failing_starts;
    std::optional<std::string> report_gate;
    std::optional<std::string> after_report;
    std::optional<int> exit_after_ms;
    ReloadScenario reload = ReloadScenario::Ok;
    std::string reload_error;
    std::optional<std::string> restore_record;
    bool restore_hangs = false;
};

Scenario read_scenario();

} // namespace kest::engine_double
