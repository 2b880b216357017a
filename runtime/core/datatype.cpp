// The datatype registry (see datatype.h).
#include "runtime/core/datatype.h"

#include <cstdlib>
#include <cstring>

#include "runtime/base/system.h"

namespace zol::datatype {

ActionFn action_table[256][ACTION_SLOTS];

namespace {
TypeInfo types[256];
int highest = 0;
}  // namespace

void register_type(int id, int parent, const char* name, std::span<const ActionFn> slots) {
  if (slots.size() != ACTION_SLOTS) {
    system::print({system::PrintItem::str("*** Datatype Error: invalid actions count for type: "),
                   system::PrintItem::integer(id), system::PrintItem::chr('\n'),
                   system::PrintItem::str("*** Found: "),
                   system::PrintItem::integer(static_cast<int32_t>(slots.size())),
                   system::PrintItem::chr('\n'), system::PrintItem::str("*** Expected: "),
                   system::PrintItem::integer(ACTION_SLOTS), system::PrintItem::chr('\n')});
    std::exit(0);
  }
  if (id < 1 || id > 255) return;
  if (id > highest) highest = id;
  TypeInfo& t = types[id];
  t.name = name;
  size_t len = std::strlen(name);
  t.name_length = static_cast<uint32_t>(len > 0 && name[len - 1] == '!' ? len - 1 : len);
  t.parent = static_cast<uint8_t>(parent);
  t.registered = true;
  for (int a = 0; a < ACTION_SLOTS; a++) {
    ActionFn fn = slots[a];
    if (fn == INHERIT) fn = parent ? action_table[parent][a] : nullptr;
    action_table[id][a] = fn;
  }
}

ActionRow make_row(ActionFn fill, std::initializer_list<ActionEntry> entries) {
  ActionRow row;
  for (ActionFn& s : row.slots) s = fill;
  for (const ActionEntry& e : entries)
    if (e.slot >= 1 && e.slot <= ACTION_SLOTS) row.slots[e.slot - 1] = e.fn;
  return row;
}

void register_type(int id, int parent, const char* name, const ActionRow& row) {
  register_type(id, parent, name, std::span<const ActionFn>(row.slots, ACTION_SLOTS));
}

const TypeInfo& info(uint8_t type) { return types[type]; }
const char* name(uint8_t type) { return types[type].name ? types[type].name : "?"; }
int highest_id() { return highest; }
void set_word_symbol(uint8_t type, uint32_t symbol) { types[type].word_symbol = symbol; }

void reset() {
  std::memset(action_table, 0, sizeof action_table);
  std::memset(types, 0, sizeof types);
  highest = 0;
}

}  // namespace zol::datatype
