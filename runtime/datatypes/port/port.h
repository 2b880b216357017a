// port!: an object whose behaviour comes from its scheme's actor. Its context is a
// copy of system/standard/port (spec, scheme, actor, awake, state, data, extra);
// the series and I/O actions applied to a port call the actor's function of the
// same name with the port, the action's arguments and, for each refinement, a
// logic! flag followed by its argument (none when not given).
#pragma once
#include "runtime/core/cell.h"
#include "runtime/core/datatype.h"

namespace zol::port {

void init();   // registers port!, after object!

// A native actor: one implementation per action from append to write, in slot
// order, each reading the action's frame (the port first, then the action's
// arguments and refinements as its entry has them) and leaving its result in the
// frame's first cell. A port whose actor is a handle! made by actor_handle is
// served from the table; an empty entry raises access no-port-action.
using ActorNative = void (*)();
struct ActorTable {
  ActorNative entries[A_WRITE - A_APPEND + 1] = {};
};
// The handle! that names a table, which must outlive the run (a static).
Cell actor_handle(const ActorTable* table);

// The value length? answers for a port is the actor's own result, which the
// action entry finds in the frame's first cell when the length answers this.
constexpr int32_t LENGTH_IN_FRAME = -2;

}  // namespace zol::port
