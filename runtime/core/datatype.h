// The datatype registry: each datatype's name, parent and row of 62 action slots.
//
// Every datatype registers once at start-up. A slot holds the type's own
// implementation, INHERIT (take the parent's entry as it stands at that moment, so
// parents register first), or nullptr (unsupported). Inheritance is resolved once,
// at registration; dispatch is a plain table read. The table has a row for every
// possible type byte, so a cell typed 0 or with an id nobody registered reads
// nullptr and dispatches as unsupported.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"

namespace zol {

// Action slots, 1-based, in their fixed order.
enum ActionSlot : int {
  A_MAKE = 1, A_RANDOM, A_REFLECT, A_TO, A_FORM, A_MOLD, A_EVAL_PATH, A_SET_PATH,
  A_COMPARE, A_ABSOLUTE, A_ADD, A_DIVIDE, A_MULTIPLY, A_NEGATE, A_POWER, A_REMAINDER,
  A_ROUND, A_SUBTRACT, A_EVEN_Q, A_ODD_Q, A_AND_T, A_COMPLEMENT, A_OR_T, A_XOR_T,
  A_APPEND, A_AT, A_BACK, A_CHANGE, A_CLEAR, A_COPY, A_FIND, A_HEAD, A_HEAD_Q,
  A_INDEX_Q, A_INSERT, A_LENGTH_Q, A_MOVE, A_NEXT, A_PICK, A_POKE, A_PUT, A_REMOVE,
  A_REVERSE, A_SELECT, A_SORT, A_SKIP, A_SWAP, A_TAIL, A_TAIL_Q, A_TAKE, A_TRIM,
  A_CREATE, A_CLOSE, A_DELETE, A_MODIFY, A_OPEN, A_OPEN_Q, A_QUERY, A_READ, A_RENAME,
  A_UPDATE, A_WRITE,
};
constexpr int ACTION_SLOTS = 62;

// An implementation is stored type-erased; each slot has one signature (see
// runtime/core/action_types.h) and is cast back by the caller that knows the slot.
using ActionFn = void (*)();
inline const ActionFn INHERIT = reinterpret_cast<ActionFn>(~uintptr_t(0));

template <class F>
ActionFn action_fn(F f) { return reinterpret_cast<ActionFn>(f); }

struct ActionEntry {
  int slot;
  ActionFn fn;
};

namespace datatype {

struct TypeInfo {
  const char* name;        // with its "!"
  uint32_t name_length;    // without the "!"
  uint32_t word_symbol;    // symbol of the name's word; 0 until the symbol table exists
  uint8_t parent;
  bool registered;
};

// Registers a type. `slots` must hold exactly 62 entries; any other count is a
// build fault: it prints the three-line datatype error and ends the process.
void register_type(int id, int parent, const char* name, std::span<const ActionFn> slots);

// Builds a row of 62 slots: `fill` everywhere (INHERIT or nullptr), then `entries`.
struct ActionRow {
  ActionFn slots[ACTION_SLOTS];
};
ActionRow make_row(ActionFn fill, std::initializer_list<ActionEntry> entries);
void register_type(int id, int parent, const char* name, const ActionRow& row);

extern ActionFn action_table[256][ACTION_SLOTS];
inline ActionFn action(uint8_t type, int slot) { return action_table[type][slot - 1]; }

const TypeInfo& info(uint8_t type);
const char* name(uint8_t type);
int highest_id();

// Sets the word symbol of a type's name (the symbol table does it once it exists).
void set_word_symbol(uint8_t type, uint32_t symbol);

// Clears the registry (start-up runs once per process; tests re-run it).
void reset();

}  // namespace datatype
}  // namespace zol
