#include "platform/version_info.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/windows_api.h"
#include "text/hex.h"

namespace kest::platform {
namespace {

// "LLLLCCCC": the first translation's language and code page, or US English in Unicode.
std::wstring translation_of(const void* resource) {
    void* pointer = nullptr;
    UINT length = 0;
    VerQueryValueW(resource, L"\\VarFileInfo\\Translation", &pointer, &length);
    if (!pointer || length <= 3)
        return L"040904B0";
    WORD pair[2];
    std::memcpy(pair, pointer, sizeof pair);
    std::string out;
    text::append_hex_upper(out, pair[0], 4);
    text::append_hex_upper(out, pair[1], 4);
    return win32::wide(out);
}

} // namespace

std::string file_description(const std::string& path) {
    std::wstring wide_path = win32::wide(path);
    DWORD size = GetFileVersionInfoSizeW(wide_path.c_str(), nullptr);
    if (size == 0)
        return "";
    std::vector<unsigned char> resource(size, 0);
    if (!GetFileVersionInfoW(wide_path.c_str(), 0, size, resource.data()))
        return "";
    std::wstring block =
        L"\\StringFileInfo\\" + translation_of(resource.data()) + L"\\FileDescription";
    // Only the pointer and the length decide; the call's own answer is not consulted.
    void* pointer = nullptr;
    UINT length = 0;
    VerQueryValueW(resource.data(), block.c_str(), &pointer, &length);
    if (!pointer || length == 0)
        return "";
    return win32::narrow(static_cast<const wchar_t*>(pointer),
                         std::min<std::size_t>(length, kDescriptionUnits));
}

} // namespace kest::platform
