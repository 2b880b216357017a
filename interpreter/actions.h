// The action layer: finding a datatype's implementation of an action slot, and the
// typed forms through which runtime code calls actions with explicit parameters.
#pragma once
#include "runtime/action_types.h"
#include "runtime/cell.h"

namespace zol::actions {

// The implementation of `slot` for `type`; raises script expect-arg when the type
// does not support the action. `value` is the first argument.
ActionFn get_action_ptr_from(uint8_t type, int slot, const Cell* value);
ActionFn get_action_ptr_of(const Cell* value, int slot);

// Typed forms.
Cell* make_typed(Cell* proto, Cell* spec);
Cell* to_typed(Cell* proto, Cell* spec);
int form_typed(const Cell* value, Cell* buffer, const Cell* part_arg, int limit);
int mold_typed(const Cell* value, Cell* buffer, bool only, bool all, bool flat,
               const Cell* part_arg, int limit, int indent);
// The raw comparison (-1, 0, 1, or -2 when not comparable).
int compare_typed(const Cell* a, const Cell* b, int op);
// Comparison as a truth value; ordering values that cannot be ordered raises
// invalid-compare.
bool compare(const Cell* a, const Cell* b, int op);

// Conveniences for runtime code and tests: a new string! holding the form or mold.
Cell form_to_string(const Cell* value);
Cell mold_to_string(const Cell* value, bool all = false);

}  // namespace zol::actions
