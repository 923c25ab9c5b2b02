#pragma once
// The core's log lines written while one of these lives, read back by the test. The log goes
// to the process's standard error, which is redirected for the time.
#include <regex>
#include <sstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace kest::vpn {

class LogCapture {
public:
    LogCapture() { ::testing::internal::CaptureStderr(); }
    ~LogCapture() { finish(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Ends the capture; everything written until now.
    const std::string& finish() {
        if (!done_) {
            text_ = ::testing::internal::GetCapturedStderr();
            done_ = true;
        }
        return text_;
    }

    // How many lines of the capture end with this text (after the time stamp and tag).
    std::size_t lines_ending_with(std::string_view tail) {
        const std::string& all = finish();
        std::size_t count = 0, start = 0;
        while (start < all.size()) {
            std::size_t end = all.find('\n', start);
            if (end == std::string::npos)
                end = all.size();
            std::string_view line(all.data() + start, end - start);
            if (line.size() >= tail.size() && line.substr(line.size() - tail.size()) == tail)
                ++count;
            start = end + 1;
        }
        return count;
    }

    // How many lines of the capture hold a match of the pattern.
    std::size_t lines_matching(const std::string& pattern) {
        const std::regex re(pattern);
        std::istringstream all(finish());
        std::size_t count = 0;
        for (std::string line; std::getline(all, line);)
            if (std::regex_search(line, re))
                ++count;
        return count;
    }

private:
    bool done_ = false;
    std::string text_;
};

} // namespace kest::vpn
