#include "support/stderr_pipe.h"

#include "platform/win32/windows_api.h"

namespace kest::testing {
namespace {

HANDLE handle_of(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

} // namespace

StderrPipe::StderrPipe() {
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, nullptr, 0))
        return;
    read_end_ = reinterpret_cast<std::intptr_t>(read);
    write_end_ = reinterpret_cast<std::intptr_t>(write);
    saved_ = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_ERROR_HANDLE));
    SetStdHandle(STD_ERROR_HANDLE, write);
}

StderrPipe::~StderrPipe() {
    give_back();
    if (read_end_ != -1)
        CloseHandle(handle_of(read_end_));
}

std::size_t StderrPipe::waiting() {
    DWORD available = 0;
    if (!PeekNamedPipe(handle_of(read_end_), nullptr, 0, nullptr, &available, nullptr))
        return 0;
    return available;
}

std::size_t StderrPipe::read(char* buf, std::size_t size) {
    DWORD n = 0;
    if (!ReadFile(handle_of(read_end_), buf, static_cast<DWORD>(size), &n, nullptr))
        return 0; // the write end has been closed
    return n;
}

void StderrPipe::give_back() {
    if (write_end_ == -1)
        return;
    SetStdHandle(STD_ERROR_HANDLE, handle_of(saved_));
    CloseHandle(handle_of(write_end_));
    write_end_ = -1;
}

} // namespace kest::testing
