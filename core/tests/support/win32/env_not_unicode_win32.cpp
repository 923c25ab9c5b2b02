#include "support/env_not_unicode.h"

#include "platform/win32/windows_api.h"

namespace kest::testing {

void set_env_not_unicode(const std::string& name) {
    const wchar_t value[] = {L'w', L'a', L'r', L'n', 0xD800, 0};
    SetEnvironmentVariableW(platform::win32::wide(name).c_str(), value);
}

} // namespace kest::testing
