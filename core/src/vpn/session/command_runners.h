#pragma once
// What the product's worker runs: the connect sequence for Connect, the live replacement for
// Apply.
#include "vpn/controller.h"

namespace kest::vpn {

CommandRunners default_command_runners();

} // namespace kest::vpn
