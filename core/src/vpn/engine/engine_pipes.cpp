#include "vpn/engine/engine_pipes.h"

#include "text/utf8.h"
#include "text/white_space.h"
#include "util/log.h"

namespace kest::vpn {

void read_pipe_lines(platform::PipeEnd& pipe, const std::function<bool(std::string)>& on_line) {
    char buf[engine_pipe_buffer_size];
    std::string pending;
    auto hand_over = [&](std::string line) {
        return text::is_valid_utf8(line) && on_line(std::move(line));
    };
    for (;;) {
        auto r = pipe.read(buf, sizeof buf);
        if (r.status == platform::ReadStatus::Error)
            return;
        if (r.status == platform::ReadStatus::End) {
            if (!pending.empty())
                hand_over(std::move(pending));
            return;
        }
        std::size_t scan_from = pending.size();
        pending.append(buf, r.bytes);
        std::size_t start = 0;
        for (std::size_t nl = pending.find('\n', scan_from); nl != std::string::npos;
             nl = pending.find('\n', start)) {
            std::size_t end = nl > start && pending[nl - 1] == '\r' ? nl - 1 : nl;
            if (!hand_over(pending.substr(start, end - start)))
                return;
            start = nl + 1;
        }
        pending.erase(0, start);
    }
}

void engine_stderr_logger(std::unique_ptr<platform::PipeEnd> pipe) {
    read_pipe_lines(*pipe, [](std::string line) {
        log_line(LogTag::Engine, text::trim_end_white_space(line));
        return true;
    });
    pipe->close();
}

void engine_stdout_forwarder(std::unique_ptr<platform::PipeEnd> pipe,
                             Channel<std::string>::Sender reports) {
    read_pipe_lines(*pipe, [&](std::string line) { return reports.send(std::move(line)); });
    pipe->close();
    reports.reset();
}

} // namespace kest::vpn
