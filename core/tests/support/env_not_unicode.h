#pragma once
// An environment value that is no Unicode text on this system: a lone surrogate on Windows, a
// byte that begins no UTF-8 sequence elsewhere. Only the system's own calls can set one.
#include <string>

namespace kest::testing {

void set_env_not_unicode(const std::string& name);

} // namespace kest::testing
