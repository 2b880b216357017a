// The word family and issue!: makers, compiled-code helpers and actions (see word.h).
#include "runtime/datatypes/word.h"

#include <cstring>
#include <utility>

#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/core/root.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol {
namespace word {

bool startup = false;
int (*scan_type)(const uint8_t*, uint32_t) = nullptr;
Cell* (*from_text)(Cell*, int) = nullptr;

namespace {

Cell retyped(Cell w, uint8_t type) {
  cell::set_type(&w, type);
  return w;
}

Cell kept(const Cell& w) {
  if (startup) copy_to_startup(&w);
  return w;
}

[[noreturn]] void bad_to_arg(int type, const Cell* spec) {
  Cell target = values::of_datatype(uint8_t(type));
  fire(err::script::BAD_TO_ARG, &target, spec);
}

Cell* global_word_at(uint32_t symbol, Cell* out) {
  cell::set(out, T_UNSET, context::global, symbol, uint32_t(-1));
  cell::set_type(out, T_WORD);
  out->w3 = uint32_t(context::add_word(context::global, out));
  return out;
}

// --- actions ----------------------------------------------------------------------------

// Appends the spelling; answers the characters appended.
int append_spelling(const Cell* word, Cell* out) {
  NodeRef name = symbol::get(word_cell::symbol(word))->w2;
  SeriesBuffer* from = memory::buffer_of(name);
  SeriesBuffer* to = memory::buffer_of(out->w2);
  uint32_t unit = from->unit();
  int count = 0;
  for (uint32_t at = from->offset; at < from->tail; at += unit, count++)
    to = string::append_char(to, string::get_char(memory::buffer_of(name)->data() + at, unit));
  return count;
}

int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  return limit - append_spelling(value, buffer);
}

struct Decoration {
  const char* before;
  const char* after;
};

Decoration decoration_of(uint8_t type) {
  switch (type) {
    case T_LIT_WORD: return {"'", ""};
    case T_SET_WORD: return {"", ":"};
    case T_GET_WORD: return {":", ""};
    case T_REFINEMENT: return {"/", ""};
    case T_ISSUE: return {"#", ""};
    default: return {"", ""};
  }
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  Decoration d = decoration_of(value->type());
  string::concatenate_literal(buffer, d.before);
  int spelled = append_spelling(value, buffer);
  string::concatenate_literal(buffer, d.after);
  return limit - spelled - int(std::strlen(d.before) + std::strlen(d.after));
}

bool word_or_lit(const Cell* a, const Cell* b) {
  auto plain = [](const Cell* c) { return c->is(T_WORD) || c->is(T_LIT_WORD); };
  return plain(a) && plain(b);
}

int unequal(bool equal) { return equal ? 0 : 1; }

int compare(const Cell* a, const Cell* b, int op) {
  if (!any_word(b->type()) || (b->is(T_ISSUE) && !a->is(T_ISSUE))) return COMPARE_NOT_COMPARABLE;
  uint32_t sa = word_cell::symbol(a), sb = word_cell::symbol(b);
  bool same_type = a->type() == b->type();
  bool same_family = symbol::resolve(sa) == symbol::resolve(sb);
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: case C_FIND: return unequal(same_family);
    case C_STRICT_EQUAL: return unequal(same_type && sa == sb);
    case C_SAME: return unequal(same_type && sa == sb && a->w1 == b->w1);
    case C_WORD_CASE: return unequal((word_or_lit(a, b) || same_type) && sa == sb);
    case C_WORD: return unequal((word_or_lit(a, b) || same_type) && same_family);
    default: return symbol::compare_names(sa, sb, op);
  }
}

// Like the series index? it reads its argument from the frame and answers there.
void index_of() {
  Cell* value = stack::arg(0);
  int32_t index = word_cell::index(value);
  *value = index < 0 ? values::none : values::integer(index + 1);
}

// A word type converted to another: the binding is kept, except that an issue! or
// refinement! (whose spelling may be anything) must be spelled as a word and is
// bound in the global context.
Cell* convert_word(Cell* spec, int type) {
  if (spec->is(T_ISSUE) || spec->is(T_REFINEMENT)) {
    int loads_as = lex_type(spec);
    if (loads_as != T_WORD && loads_as != T_SET_WORD && loads_as != T_GET_WORD &&
        loads_as != T_LIT_WORD)
      bad_to_arg(type, spec);
    int32_t found = context::find_word(context::global, word_cell::symbol(spec), true);
    if (found >= 0) {
      spec->w1 = context::global;
      spec->w3 = context::get_word(context::global, found)->w3;
    }
  }
  cell::set_type(spec, uint8_t(type));
  return spec;
}

