#include "platform/stdio.h"

#include "platform/win32/windows_api.h"

namespace kest::platform {
namespace {

bool write_all(DWORD which, std::string_view bytes) {
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

ReadResult read_stdin(char* buf, std::size_t size) {
    HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return {ReadStatus::End};
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    for (;;) {
        DWORD n = 0;
        if (ReadFile(h, buf, chunk, &n, nullptr)) {
            if (n == 0)
                return {ReadStatus::End};
            return {ReadStatus::Data, n};
        }
        DWORD err = GetLastError();
        // The writer closing its end of the pipe is the end of input, not a failure.
        if (err == ERROR_BROKEN_PIPE || err == ERROR_HANDLE_EOF || err == ERROR_INVALID_HANDLE)
            return {ReadStatus::End};
        if (err == ERROR_OPERATION_ABORTED)
            continue;
        return {ReadStatus::Error, 0, win32::error_text(err)};
    }
}

bool write_stdout(std::string_view bytes) {
    return write_all(STD_OUTPUT_HANDLE, bytes);
}
bool write_stderr(std::string_view bytes) {
    return write_all(STD_ERROR_HANDLE, bytes);
}

} // namespace kest::platform
