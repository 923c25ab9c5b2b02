// The floor for a request round trip: echoes every line of standard input with the same pipes,
// buffer size and line scanning the core uses, but without parsing or threads.
#include <cstring>
#include <string>
#include <vector>

#include "platform/stdio.h"

int main() {
    using namespace kest::platform;
    std::vector<char> buf(1 << 20);
    std::string line;
    for (;;) {
        auto r = read_stdin(buf.data(), buf.size());
        if (r.status != ReadStatus::Data)
            return 0;
        std::size_t start = 0;
        for (;;) {
            const void* nl = std::memchr(buf.data() + start, '\n', r.bytes - start);
            if (!nl) {
                line.append(buf.data() + start, r.bytes - start);
                break;
            }
            std::size_t end = static_cast<const char*>(nl) - buf.data() + 1;
            line.append(buf.data() + start, end - start);
            write_stdout(line);
            line.clear();
            start = end;
        }
    }
}
