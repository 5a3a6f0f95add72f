#pragma once
// Wires the card's extensions (trace player, script player, live calls) into
// the card's hooks. Done when the library is loaded and again by a steering
// reset, since a test may have put its own hook in place.

namespace vsim {

void InstallHooks();
// Stops every extension's threads and restores their defaults.
void ResetExtensions();

} // namespace vsim
