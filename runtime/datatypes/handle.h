// handle! and triple!: two internal datatypes that the language holds and prints
// but cannot build from text (neither has make nor to).
//
// handle! cell: word 1 the kind (an index into the kind names below, 0 for none);
// word 2 the handle's value, its low 32 bits when it is wider; word 3 is -1, or the
// index of the external-reference slot that holds a wider value (an OS pointer or
// handle) and releases it when the last cell naming the slot is collected.
// triple! cell: words 1, 2 and 3 three signed 32-bit integers (the parse engine
// marks nested parses with one; the lexer marks open blocks with one).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::handle {

// The kinds a handle may name, as one list: ID, mold name.
#define ZOL_HANDLE_KINDS(X) \
  X(NONE, "") X(NULL_, "null") X(FD, "fd") X(MONITOR, "monitor") X(WINDOW, "window") \
  X(FONT, "font") X(RICH_TEXT, "rich-text") X(PORT_ACTOR, "port-actor")

enum Kind : uint32_t {
#define ZOL_HANDLE_KIND_ID(id, name) id,
  ZOL_HANDLE_KINDS(ZOL_HANDLE_KIND_ID)
#undef ZOL_HANDLE_KIND_ID
};

void init();
Cell* make_at(Cell* c, uint32_t value, Kind kind);
Cell* push(uint32_t value, Kind kind);
Cell* push_null();
// A handle holding a resource of any width through an external-reference slot
// released by `handler` (extref::register_handler); the slot is stored in the cell
// before anything else allocates.
Cell* make_at_resource(Cell* c, uintptr_t resource, Kind kind, uint32_t handler);
// The full value: the slot's resource when there is one, else word 2.
uintptr_t resource(const Cell* c);

}  // namespace zol::handle

namespace zol::triple {

void init();
Cell* make_at(Cell* c, int32_t a, int32_t b, int32_t d);

}  // namespace zol::triple
