#pragma once
// Owning wrappers for the Win32 handle kinds the platform layer holds.
#include "platform/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace kest::platform::win32 {

// Kernel objects: processes, threads, pipes, files, snapshots. Both "no handle" values the API
// uses (NULL and INVALID_HANDLE_VALUE) count as none.
struct KernelHandleTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { CloseHandle(h); }
};

class UniqueKernelHandle : public UniqueHandle<KernelHandleTraits> {
public:
    UniqueKernelHandle() noexcept = default;
    explicit UniqueKernelHandle(HANDLE h) noexcept
        : UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
};

// Directory searches (FindFirstFileW), whose "none" is INVALID_HANDLE_VALUE.
struct FindHandleTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { FindClose(h); }
};
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;

struct RegistryKeyTraits {
    using type = HKEY;
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY k) noexcept { RegCloseKey(k); }
};
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;

struct IconTraits {
    using type = HICON;
    static HICON invalid() noexcept { return nullptr; }
    static void close(HICON icon) noexcept { DestroyIcon(icon); }
};
using UniqueIcon = UniqueHandle<IconTraits>;

// GDI bitmaps, such as the colour and mask bitmaps that GetIconInfo hands over.
struct GdiBitmapTraits {
    using type = HBITMAP;
    static HBITMAP invalid() noexcept { return nullptr; }
    static void close(HBITMAP bitmap) noexcept { DeleteObject(bitmap); }
};
using UniqueGdiBitmap = UniqueHandle<GdiBitmapTraits>;

// Memory device contexts made by CreateCompatibleDC.
struct MemoryDcTraits {
    using type = HDC;
    static HDC invalid() noexcept { return nullptr; }
    static void close(HDC dc) noexcept { DeleteDC(dc); }
};
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;

} // namespace kest::platform::win32
