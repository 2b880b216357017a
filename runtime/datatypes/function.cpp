// function! and routine! (see function.h): making them from specs, the spec
// checks, the locals of `function`, and their actions.
#include "runtime/datatypes/function.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol {
namespace {

// --- block walking -----------------------------------------------------------------------

int32_t head_of(const Cell* blk) { return std::max(series_cell::head(blk), 0); }
int32_t length_of(const Cell* blk) { return int32_t(block::buffer(blk)->length()); }
using block::cell_at;

bool is_symbol(const Cell* c, uint32_t known) {
  return symbol::resolve(word_cell::symbol(c)) == symbol::resolve(known);
}

bool is_local_refinement(const Cell* c) { return c->is(T_REFINEMENT) && is_symbol(c, words::local); }
bool is_argument_word(uint8_t t) { return t == T_WORD || t == T_LIT_WORD || t == T_GET_WORD; }

// A block from its head (a head past the tail clipped to the tail), copied when the
// head is not 0 so that the result starts at index 0.
Cell from_head(const Cell* blk) {
  Cell b = *blk;
  int32_t head = std::min(head_of(&b), length_of(&b));
  if (head == 0) {
    series_cell::set_head(&b, 0);
    return b;
  }
  series_cell::set_head(&b, head);
  Cell copy = *block::clone(&b, false, false);
  stack::pop(1);
  copy.header = blk->type();
  return copy;
}

[[noreturn]] void bad_func_def(const Cell* what) {
  fire(err::script::BAD_FUNC_DEF, what);
}

NodeRef new_more_block() {
  NodeRef more = memory::alloc_unset_cells(function::MORE_CELLS);
  memory::buffer_of(more)->tail = function::MORE_CELLS * sizeof(Cell);
  return more;
}

// --- actions --------------------------------------------------------------------------------

Cell* make_action(Cell* proto, Cell* spec, int) {
  if (!spec->is(T_BLOCK) || block::length(spec) != 2) bad_func_def(spec);
  Cell pair = *spec;
  Cell fn_spec = *cell_at(&pair, head_of(&pair));
  Cell fn_body = *cell_at(&pair, head_of(&pair) + 1);
  if (!fn_spec.is(T_BLOCK) || !fn_body.is(T_BLOCK)) bad_func_def(spec);
  *proto = function::make(&fn_spec, &fn_body);
  return proto;
}

// The context's words, copied, each bound to the context.
Cell bound_words(NodeRef ctx) {
  NodeRef copy = memory::copy_series(context::get_words(ctx));
  SeriesBuffer* b = memory::buffer_of(copy);
  for (Cell* w = b->cells(); w < b->cell_tail(); w++) w->w1 = ctx;
  return Cell{T_BLOCK, 0, copy, 0};
}

int form_function(const Cell*, Cell* buffer, const Cell*, int limit) {
  return string::append_text(buffer, "?function?", limit);
}

// "<prefix> <spec> <body>", or "<prefix> <spec> none" without a body.
int mold_callable(const Cell* fn, const char* prefix, Cell* buffer, const MoldOptions& how,
                  int limit) {
  Cell spec = function::spec_of(fn);
  Cell body = *function::more(fn, function::MORE_BODY);
  limit = string::append_text(buffer, prefix, limit);
  limit = block::mold(&spec, buffer, how.element(), limit);
  if (!body.is(T_BLOCK)) return string::append_text(buffer, " none", limit);
  limit = string::append_text(buffer, " ", limit);
  return block::mold(&body, buffer, how.element(), limit);
}

int mold_function(const Cell* fn, Cell* buffer, const MoldOptions& how, int limit) {
  return mold_callable(fn, "func ", buffer, how, limit);
}

// --- collecting the locals of `function` ------------------------------------------------------

struct Collector {
  std::vector<uint32_t> ignore;      // resolved symbols never collected
  std::vector<uint32_t> collected;   // symbols collected, in order

  bool knows(uint32_t s) const {
    uint32_t r = symbol::resolve(s);
    return std::find(ignore.begin(), ignore.end(), r) != ignore.end();
  }
  void collect(const Cell* w) {
    uint32_t s = word_cell::symbol(w);
    if (knows(s)) return;
    ignore.push_back(symbol::resolve(s));
    collected.push_back(s);
  }

  bool is_word_named(const Cell* c, uint32_t known) { return c->is(T_WORD) && is_symbol(c, known); }

