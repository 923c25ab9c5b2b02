#pragma once
// Environment references written the shell way inside paths that shortcuts and uninstall
// entries give.
#include <string>
#include <string_view>

namespace kest::apps {

// $NAME (letters, digits, "_") and ${NAME} (anything up to the first "}") replaced by the
// variable's value, or by nothing when it is not set. A "$" that starts neither form, and a
// "${" without a closing brace, stay as written; %NAME% is left alone.
std::string expand_dollar_vars(std::string_view text);

} // namespace kest::apps
