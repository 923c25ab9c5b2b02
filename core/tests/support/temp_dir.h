#pragma once
// A fresh folder for one test, removed with everything in it afterwards.
#include <string>
#include <string_view>

namespace kest::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with the parts, using the platform's separator.
    std::string join(std::string_view a) const;
    std::string join(std::string_view a, std::string_view b) const;

private:
    std::string path_;
};

} // namespace kest::testing