  // Collects the set-words of a block (nested blocks and parens too) and the words
  // that foreach, remove-each and repeat set.
  void walk(const Cell* blk) {
    Cell b = *blk;
    for (int32_t i = head_of(&b); i < length_of(&b); i++) {
      Cell v = *cell_at(&b, i);
      bool has_next = i + 1 < length_of(&b);
      Cell next = has_next ? *cell_at(&b, i + 1) : values::none;
      if (v.is(T_SET_WORD)) {
        collect(&v);
      } else if (v.is(T_BLOCK) || v.is(T_PAREN)) {
        walk(&v);
      } else if (is_word_named(&v, words::foreach) || is_word_named(&v, words::remove_each)) {
        if (next.is(T_BLOCK)) {
          for (int32_t j = head_of(&next); j < length_of(&next); j++) {
            Cell w = *cell_at(&next, j);
            if (is_argument_word(w.type())) collect(&w);
          }
        } else if (next.is(T_WORD) || next.is(T_SET_WORD)) {
          collect(&next);
        }
      } else if (is_word_named(&v, words::repeat) && (next.is(T_WORD) || next.is(T_SET_WORD))) {
        collect(&next);
      }
    }
  }
};

bool extern_value_allowed(uint8_t t) {
  return t == T_WORD || t == T_BLOCK || t == T_STRING || t == T_SET_WORD || t == T_LIT_WORD ||
         t == T_GET_WORD || t == T_REFINEMENT;
}

int32_t find_refinement(const Cell* spec, uint32_t known) {
  for (int32_t i = head_of(spec); i < length_of(spec); i++) {
    Cell* c = cell_at(spec, i);
    if (c->is(T_REFINEMENT) && is_symbol(c, known)) return i;
  }
  return -1;
}

void append_word(Cell* spec, uint32_t symbol, uint8_t type) {
  Cell w{type, 0, symbol, 0xFFFFFFFFu};
  block::append(spec, &w);
}

}  // namespace

