// The natives table and the native calling convention.
//
// Each native is a C++ function taking a check flag and then one int per
// refinement, in spec order: -1 when the refinement is not used, otherwise the
// position (cells from the frame's first cell) of its first argument. A native
// reads its arguments in the current frame and leaves its result in the frame's
// first cell. The interpreter has checked the argument types against the spec
// already and passes 0; a caller that has not passes 1.
//
// Natives are known by their 1-based index in the table, in the fixed order of
// native_list.h. Their specs come from the bootstrap text; the table binds each
// name to its C++ function. Natives whose work is not built yet are bound to a stand-in that raises
// the internal not-done error naming the native.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/native.h"

namespace zol::natives {

// One native: its name, its function (null for a stand-in) and the number of
// refinement parameters the function takes.
struct Entry {
  const char* name;
  ActionFn fn;
  int refinements;
};

// Entries for the table: the arity comes from the function's type.
template <class... Refinements>
Entry native(const char* name, void (*fn)(int, Refinements...)) {
  return {name, action_fn(fn), int(sizeof...(Refinements))};
}
inline Entry stand_in(const char* name) { return {name, nullptr, -1}; }

// Makes the print buffer (a block of 32 cells that print and prin reduce into) and
// answers its node for the root block to hold.
NodeRef init();
// The natives in table order (index 1 first).
std::span<const Entry> entries();

// Fills the table once the specs are known: the stand-in of a native gets the
// arity its spec gives.
void register_native(int32_t index, int refinements);
extern ActionFn table[];
inline ActionFn entry(int32_t index) {   // null for an index with no native
  return index >= 1 && index <= native::TABLE_SIZE ? table[index - 1] : nullptr;
}

// Calls a native (with the check flag) or an action entry with its refinements.
void call(ActionFn fn, bool native, const int32_t* refinements, int count);
// The same for a native or action that has no refinements.
inline void call_plain(ActionFn fn, bool native) {
  if (native) reinterpret_cast<void (*)(int)>(fn)(0);
  else reinterpret_cast<void (*)()>(fn)();
}

// The terminal UI's pump: while a view is shown, `wait` runs it on each round of
// its wait (rounds of at most WAIT_ROUND_MS) so that input, timers and redraws go
// on. It answers false when no view is shown; null until the UI is installed.
extern bool (*wait_pump)();
constexpr int64_t WAIT_ROUND_MS = 33;

// Raises not-done naming the native of the current frame.
[[noreturn]] void not_done();

// The comparison code of a comparison native's index, -1 for other natives.
int comparison_of(int32_t index);
// The 1-based index of the `return` native, whose calls from the code the
// evaluator takes on a short path.
int32_t return_index();
// The 1-based indexes of `if`, `unless` and `either`, taken on a short path too.
int32_t if_index();
int32_t unless_index();
int32_t either_index();

}  // namespace zol::natives
