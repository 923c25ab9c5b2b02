// A stand-in for the system's device tool. Everything it does is chosen through files in the
// folder named by KEST_PNPUTIL_DIR:
//   listing       the bytes "/enum-devices" prints on standard output
//   enum_exit     the exit code of "/enum-devices" (default 0)
//   enum_hang     present: "/enum-devices" prints nothing and never ends
//   enum_hold     milliseconds: "/enum-devices" first starts a copy of itself that shares its
//                 standard streams and keeps them open that long, and writes that copy's
//                 process id to holder_pid.txt; then it goes on as it would without the file
//   remove_fail   instance ids, one per line, whose "/remove-device" fails with exit code 3
// Every run appends its arguments, joined by tabs, as one line to calls.txt, and writes its
// process id to pid.txt, before it does anything else. The copy ("/hold-output MS") does
// neither.
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/arguments.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/process_image.h"
#include "platform/self_path.h"
#include "platform/stdio.h"
#include "support/shared_streams_start.h"
#include "text/path_text.h"

namespace {

using namespace kest;

std::string file_or_empty(const std::string& path) {
    auto bytes = platform::read_file(path);
    return bytes ? *bytes : std::string();
}

std::string control_file(const std::string& dir, std::string_view name) {
    return text::join_path(dir, name, platform::path_separator());
}

void record(const std::string& dir, const std::vector<std::string>& args) {
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i)
        line += (i ? "\t" : "") + args[i];
    std::ofstream(control_file(dir, "calls.txt"), std::ios::app | std::ios::binary) << line << "\n";
    (void)platform::write_file(control_file(dir, "pid.txt"),
                               std::to_string(platform::current_process_id()));
}

bool listed_line(const std::string& lines, const std::string& wanted) {
    std::size_t begin = 0;
    while (begin <= lines.size()) {
        std::size_t end = lines.find('\n', begin);
        std::string line = lines.substr(begin, end == std::string::npos ? end : end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == wanted)
            return true;
        if (end == std::string::npos)
            break;
        begin = end + 1;
    }
    return false;
}

// False when the copy could not be started or its id not recorded.
bool start_holder(const std::string& dir, const std::string& milliseconds) {
    auto self = platform::own_executable_path();
    if (!self)
        return false;
    auto holder = testing::start_with_shared_streams(*self, {"/hold-output", milliseconds});
    if (!holder) {
        platform::write_stderr("pnputil double: " + holder.error() + "\n");
        return false;
    }
    return platform::write_file(control_file(dir, "holder_pid.txt"), std::to_string(*holder))
        .has_value();
}

int enumerate(const std::string& dir) {
    if (auto hold = platform::read_file(control_file(dir, "enum_hold")))
        if (!start_holder(dir, *hold))
            return 98;
    if (platform::file_exists(control_file(dir, "enum_hang")))
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    platform::write_stderr("pnputil double: listing network devices\n");
    platform::write_stdout(file_or_empty(control_file(dir, "listing")));
    auto code = platform::read_file(control_file(dir, "enum_exit"));
    return code ? std::stoi(*code) : 0;
}

int remove_device(const std::string& dir, const std::string& id) {
    std::string failing = file_or_empty(control_file(dir, "remove_fail"));
    if (listed_line(failing, id)) {
        platform::write_stdout("\r\nFailed to remove device: " + id + "\r\n");
        return 3;
    }
    platform::write_stdout("Device removed successfully.\r\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    auto args = platform::program_arguments(argc, argv);
    if (args.size() == 2 && args[0] == "/hold-output") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoll(args[1])));
        return 0;
    }
    auto dir = platform::get_env("KEST_PNPUTIL_DIR");
    if (!dir)
        return 99;
    record(*dir, args);
    if (!args.empty() && args[0] == "/enum-devices")
        return enumerate(*dir);
    if (args.size() == 2 && args[0] == "/remove-device")
        return remove_device(*dir, args[1]);
    return 2;
}