namespace function {

Cell* reflect(Cell* value, uint32_t field) {
  uint32_t f = symbol::resolve(field);
  uint8_t kind = value->is(T_OP) ? native::op_kind(value) : value->type();
  bool has_body = kind == T_FUNCTION || kind == T_ROUTINE;
  if (f == symbol::resolve(words::spec)) {
    *value = Cell{T_BLOCK, 0, value->w2, 0};
  } else if (f == symbol::resolve(words::body)) {
    if (has_body) *value = *more(value, MORE_BODY);
    else *value = values::integer(int32_t(value->w1) + 1);
  } else if (f == symbol::resolve(words::words_) && has_body && !value->is(T_OP)) {
    *value = bound_words(value->w1);
  } else {
    fire(err::internal::NOT_DONE);
  }
  return value;
}

void init() {
  using datatype::make_row;
  datatype::register_type(T_FUNCTION, T_CONTEXT, "function!",
                          make_row(nullptr, {slot_entry<A_MAKE>(make_action),
                                             slot_entry<A_REFLECT>(reflect),
                                             slot_entry<A_FORM>(form_function),
                                             slot_entry<A_MOLD>(mold_function),
                                             slot_entry<A_COMPARE>(compare_callables)}));
}

int compare_callables(const Cell* a, const Cell* b, int op) {
  if (a->type() != b->type()) return COMPARE_NOT_COMPARABLE;
  switch (op) {
    case C_EQUAL: case C_NOT_EQUAL: case C_STRICT_EQUAL: case C_SORT: case C_CASE_SORT:
    case C_SAME: case C_FIND:
      return a->w3 < b->w3 ? -1 : a->w3 > b->w3 ? 1 : 0;
    default:
      return COMPARE_NOT_COMPARABLE;
  }
}

Cell make(const Cell* spec_in, const Cell* body_in) {
  Cell spec = from_head(spec_in);
  Cell body = body_in ? from_head(body_in) : values::none;
  validate_spec(&spec);
  uint32_t flags = 0;
  if (length_of(&spec) > 0 && cell_at(&spec, 0)->is(T_BLOCK)) {
    Cell attrs = *cell_at(&spec, 0);
    flags = uint32_t(attributes(&attrs));
  }
  NodeRef more_node = new_more_block();
  NodeRef ctx = context::make_from_spec(&spec, true, false, 0, 0);
  Cell fn{T_FUNCTION | flags, ctx, series_cell::node(&spec), more_node};
  context::record_of(ctx)[1] = fn;
  *more(&fn, MORE_BODY) = body;
  if (body.is(T_BLOCK)) context::bind(&body, ctx, false);
  return fn;
}

int attributes(const Cell* blk) {
  int flags = 0;
  for (int32_t i = head_of(blk); i < length_of(blk); i++) {
    Cell* c = cell_at(blk, i);
    if (!c->is(T_WORD)) return -1;
    if (is_symbol(c, words::trace_)) flags |= FLAG_TRACE;
    else if (is_symbol(c, words::no_trace)) flags |= FLAG_NO_TRACE;
  }
  return flags;
}

void check_type_block(const Cell* types) {
  for (int32_t i = head_of(types); i < length_of(types); i++) {
    Cell c = *cell_at(types, i);
    bool ok = false;
    if (c.is(T_WORD) && word_cell::context(&c) && word_cell::index(&c) >= 0) {
      const Cell* v = context::get(&c);
      ok = v->is(T_DATATYPE) || v->is(T_TYPESET);
    }
    if (!ok) fire(err::script::INVALID_TYPE_SPEC, &c);
  }
}

void check_duplicates(const Cell* spec) {
  std::vector<uint32_t> seen;
  for (int32_t i = head_of(spec); i < length_of(spec); i++) {
    Cell c = *cell_at(spec, i);
    if (!is_argument_word(c.type()) && !c.is(T_REFINEMENT)) continue;
    uint32_t s = symbol::resolve(word_cell::symbol(&c));
    if (std::find(seen.begin(), seen.end(), s) != seen.end())
      fire(err::script::DUP_VARS, &c);
    seen.push_back(s);
  }
}

void validate_spec(const Cell* spec_in) {
  Cell spec = *spec_in;
  int32_t n = length_of(&spec);
  int32_t i = head_of(&spec);
  auto type_at = [&](int32_t k) -> uint8_t {
    return k < n ? cell_at(&spec, k)->type() : uint8_t(T_EMPTY);
  };
  if (type_at(i) == T_BLOCK) {
    Cell attrs = *cell_at(&spec, i);
    if (attributes(&attrs) < 0) bad_func_def(&spec);
    i++;
  }
  bool after_local = false;
  for (; i < n; i++) {
    Cell v = *cell_at(&spec, i);
    switch (v.type()) {
      case T_WORD: case T_LIT_WORD: case T_GET_WORD:
        if (after_local && !v.is(T_WORD)) bad_func_def(&spec);
        if (type_at(i + 1) == T_BLOCK) {
          Cell types = *cell_at(&spec, i + 1);
          check_type_block(&types);
          i++;
        } else if (type_at(i + 1) == T_STRING && type_at(i + 2) == T_BLOCK) {
          bad_func_def(&spec);
        }
        break;
      case T_REFINEMENT: {
        bool local = is_local_refinement(&v);
        if (after_local && !local) bad_func_def(&spec);
        after_local |= local;
        uint8_t next = type_at(i + 1);
        if (next != T_EMPTY && !is_argument_word(next) && next != T_REFINEMENT &&
            next != T_SET_WORD && next != T_STRING)
          bad_func_def(&spec);
        break;
      }
      case T_SET_WORD: {
        if (after_local || !is_symbol(&v, words::return_) || type_at(i + 1) != T_BLOCK)
          bad_func_def(&spec);
        uint8_t after = type_at(i + 2);
        if (after != T_EMPTY && after != T_REFINEMENT && after != T_STRING) bad_func_def(&spec);
        Cell types = *cell_at(&spec, i + 1);
        check_type_block(&types);
        i++;
        break;
      }
      case T_STRING:
        break;
      default:
        bad_func_def(&spec);
    }
  }
  check_duplicates(&spec);
}

void collect_words(Cell* spec, const Cell* body) {
  Collector c;
  for (int32_t i = head_of(spec); i < length_of(spec); i++) {
    Cell* v = cell_at(spec, i);
    if (is_argument_word(v->type()) || v->is(T_SET_WORD) || v->is(T_REFINEMENT))
      c.ignore.push_back(symbol::resolve(word_cell::symbol(v)));
  }
  int32_t ext = find_refinement(spec, words::extern_);
  if (ext >= 0) {
    for (int32_t i = head_of(spec); i < length_of(spec); i++) {
      Cell v = *cell_at(spec, i);
      if (!extern_value_allowed(v.type())) fire(err::script::BAD_FUNC_EXTERN, &v);
    }
    Cell rest = *spec;
    series_cell::set_head(&rest, ext + 1);
    int32_t local = find_refinement(&rest, words::local);
    if (local >= 0)
      for (int32_t i = local + 1; i < length_of(spec); i++) {
        Cell w = *cell_at(spec, i);
        if (w.is(T_WORD)) c.collected.push_back(word_cell::symbol(&w));
      }
    SeriesBuffer* b = block::buffer(spec);
    b->set_tail(b->offset + uint32_t(ext) * sizeof(Cell));
  }
  c.walk(body);
  auto named_local = [](uint32_t s) {
    return symbol::resolve(s) == symbol::resolve(words::local);
  };
  c.collected.erase(std::remove_if(c.collected.begin(), c.collected.end(), named_local),
                    c.collected.end());
  if (c.collected.empty()) return;
  if (find_refinement(spec, words::local) < 0) append_word(spec, words::local, T_REFINEMENT);
  for (uint32_t s : c.collected) append_word(spec, s, T_WORD);
}

int32_t count_locals(const Cell* spec, int32_t start, bool must_exist) {
  Cell from = *spec;
  series_cell::set_head(&from, start);
  int32_t at = find_refinement(&from, words::local);
  if (at < 0) return must_exist ? -1 : 0;
  int32_t n = 1;
  for (int32_t i = at + 1; i < length_of(spec) && !cell_at(spec, i)->is(T_SET_WORD); i++)
    if (cell_at(spec, i)->is(T_WORD)) n++;
  return n;
}

void init_locals(int32_t n) {
  stack::push(&values::false_value);
  for (int32_t i = 1; i < n; i++) stack::push(&values::none);
}

}  // namespace function

