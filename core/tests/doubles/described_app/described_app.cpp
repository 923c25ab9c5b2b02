// An application that describes itself in its version resource (Windows build), for the
// catalogue's tests: echoes every line of standard input, so a test knows it runs, and ends
// with its input.
#include <string>

#include "platform/stdio.h"

int main() {
    using namespace kest::platform;
    std::string line;
    char c;
    while (read_stdin(&c, 1).status == ReadStatus::Data) {
        line.push_back(c);
        if (c == '\n') {
            write_stdout(line);
            line.clear();
        }
    }
    return 0;
}
