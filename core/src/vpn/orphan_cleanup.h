#pragma once
// Removal of orphaned engines and stale TUN adapters left by earlier runs.

namespace kest::vpn {

class VpnController;

// Acts only while the controller's cleanup_pending is set.
void cleanup_orphans(VpnController& controller);

} // namespace kest::vpn
