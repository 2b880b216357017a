// The terminal UI engine's routine bodies (see routines.cpp).
#pragma once

namespace zol::view {

// Registers the engine's routine bodies by name; start-up calls it before the
// library's source runs. Calling it again changes nothing.
void register_routines();

}  // namespace zol::view
