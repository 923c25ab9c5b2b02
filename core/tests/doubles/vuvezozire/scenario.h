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
//                                   exit     nothing; the double exits with code 3 (see
//                                            KEST_DOUBLE_EXITING_STARTS)
//                                   hang     nothing; the double waits for its input to
//                                            close and exits without a word
//   KEST_DOUBLE_BLANK_LINES       a count of blank and white-space-only lines printed before
//                                 the start's report
//   KEST_DOUBLE_ON_CLOSE          what the end of standard input brings:
//                                   stopped  the line {"kind":"stopped"} and the exit (the
//                                            default), KEST_DOUBLE_LINGER_MS after the line
//                                   ignore   nothing: the double runs on until it is killed
//                                   exit     nothing: the double exits with code 0 at once
//                                   crash    the start of the "stopped" line without a line
//                                            end, then the exit with code 1
//   KEST_DOUBLE_STARTS            a file path: each start appends one line to it, so that a
//                                 test counts the starts of several processes
//   KEST_DOUBLE_LEFT              a file path: a double that leaves on its own after its
//                                 "stopped" line (and the linger) appends its process id, which
//                                 one that is killed never does
//   KEST_DOUBLE_FAILING_STARTS    with KEST_DOUBLE_START=fail and KEST_DOUBLE_STARTS: only
//                                 this many starts fail (counted in that file), later ones
//                                 report ok; absent or empty: every start fails
//   KEST_DOUBLE_EXITING_STARTS    with KEST_DOUBLE_START=exit and KEST_DOUBLE_STARTS: only
//                                 this many starts exit, later ones report ok; absent or
//                                 empty: every start exits
//   KEST_DOUBLE_REPORT_GATE       a file path: the start's report waits until the file exists
//   KEST_DOUBLE_AFTER_REPORT      a line printed right after a successful start's report
//   KEST_DOUBLE_EXIT_AFTER_MS     a crash: this many milliseconds after a successful start's
//                                 report the double exits with code 1, whatever its input does
//   KEST_DOUBLE_CRASHING_STARTS   with KEST_DOUBLE_EXIT_AFTER_MS and KEST_DOUBLE_STARTS: only
//                                 this many starts crash, later ones run on; absent or empty:
//                                 every start crashes
//   KEST_DOUBLE_RELOAD            the answer to a reload command:
//                                   ok       {"ok":true} once the file reads as JSON (default)
//                                   stopped  {"ok":true,"kind":"stopped"}
//                                   fail     {"ok":false,"kind":"","error":RELOAD_ERROR}
//                                   silent   nothing
//                                   exit     nothing: the double exits with code 1 at once
//                                   cut      the start of {"ok":true} without a line end,
//                                            then the exit with code 1
//   KEST_DOUBLE_RELOAD_ERROR      the error text of a failing reload
//   KEST_DOUBLE_RESTORE_RECORD    a file path: each "--restore" run appends its process id (the
//                                 record of KEST_DOUBLE_RECORD is left to the engine run)
//   KEST_DOUBLE_RESTORE           "hang": a "--restore" run never ends on its own
//   KEST_DOUBLE_LONG_LINE         where a run of "x" bytes without a line end goes, so that the
//                                 next line written on that stream continues it:
//                                   stdout       standard output, right before the start's
//                                                report
//                                   stderr       standard error, right before the start's
//                                                log line "tunnel up" or "start failed"
//                                   stdout-late  standard output, right after a successful
//                                                start's report (and KEST_DOUBLE_AFTER_REPORT)
//   KEST_DOUBLE_LONG_LINE_BYTES   the length of that run; default 10485760 (10 MiB)
//   KEST_DOUBLE_BAD_UTF8          where a whole line holding bytes that are not UTF-8 goes, at
//                                 the places of KEST_DOUBLE_LONG_LINE. Set, it also makes a
//                                 write to a pipe its reader has closed fail instead of ending
//                                 the double (the engine's lot on Windows, SIGPIPE ignored on
//                                 POSIX), so that a reader that stops costs the double lines,
//                                 not its life
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kest::engine_double {

enum class StartScenario { Ok, Fail, Garbage, Exit, Hang };
enum class CloseScenario { Stopped, Ignore, Exit, Crash };
enum class ReloadScenario { Ok, Stopped, Fail, Silent, Exit, Cut };
// Where KEST_DOUBLE_LONG_LINE and KEST_DOUBLE_BAD_UTF8 write.
enum class OddPlace { None, Stdout, Stderr, StdoutLate };

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
    std::optional<std::string> left_path;
    std::optional<int> failing_starts;
    std::optional<int> exiting_starts;
    std::optional<std::string> report_gate;
    std::optional<std::string> after_report;
    std::optional<int> exit_after_ms;
    std::optional<int> crashing_starts;
    ReloadScenario reload = ReloadScenario::Ok;
    std::string reload_error;
    std::optional<std::string> restore_record;
    bool restore_hangs = false;
    OddPlace long_line = OddPlace::None;
    std::size_t long_line_bytes = 10 * 1024 * 1024;
    OddPlace bad_utf8 = OddPlace::None;
};

Scenario read_scenario();

} // namespace kest::engine_double