// --- routine! ----------------------------------------------------------------------------------

namespace routine {
namespace {

struct Bound {
  std::string name;
  Entry fn;
  int arg_count;
};
std::vector<Bound> table;

constexpr int ARG_COUNT_SHIFT = 25;

int form_routine(const Cell*, Cell* buffer, const Cell*, int limit) {
  return string::append_text(buffer, "?routine?", limit);
}

int mold_routine(const Cell* r, Cell* buffer, const MoldOptions& how, int limit) {
  return mold_callable(r, "routine ", buffer, how, limit);
}

}  // namespace

void init() {
  using datatype::make_row;
  datatype::register_type(T_ROUTINE, T_FUNCTION, "routine!",
                          make_row(INHERIT, {{A_MAKE, nullptr},
                                             slot_entry<A_FORM>(form_routine),
                                             slot_entry<A_MOLD>(mold_routine),
                                             slot_entry<A_COMPARE>(function::compare_callables)}));
}

bool library_building = false;

int32_t add_entry(const char* name, Entry fn, int arg_count) {
  for (size_t i = 0; i < table.size(); i++)
    if (table[i].name == name) return int32_t(i);   // a runtime started again
  table.push_back({name, fn, arg_count});
  return int32_t(table.size()) - 1;
}

Cell make(const Cell* spec_in, const Cell* body_in, uint8_t return_type) {
  Cell body = from_head(body_in);
  const Cell* name = length_of(&body) > 0 ? cell_at(&body, 0) : nullptr;
  if (!name || !name->is(T_WORD)) fire(err::script::BAD_FUNC_DEF, &body);
  std::string spelling = symbol::get_c_string(word_cell::symbol(name));
  int32_t entry = -1;
  for (size_t i = 0; i < table.size(); i++)
    if (table[i].name == spelling) entry = int32_t(i);
  Cell spec = from_head(spec_in);
  int count = 0;
  for (int32_t i = 0; i < length_of(&spec); i++) count += cell_at(&spec, i)->is(T_WORD);
  if (entry < 0 || table[size_t(entry)].arg_count != count) {
    Cell word = *name;
    fire(err::script::BAD_FUNC_DEF, &word);
  }
  NodeRef more_node = new_more_block();
  NodeRef ctx = context::make_from_spec(&spec, true, false, 0, 0);
  Cell r{T_ROUTINE | BUILT_IN | uint32_t(count & 31) << ARG_COUNT_SHIFT, ctx,
         series_cell::node(&spec), more_node};
  context::record_of(ctx)[1] = r;
  *function::more(&r, function::MORE_BODY) = body;
  *function::more(&r, function::MORE_ENTRY) = values::integer(entry);
  *function::more(&r, function::MORE_METHOD) = values::integer(return_type);
  return r;
}

int arg_count(const Cell* r) { return int(r->header >> ARG_COUNT_SHIFT) & 31; }

void exec(const Cell* r) {
  Entry fn = table[size_t(cell::get_int(function::more(r, function::MORE_ENTRY)))].fn;
  Cell* args[32];
  for (int i = 0; i < arg_count(r); i++) args[i] = stack::arguments + i;
  const Cell* result = fn(args);
  Cell value = result ? *result : values::unset;
  stack::set_last(&value);
}

}  // namespace routine
}  // namespace zol
