// event!: the value the terminal UI engine hands to face actors, and the dispatch
// records that backend events read their fields from.
//
// event! cell:
//   word 0  header: type id in the low byte; SCRIPT_MADE (0x1000) set on an event
//           made by `make`, whose word 2 is then a block (or 0 without one)
//   word 1  event type number, 1 to 38 (TYPE_WORDS); 0 when a spec gave none
//   word 2  script-made: the NodeRef of a four-cell block [face window offset
//           picked], or 0; backend: the id of its dispatch record (see below)
//   word 3  flags: modifier and button bits (Flag); bit 0 marks a backend key
//           event whose key is a special key; a script-made event keeps its key's
//           code point in bits 0-15
//
// A backend event never holds an address: its word 2 names a dispatch record by
// slot index (bits 0-11) and generation (bits 12-31). The record lives for one
// dispatch; an event kept past it finds the generation changed and reads none for
// the fields the record held (face, offset, key, picked).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::view::event {

constexpr uint32_t SCRIPT_MADE = 0x1000u;   // the collector reads the same bit

enum Flag : uint32_t {
  SPECIAL_KEY = 0x1u,
  AUX_DOWN = 0x00400000u, ALT_DOWN = 0x00800000u, MID_DOWN = 0x01000000u,
  DOWN = 0x02000000u, AWAY = 0x04000000u, CONTROL = 0x10000000u, SHIFT = 0x20000000u,
  ALT = 0x40000000u, COMMAND = 0x80000000u,
};

// Event type numbers (the index of the type word in the type table).
enum Type : uint32_t {
  T_DOWN = 1, T_UP, T_MID_DOWN, T_MID_UP, T_ALT_DOWN, T_ALT_UP, T_AUX_DOWN, T_AUX_UP,
  T_CLICK, T_DBL_CLICK, T_WHEEL, T_OVER, T_KEY, T_KEY_DOWN, T_KEY_UP, T_IME, T_FOCUS,
  T_UNFOCUS, T_ENTER, T_ZOOM, T_PAN, T_ROTATE, T_TWO_TAP, T_PRESS_TAP, T_SELECT,
  T_CHANGE, T_MENU, T_CLOSE, T_MOVE, T_RESIZE, T_MOVING, T_RESIZING, T_TIME, T_DRAWING,
  T_SCROLL, T_MINIMIZE, T_MAXIMIZE, T_RESTORE,
};
constexpr uint32_t TYPE_COUNT = 38;

// Special key codes (negative key fields of backend key events).
enum Key : int32_t {
  K_UP = -20, K_DOWN = -21, K_RIGHT = -22, K_LEFT = -23, K_END = -24, K_HOME = -25,
  K_INSERT = -26, K_DELETE = -27, K_PAGE_UP = -28, K_PAGE_DOWN = -29,
  K_F1 = -31, K_F12 = -42,
};

// What a backend event's fields are read from while its dispatch runs.
struct Record {
  Cell face;          // the target widget's face cell (none without one)
  float x = 0, y = 0; // relative to the target, in cells
  int32_t key = 0;    // key code (special keys negative), or the picked integer
  float wheel = 0;    // +1.0 one notch up, -1.0 one notch down
};

// Opens a dispatch record and answers its id; close() ends it, after which events
// naming it read none for its fields. Records nest (an actor may run a nested loop).
uint32_t open_record(const Record& record);
void close_record(uint32_t id);
// The record while it is open, else nullptr.
const Record* find_record(uint32_t id);

// A backend event naming an open record.
Cell backend_event(uint32_t type, uint32_t record_id, uint32_t flags);

// The type word's event type number, 0 for a word not in the table.
uint32_t type_of_word(uint32_t symbol);
// The symbol of an event type number, 0 outside 1 to 38.
uint32_t type_word(uint32_t type);

void init();   // registers event!

}  // namespace zol::view::event
