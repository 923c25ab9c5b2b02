#pragma once
// A new routing choice or share link for a running tunnel, without dropping it: the engine is
// given a new configuration file through its input and reloads it in place. Only when there is
// nothing to reload, or the reload fails, is the tunnel brought up anew.
#include <chrono>
#include <optional>
#include <string>

#include "vpn/command.h"
#include "vpn/controller.h"
#include "vpn/engine/engine_handle.h"
#include "vpn/session/connect_session.h"

namespace kest::vpn {

inline constexpr std::chrono::seconds reload_report_timeout{20};

// The reload exchange with a borrowed engine: the command line {"cmd":"reload","config":path}
// on its input, then its report within timeout. None on success; otherwise the error, kind
// "reload" unless the engine's report named another.
std::optional<VpnError> reload_engine(EngineHandle& engine, const std::string& config_path,
                                      std::chrono::milliseconds timeout);

// Runs an Apply command. A share link that does not parse and a configuration that cannot be
// written fail the command and leave the running tunnel as it was; a failed reload stops the
// session and connects anew, whose result is the answer.
CommandResult replace_live_config(VpnController& controller, VpnCommand& command,
                                  ConnectSteps& steps,
                                  std::chrono::milliseconds timeout = reload_report_timeout);

// The same on this machine.
CommandResult replace_live_config(VpnController& controller, VpnCommand& command);

} // namespace kest::vpn
