#include "platform/fs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/env.h"
#include "platform/posix/fd_io.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/unix_time.h"

namespace kest::platform {
namespace {

Unexpected<std::string> os_error(int err) {
    return unexpected(posix::error_text(err));
}

} // namespace

Expected<void> create_directories(const std::string& path) {
    if (path.empty())
        return {};
    std::string current;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t next = path.find('/', pos);
        if (next == std::string::npos)
            next = path.size();
        current = path.substr(0, next);
        pos = next + 1;
        if (current.empty())
            continue;
        if (::mkdir(current.c_str(), 0777) != 0 && errno != EEXIST)
            return os_error(errno);
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return os_error(errno);
    if (!S_ISDIR(st.st_mode))
        return os_error(ENOTDIR);
    return {};
}

Expected<void> write_file(const std::string& path, std::string_view bytes) {
    posix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd)
        return os_error(errno);
    if (!posix::write_all(fd.get(), bytes))
        return os_error(errno);
    // A failed close can be the first sign that the bytes did not reach the disk.
    if (::close(fd.release()) != 0)
        return os_error(errno);
    return {};
}

Expected<void> rename_replace(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return os_error(errno);
    return {};
}

Expected<void> remove_file(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        return os_error(errno);
    return {};
}

bool file_exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool is_regular_file(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Expected<std::string> read_file(const std::string& path) {
    posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return os_error(errno);
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return os_error(errno);
        if (n == 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

Expected<std::string> make_temp_dir(std::string_view prefix) {
    std::string base = get_env("TMPDIR").value_or("");
    if (base.empty())
        base = "/tmp";
    std::string templ = base + "/" + std::string(prefix) + "XXXXXX";
    if (!::mkdtemp(templ.data()))
        return os_error(errno);
    return templ;
}

void remove_tree(const std::string& path) {
    ::nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) { return ::remove(p), 0; }, 16,
        FTW_DEPTH | FTW_PHYS);
}

Expected<FileTime> last_write_time(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return os_error(errno);
    return posix::to_file_time(st.st_mtim);
}

Expected<void> set_last_write_time(const std::string& path, FileTime time) {
    // The access time is left as it is.
    timespec times[2] = {{0, UTIME_OMIT}, posix::to_timespec(time)};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        return os_error(errno);
    return {};
}

} // namespace kest::platform
