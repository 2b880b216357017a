// handle! and triple!: their text and the handle comparison (see handle.h).
#include "runtime/datatypes/handle.h"

#include <cstdio>
#include <iterator>
#include <string>

#include "runtime/core/action_types.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/extref.h"

namespace zol {

namespace handle {
namespace {

const char* const KIND_NAMES[] = {
#define ZOL_HANDLE_KIND_NAME(id, name) name,
    ZOL_HANDLE_KINDS(ZOL_HANDLE_KIND_NAME)
#undef ZOL_HANDLE_KIND_NAME
};

int append(Cell* buffer, const std::string& text, int limit) {
  string::concatenate_literal_part(buffer, text.data(), uint32_t(text.size()));
  return limit - int(text.size());
}

// Eight upper-case hexadecimal digits and "h": 00001A2Bh.
std::string hex_text(const Cell* value) {
  char text[10];
  std::snprintf(text, sizeof text, "%08Xh", value->w2);
  return text;
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  return append(buffer, hex_text(value), limit);
}

// Only /all shows the value and the kind: #[handle! 00001A2Bh window].
int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  if (!how.all) return append(buffer, "handle!", limit);
  std::string text = "#[handle! " + hex_text(value);
  if (value->w1 > 0 && value->w1 < std::size(KIND_NAMES)) text += std::string(" ") + KIND_NAMES[value->w1];
  return append(buffer, text + "]", limit);
}

// The values compare as signed integers; the kind plays no part, and nothing but
// another handle is ever equal.
int compare(const Cell* a, const Cell* b, int) {
  if (!b->is(T_HANDLE)) return 1;
  int32_t x = int32_t(a->w2), y = int32_t(b->w2);
  return (x > y) - (x < y);
}

}  // namespace

Cell* make_at(Cell* c, uint32_t value, Kind kind) {
  return cell::set(c, T_HANDLE, kind, value, uint32_t(-1));
}

Cell* push(uint32_t value, Kind kind) {
  Cell c;
  return stack::push(make_at(&c, value, kind));
}

Cell* push_null() { return push(0, NONE); }

Cell* make_at_resource(Cell* c, uintptr_t resource, Kind kind, uint32_t handler) {
  int32_t slot = extref::alloc(resource, handler);
  return cell::set(c, T_HANDLE, kind, uint32_t(resource), uint32_t(slot));
}

uintptr_t resource(const Cell* c) {
  int32_t slot = int32_t(c->w3);
  return slot >= 0 ? extref::value(slot) : c->w2;
}

void init() {
  datatype::register_type(T_HANDLE, T_INTEGER, "handle!",
                          datatype::make_row(nullptr, {slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_COMPARE>(compare)}));
}

}  // namespace handle

namespace triple {
namespace {

// make triple! [1 -2 3]: the text says how the value would be written.
int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  std::string text = "make triple! [";
  const uint32_t words[3] = {value->w1, value->w2, value->w3};
  for (int i = 0; i < 3; i++) {
    char digits[12];
    text.append(digits, size_t(integer::form_signed(int32_t(words[i]), digits)));
    text += i < 2 ? " " : "]";
  }
  string::concatenate_literal_part(buffer, text.data(), uint32_t(text.size()));
  return limit - int(text.size());
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

}  // namespace

Cell* make_at(Cell* c, int32_t a, int32_t b, int32_t d) {
  return cell::set(c, T_TRIPLE, uint32_t(a), uint32_t(b), uint32_t(d));
}

void init() {
  datatype::register_type(T_TRIPLE, 0, "triple!",
                          datatype::make_row(nullptr, {slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold)}));
}

}  // namespace triple
}  // namespace zol