Cell* make(Cell*, Cell* spec, int type) {
  switch (spec->type()) {
    case T_WORD: case T_SET_WORD: case T_LIT_WORD: case T_GET_WORD: case T_REFINEMENT: case T_ISSUE:
      return convert_word(spec, type);
    case T_STRING: case T_CHAR:
      if (!from_text) fire(err::internal::FEATURE_NA);
      return from_text(spec, type);
    case T_DATATYPE: {
      uint32_t name = datatype::info(uint8_t(spec->w1)).word_symbol;
      if (!name) bad_to_arg(type, spec);
      *spec = retyped(make_global(name), uint8_t(type));
      return spec;
    }
    case T_LOGIC:
      make_at(logic::get(spec) ? words::true_ : words::false_, spec);
      cell::set_type(spec, uint8_t(type));
      return spec;
    default:
      bad_to_arg(type, spec);
  }
}

}  // namespace

void init() {
  using datatype::make_row;
  datatype::register_type(T_WORD, T_SYMBOL, "word!",
                          make_row(nullptr, {slot_entry<A_MAKE>(make),
                                             slot_entry<A_TO>(make),
                                             slot_entry<A_FORM>(form),
                                             slot_entry<A_MOLD>(mold),
                                             slot_entry<A_COMPARE>(compare),
                                             slot_entry<A_INDEX_Q>(index_of)}));
  for (auto [type, name] : {std::pair{T_LIT_WORD, "lit-word!"}, std::pair{T_SET_WORD, "set-word!"},
                            std::pair{T_GET_WORD, "get-word!"}})
    datatype::register_type(type, T_WORD, name, make_row(INHERIT, {slot_entry<A_MOLD>(mold)}));
  datatype::register_type(T_REFINEMENT, T_WORD, "refinement!",
                          make_row(INHERIT, {slot_entry<A_MOLD>(mold), {A_INDEX_Q, nullptr}}));
}

// --- makers ----------------------------------------------------------------------------------

Cell load(const char* name, uint8_t type) {
  return kept(retyped(context::add_global(symbol::make(name)), type));
}

Cell make_global(uint32_t symbol) { return kept(context::add_global(symbol)); }

void load_into(const char* name, NodeRef block, uint8_t type) {
  Cell w;
  global_word_at(symbol::make(name), &w);
  *memory::alloc_tail_cell(block) = retyped(w, type);
}

Cell* make_at(uint32_t symbol, Cell* out) { return global_word_at(symbol, out); }
Cell* make_in_arg(uint32_t symbol) { return make_at(symbol, stack::arguments); }

Cell* push_symbol(uint32_t symbol) {
  Cell w;
  return stack::push(make_at(symbol, &w));
}

Cell* push(const Cell* word, uint8_t type) {
  Cell w = retyped(*word, type);
  return stack::push(&w);
}

void copy_to_startup(const Cell* word) {
  Cell w = *word;
  *memory::alloc_tail_cell(runtime::root_block) = w;
}

// --- compiled-code helpers ----------------------------------------------------------------

Cell* get_local(NodeRef ctx, int32_t index) { return context::get_word(ctx, index); }

Cell* push_local(NodeRef ctx, int32_t index, uint8_t type) { return push(get_local(ctx, index), type); }

namespace {
Cell* local_slot(NodeRef ctx, int32_t index) {
  Cell* base = context::values_base(ctx);
  if (!base) fire(err::script::NOT_DEFINED, get_local(ctx, index));
  return base + index;
}

Cell* owned_local(NodeRef ctx, int32_t index) {
  Cell* slot = local_slot(ctx, index);
  if (!context::values_on_stack(ctx) && context::kind_of(ctx) == context::OBJECT)
    get_local(ctx, index)->header |= context::OWNED_SLOT;
  return slot;
}
}  // namespace

Cell* push_value(NodeRef ctx, int32_t index) { return stack::push(local_slot(ctx, index)); }
Cell* copy_local(NodeRef ctx, int32_t index) { return stack::push(owned_local(ctx, index)); }
Cell* copy_local_to_arg(NodeRef ctx, int32_t index) { return stack::set_last(owned_local(ctx, index)); }

