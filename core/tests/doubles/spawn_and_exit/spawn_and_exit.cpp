// Starts the program named by its arguments with pipes on all three streams, the way the core
// starts the engine, and exits at once, leaving that program running. "--sleep MS" makes it the
// long-lived program itself: it waits that long, whatever happens to its streams.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/arguments.h"
#include "platform/process.h"
#include "platform/stdio.h"

int main(int argc, char** argv) {
    using namespace kest::platform;
    std::vector<std::string> args = program_arguments(argc, argv);
    if (args.size() == 2 && args[0] == "--sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoll(args[1].c_str())));
        return 0;
    }
    if (args.empty()) {
        write_stderr("usage: spawn_and_exit PROGRAM [ARGS...] | --sleep MS\n");
        return 2;
    }
    SpawnOptions options;
    options.program = args[0];
    options.args.assign(args.begin() + 1, args.end());
    auto child = spawn(options);
    if (!child) {
        write_stderr("spawn_and_exit: " + child.error() + "\n");
        return 1;
    }
    return 0;
}
