#pragma once
// Whether the test runs under Wine, for the few behaviours in which Wine's system libraries
// are known to differ from Windows.
namespace kest::testing {

bool running_under_wine();

} // namespace kest::testing
