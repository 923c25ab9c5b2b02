// The floor for the idle working set: a program that does nothing but wait for one line and
// then print its own working-set size.
#include <string>

#include "platform/memory.h"
#include "platform/stdio.h"

int main() {
    using namespace kest::platform;
    char c;
    while (read_stdin(&c, 1).status == ReadStatus::Data && c != '\n') {
    }
    write_stdout(std::to_string(working_set_size()) + "\n");
    return 0;
}
