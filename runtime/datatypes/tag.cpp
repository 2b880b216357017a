// tag!, email! and ref!: their texts and the email! path step (see tag.h).
#include "runtime/datatypes/tag.h"

#include <algorithm>

#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/string/string.h"

namespace zol {

namespace {

// The slots the three leave unsupported: those of random, the path assignment and
// the ports, and sort and trim.
constexpr int UNSUPPORTED[] = {A_RANDOM, A_SET_PATH, A_SORT, A_TRIM, A_CREATE, A_CLOSE, A_DELETE,
                               A_OPEN, A_OPEN_Q, A_QUERY, A_READ, A_RENAME, A_UPDATE, A_WRITE};

datatype::ActionRow row_of(std::initializer_list<ActionEntry> own) {
  datatype::ActionRow row = datatype::make_row(INHERIT, own);
  for (int slot : UNSUPPORTED) row.slots[slot - 1] = nullptr;
  return row;
}

// The text between a prefix and a suffix, the text cut to the budget left for it.
int decorated(const Cell* value, Cell* out, const char* before, const char* after,
              const Cell* part_arg, int limit) {
  string::concatenate_literal(out, before);
  int left = string::form(value, out, part_arg, limit - 1);
  string::concatenate_literal(out, after);
  return left;
}

int tag_text(const Cell* tag, Cell* out, const Cell* part_arg, int limit) {
  return decorated(tag, out, "<", ">", part_arg, limit) - 1;
}

int tag_mold(const Cell* tag, Cell* out, const MoldOptions& how, int limit) {
  return tag_text(tag, out, how.part, limit);
}

int email_mold(const Cell* email, Cell* out, const MoldOptions& how, int limit) {
  return string::form(email, out, how.part, limit);
}

int ref_mold(const Cell* ref, Cell* out, const MoldOptions& how, int limit) {
  return decorated(ref, out, "@", "", how.part, limit);
}

// --- email! path step -----------------------------------------------------------------------

bool is_word_named(const Cell* element, uint32_t known) {
  return element->is(T_WORD) &&
         symbol::resolve(word_cell::symbol(element)) == symbol::resolve(known);
}

// The characters before the first "@" (all of them when there is none).
int32_t user_length(const Cell* email) {
  string::Text t = string::view(email);
  int32_t at = 0;
  while (at < t.length && t[at] != '@') at++;
  return at;
}

// [start, start + count) of the email, from its head.
struct Part {
  int32_t start, count;
};

Part part_named(const Cell* email, bool user) {
  int32_t split = user_length(email);
  if (user) return {0, split};
  int32_t after = std::min(split + 1, string::length(email));
  return {after, string::length(email) - after};
}

Cell* email_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  if (element->is(T_INTEGER)) return string::eval_path(parent, element, value, path);
  bool user = is_word_named(element, words::user);
  if (!user && !is_word_named(element, words::host)) {
    Cell where = path ? *path : values::none;
    fire(err::script::INVALID_PATH, &where, element);
  }
  Part part = part_named(parent, user);
  Cell at = *parent;
  series_cell::set_head(&at, series::head_index(parent) + part.start);
  if (value) {
    string::change(&at, value, part.count, false, 1);
    return value;
  }
  Cell count = values::integer(part.count);
  Cell text = series::copy_units(&at, &count);
  *parent = Cell{T_STRING, 0, series_cell::node(&text), 0};
  return parent;
}

}  // namespace

namespace tag {
void init() {
  datatype::register_type(T_TAG, T_STRING, "tag!",
                          row_of({slot_entry<A_FORM>(tag_text), slot_entry<A_MOLD>(tag_mold)}));
}
Cell* push(const Cell* tag) { return stack::push(tag); }
}  // namespace tag

namespace email {
void init() {
  datatype::register_type(T_EMAIL, T_STRING, "email!",
                          row_of({slot_entry<A_MOLD>(email_mold),
                                  slot_entry<A_EVAL_PATH>(email_path)}));
}
Cell* push(const Cell* email) { return stack::push(email); }
}  // namespace email

namespace ref {
void init() {
  datatype::register_type(T_REF, T_STRING, "ref!",
                          row_of({slot_entry<A_MOLD>(ref_mold),
                                  {A_EVAL_PATH, nullptr},
                                  {A_APPEND, nullptr}}));
}
Cell* push(const Cell* ref) { return stack::push(ref); }
}  // namespace ref

}  // namespace zol
