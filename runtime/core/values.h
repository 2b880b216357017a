// The shared constant values, the simplest datatypes' helpers and the truth test
// every conditional uses. Operations that must answer a value without a slot of
// their own answer one of the constants.
#pragma once
#include "runtime/core/cell.h"

namespace zol {

namespace values {
extern const Cell unset;
extern const Cell none;
extern const Cell true_value;
extern const Cell false_value;
inline Cell logic(bool v) { return Cell{T_LOGIC, v ? 1u : 0u, 0, 0}; }
inline Cell integer(int32_t v) { return Cell{T_INTEGER, 0, static_cast<uint32_t>(v), 0}; }
inline Cell of_datatype(uint8_t id) { return Cell{T_DATATYPE, id, 0, 0}; }
}  // namespace values

namespace datatype {
void init();                              // registers datatype!
void make_in(NodeRef block, uint8_t id);  // appends a datatype! cell
Cell* push(uint8_t id);
void init_words();                        // the name word of every registered type
}  // namespace datatype

namespace unset {
void init();
Cell* push_last();                        // arguments[0] becomes unset
void make_in(NodeRef block);
Cell* push();
}  // namespace unset

namespace none {
void init();
Cell* push_last();
void make_in(NodeRef block);
Cell* push();
}  // namespace none

namespace logic {
void init();
void make_in(NodeRef block, bool value);
Cell* push(bool value);
Cell* box(bool value);                    // writes arguments[0]
inline bool get(const Cell* c) { return c->w1 != 0; }

// Truth: only none and false are false; unset counts as true. With the check flag
// an unset value raises no-value naming `name`.
bool true_value(const Cell* value, bool unset_check = false, const Cell* name = nullptr);
bool is_true();                           // truth of arguments[0]
bool arg_true();                          // the same; unset raises no-return
[[noreturn]] void no_return();            // raises no-return
// The truth of a condition's value, as arg_true tests it. Inline: loops and
// conditionals test it at every step, and most conditions give a logic!.
inline bool condition_true(const Cell* value) {
  uint8_t type = value->type();
  if (type == T_LOGIC) return value->w1 != 0;
  if (type == T_NONE) return false;
  if (type == T_UNSET) [[unlikely]] no_return();
  return true;
}
bool is_false();                          // negated truth of the last pushed value
}  // namespace logic

namespace series {
void init();                              // registers the abstract series! parent
}  // namespace series

}  // namespace zol