Cell get_word_or_global(NodeRef ctx, uint32_t symbol) {
  int32_t found = context::find_word(ctx, symbol, false);
  return found >= 0 ? *get_local(ctx, found) : make_global(symbol);
}

Cell* get_symbol_record(const Cell* word) { return symbol::get(word_cell::symbol(word)); }

Cell* set_arg() {
  if (stack::arg(1)->is(T_UNSET)) fire(err::script::NEED_VALUE, stack::arg(0));
  context::set(stack::arg(0), stack::arg(1));
  return stack::set_last(stack::arg(1));
}

Cell* get_arg() { return stack::set_last(context::get(stack::arg(0))); }

Cell* get_value(const Cell* word) { return stack::push(context::get(word)); }

Cell* get_checked(const Cell* word) {
  Cell* value = context::get(word);
  if (value->is(T_UNSET)) fire(err::script::NO_VALUE, word);
  return stack::push(value);
}

Cell* to_string(const Cell* word) {
  // A copy: a caller that edits the text must not change how the word is spelled.
  NodeRef name = symbol::get(word_cell::symbol(word))->w2;
  Cell text{T_STRING, 0, memory::copy_series(memory::buffer_of(name)), 0};
  return stack::push(&text);
}

int lex_type(const Cell* word) {
  if (!scan_type) fire(err::internal::FEATURE_NA);
  uint32_t symbol = word_cell::symbol(word);
  return scan_type(reinterpret_cast<const uint8_t*>(symbol::get_c_string(symbol)),
                   symbol::name_length(symbol));
}

}  // namespace word

namespace refinement {
Cell load(const char* name) {
  Cell r{T_REFINEMENT, 0, symbol::make(name), uint32_t(-1)};
  word::copy_to_startup(&r);
  return r;
}
}  // namespace refinement

namespace issue {
namespace {

size_t encode_utf8(uint32_t cp, uint8_t* out) {
  if (cp < 0x80) { out[0] = uint8_t(cp); return 1; }
  if (cp < 0x800) { out[0] = uint8_t(0xC0 | cp >> 6); out[1] = uint8_t(0x80 | (cp & 63)); return 2; }
  if (cp < 0x10000) {
    out[0] = uint8_t(0xE0 | cp >> 12); out[1] = uint8_t(0x80 | ((cp >> 6) & 63));
    out[2] = uint8_t(0x80 | (cp & 63));
    return 3;
  }
  out[0] = uint8_t(0xF0 | cp >> 18); out[1] = uint8_t(0x80 | ((cp >> 12) & 63));
  out[2] = uint8_t(0x80 | ((cp >> 6) & 63)); out[3] = uint8_t(0x80 | (cp & 63));
  return 4;
}

Cell* issue_at(Cell* out, uint32_t symbol) {
  cell::set(out, T_ISSUE, context::global, symbol, uint32_t(-1));
  return out;
}

// Text becomes an issue as it stands: no spelling check.
Cell* make(Cell* proto, Cell* spec, int type) {
  if (word::any_word(spec->type())) {
    cell::set_type(spec, T_ISSUE);
    return spec;
  }
  if (spec->is(T_STRING)) return issue_at(spec, symbol::make_from_string(spec));
  if (spec->is(T_CHAR)) {
    uint8_t bytes[4];
    return issue_at(spec, symbol::make_len(bytes, uint32_t(encode_utf8(spec->w2, bytes))));
  }
  return word::make(proto, spec, type);
}

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_ISSUE)) return COMPARE_NOT_COMPARABLE;
  return word::compare(a, b, op);
}

}  // namespace

void init() {
  datatype::register_type(T_ISSUE, T_WORD, "issue!",
                          datatype::make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_TO>(make),
                                                       slot_entry<A_MOLD>(word::mold),
                                                       slot_entry<A_COMPARE>(compare),
                                                       {A_INDEX_Q, nullptr}}));
}

Cell* load(Cell* out, const char* name) { return issue_at(out, symbol::make(name)); }

Cell* load_startup(const char* name) {
  Cell i;
  load(&i, name);
  if (word::startup) {
    word::copy_to_startup(&i);
    return memory::buffer_of(runtime::root_block)->cell_tail() - 1;
  }
  return stack::push(&i);
}

void load_into(const char* name, NodeRef block) {
  Cell i;
  load(&i, name);
  *memory::alloc_tail_cell(block) = i;
}

}  // namespace issue
}  // namespace zol
