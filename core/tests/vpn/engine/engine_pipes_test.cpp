#include "vpn/engine/engine_pipes.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../log_capture.h"

namespace kest::vpn {
namespace {

// What the reader did to a pipe, still readable once the pipe is gone.
struct PipeUse {
    bool closed = false;
    int reads = 0;
    std::size_t largest_request = 0;
};

// A pipe that yields the given chunks, then its end (or a read error).
class ScriptedPipe final : public platform::PipeEnd {
public:
    ScriptedPipe(std::vector<std::string> chunks, bool error_at_end = false, PipeUse* use = nullptr)
        : chunks_(std::move(chunks)), error_at_end_(error_at_end), use_(use ? use : &own_) {}

    platform::ReadResult read(char* buf, std::size_t size) override {
        ++use_->reads;
        use_->largest_request = std::max(use_->largest_request, size);
        if (next_ == chunks_.size())
            return {error_at_end_ ? platform::ReadStatus::Error : platform::ReadStatus::End};
        std::string& chunk = chunks_[next_];
        std::size_t n = std::min(size, chunk.size());
        chunk.copy(buf, n);
        chunk.erase(0, n);
        if (chunk.empty())
            ++next_;
        return {platform::ReadStatus::Data, n};
    }
    bool write(std::string_view) override { return false; }
    void close() override { use_->closed = true; }

private:
    std::vector<std::string> chunks_;
    std::size_t next_ = 0;
    bool error_at_end_;
    PipeUse own_;
    PipeUse* use_;
};

std::vector<std::string> lines_of(ScriptedPipe& pipe) {
    std::vector<std::string> lines;
    read_pipe_lines(pipe, [&](std::string line) {
        lines.push_back(std::move(line));
        return true;
    });
    return lines;
}

TEST(EnginePipes, LinesLoseOnlyTheirEndingWhereverTheChunksBreak) {
    struct Case {
        std::vector<std::string> chunks;
        bool error_at_end;
        std::vector<std::string> lines;
    } cases[] = {
        {{"a\r\nb", "c\n\n", "d\r", "\ne  \n"}, false, {"a", "bc", "", "d", "e  "}},
        {{"mid\rdle\r\r\n", "\r\n"}, false, {"mid\rdle\r", ""}},
        // A last line without an ending still counts; a lone "\r" there is not an ending.
        {{"one\n", "last\r"}, false, {"one", "last\r"}},
        // A read error ends the reading: the unfinished line is lost.
        {{"done\n", "half"}, true, {"done"}},
        // A line that is not UTF-8 ends the reading, and is not handed over.
        {{"ok ✓\n", "\xff\xfe\n", "later\n"}, false, {"ok ✓"}},
        {{"\xe2\x9c", "\x93\n"}, false, {"✓"}}, // a character split between two reads
        {{}, false, {}},
    };
    for (auto& c : cases) {
        ScriptedPipe pipe(c.chunks, c.error_at_end);
        EXPECT_EQ(lines_of(pipe), c.lines) << ::testing::PrintToString(c.chunks);
    }
}

TEST(EnginePipes, ReadsThroughAnEightKilobyteBufferButKeepsLongLinesWhole) {
    std::string long_line(3 * engine_pipe_buffer_size + 5, 'x');
    PipeUse use;
    ScriptedPipe pipe({long_line + "\nshort\n"}, false, &use);
    EXPECT_EQ(lines_of(pipe), (std::vector<std::string>{long_line, "short"}));
    EXPECT_EQ(use.largest_request, 8192u);
}

TEST(EnginePipes, TheForwarderSendsLinesUnchangedAndClosesWhenDone) {
    auto [sender, receiver] = Channel<std::string>::make();
    PipeUse use;
    engine_stdout_forwarder(
        std::make_unique<ScriptedPipe>(std::vector<std::string>{" {\"ok\":true}  \r\n", "\n"},
                                       false, &use),
        std::move(sender));
    EXPECT_TRUE(use.closed);
    EXPECT_EQ(receiver.try_recv(), " {\"ok\":true}  ");
    EXPECT_EQ(receiver.try_recv(), "");
    EXPECT_TRUE(receiver.closed()) << "the sender is dropped at the end";
}

TEST(EnginePipes, TheForwarderStopsOnceNobodyReceives) {
    auto [sender, receiver] = Channel<std::string>::make();
    receiver.reset();
    PipeUse use;
    engine_stdout_forwarder(
        std::make_unique<ScriptedPipe>(std::vector<std::string>{"a\n", "b\n", "c\n"}, false, &use),
        std::move(sender));
    EXPECT_EQ(use.reads, 1) << "the first refused line ends the forwarder";
    EXPECT_TRUE(use.closed);
}

TEST(EnginePipes, TheLoggerLogsEveryLineWithTrailingWhiteSpaceRemoved) {
    PipeUse use;
    LogCapture log;
    engine_stderr_logger(std::make_unique<ScriptedPipe>(
        std::vector<std::string>{"  kept lead \t\r\n", "\n", "wide space\u3000\n", "tail"}, false,
        &use));
    EXPECT_TRUE(use.closed);
    EXPECT_EQ(log.lines_ending_with(" [engine]   kept lead"), 1u) << log.finish();
    EXPECT_EQ(log.lines_ending_with(" [engine] "), 1u) << log.finish();
    EXPECT_EQ(log.lines_ending_with(" [engine] wide space"), 1u) << log.finish();
    EXPECT_EQ(log.lines_ending_with(" [engine] tail"), 1u) << log.finish();
}

} // namespace
} // namespace kest::vpn
