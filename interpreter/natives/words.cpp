// The natives that read and write words (get, set, value?, unset, bind, in,
// context?, construct), look at types (type?, as), build blocks by evaluation
// (reduce, compose, new-line, new-line?) and print (print, prin).
#include <string>

#include "runtime/text/printers.h"
#include "runtime/core/actions.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/stack.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/ownership.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::natives {
namespace {

using stack::arg;
bool used(int refinement) { return refinement >= 0; }

bool is_any_path(uint8_t t) { return t >= T_PATH && t <= T_GET_PATH; }
bool is_any_string(uint8_t t) {
  return t == T_STRING || t == T_FILE || t == T_URL || t == T_TAG || t == T_EMAIL || t == T_REF;
}
bool is_block_like(uint8_t t) { return t == T_BLOCK || t == T_PAREN || is_any_path(t); }
bool is_callable(uint8_t t) {
  return t == T_FUNCTION || t == T_NATIVE || t == T_ACTION || t == T_OP || t == T_ROUTINE;
}

Cell* cell_at(const Cell& blk, int32_t i) { return block::buffer(&blk)->cells() + i; }
int32_t head_of(const Cell& blk) { return series_cell::head(&blk) < 0 ? 0 : series_cell::head(&blk); }
int32_t end_of(const Cell& blk) { return int32_t(block::buffer(&blk)->length()); }

// Follows a path from its first word's value, step by step through each value's
// eval-path action, setting the last step to `value` when one is given.
Cell path_value(const Cell& path, Cell* value) {
  int32_t head = head_of(path), end = end_of(path);
  if (head >= end) fire(err::script::EMPTY_PATH, &path);
  Cell first = *cell_at(path, head);
  if (!first.is(T_WORD)) fire(err::script::WORD_FIRST, &path);
  if (head + 1 == end) {
    if (value) context::set(&first, value);
    return value ? *value : *context::get(&first);
  }
  Cell* parent = stack::push(context::get(&first));
  for (int32_t i = head + 1; i < end; i++) {
    Cell element = *cell_at(path, i);
    if (element.is(T_GET_WORD)) element = *context::get(&element);
    bool last = i + 1 == end;
    Cell p = path;
    Cell* r = actions::eval_path_typed(parent, &element, last ? value : nullptr, &p, i - head);
    if (!r) fire(err::script::INVALID_PATH, &p, &element);
    *parent = *r;
  }
  Cell result = *parent;
  stack::top = parent;
  return result;
}

// --- the multi-word assignment ----------------------------------------------------------

void set_words(const Cell& words, const Cell& value, bool any, bool only, bool some) {
  int32_t n = end_of(words) - head_of(words);
  bool spread = block::is_any_block(value.type()) && !only;
  for (int32_t i = 0; i < n; i++) {
    Cell w = *cell_at(words, head_of(words) + i);
    uint8_t t = w.type();
    if (t != T_WORD && t != T_SET_WORD && t != T_LIT_WORD && t != T_GET_WORD)
      fire(err::script::INVALID_ARG, &w);
    if (!spread || any) continue;
    int32_t at = head_of(value) + i;
    if (at < end_of(value) && cell_at(value, at)->is(T_UNSET))
      fire(err::script::NEED_VALUE, &w);
  }
  for (int32_t i = 0; i < n; i++) {
    Cell w = *cell_at(words, head_of(words) + i);
    int32_t at = head_of(value) + i;
    Cell v = !spread ? value : at < end_of(value) ? *cell_at(value, at) : values::none;
    if (some && v.is(T_NONE)) continue;
    context::set(&w, &v);
  }
}

// --- reduce and compose -----------------------------------------------------------------

// Where the values of reduce and compose go: a new block (fresh: they are added
// directly), or the /into target, appended when it is block-like, else inserted at
// its position, through the series actions, so that a hash! indexes them and an
// owner hears of the edit.
struct Output {
  Cell* target;
  bool append;
  bool fresh;

  void add(const Cell* value, bool only) {
    Cell v = *value;
    cell::set_new_line(&v, false);
    if (fresh) {
      block::append(target, &v);
    } else if (append) {
      Cell at = *target;   // append moves the head it is given; the result keeps its own
      actions::append_typed(&at, &v, -1, only, 1);
    } else {
      actions::insert_typed(target, &v, -1, only, 1);
    }
  }
};

Output output_into(Cell* result, int into) {
  if (!used(into)) return {result, true, true};
  *result = *arg(into);
  return {result, is_block_like(result->type()) || result->is(T_HASH), false};
}

void reduce_block(const Cell& source, Output& out) {
  Cell* scratch = stack::top;
  for (int32_t pos = head_of(source); pos < end_of(source);) {
    stack::top = scratch;
    pos = interpreter::eval_next(&source, pos);
    if (exits::pending) return;
    Cell v = *stack::top_value();
    stack::top = scratch;
    out.add(&v, true);
  }
}

void compose_block(const Cell& source, Output& out, bool deep, bool only) {
  for (int32_t i = head_of(source); i < end_of(source); i++) {
    Cell v = *cell_at(source, i);
    if (v.is(T_BLOCK) && deep) {
      Cell nested;
      block::make_at(&nested, end_of(v) - head_of(v));
      Output inner{&nested, true, true};
      compose_block(v, inner, true, only);
      out.add(&nested, true);
    } else if (v.is(T_PAREN)) {
      if (end_of(v) <= head_of(v)) continue;
      Cell body = v;
      body.header = (body.header & ~0xFFu) | T_BLOCK;
      Cell r = interpreter::do_block(&body);
      if (r.is(T_UNSET)) continue;
      if (only || !r.is(T_BLOCK)) {
        out.add(&r, true);
        continue;
      }
      for (int32_t j = head_of(r); j < end_of(r); j++) {
        Cell e = *cell_at(r, j);
        out.add(&e, true);
      }
    } else {
      out.add(&v, true);
    }
  }
}

// --- print --------------------------------------------------------------------------------

// Held by the root block, which pins it.
NodeRef print_buffer = 0;
constexpr int32_t PRINT_BUFFER_CELLS = 32;

Cell print_block() { return Cell{T_BLOCK, 0, print_buffer, 0}; }

// Forms the reduced values as print shows them: a space after each value but the
// last, except after text that ends a line.
Cell form_values(const Cell& values_block, int32_t from) {
  Cell text;
  string::make_at(&text, 64);
  for (int32_t i = from; i < end_of(values_block); i++) {
    Cell v = *cell_at(values_block, i);
    if (i > from) {
      std::string so_far = string::to_utf8(&text);
      char last = so_far.empty() ? 0 : so_far.back();
      if (last != '\t' && last != '\n' && last != '\r') string::concatenate_literal(&text, " ");
    }
    actions::form_typed(&v, &text, nullptr, 1 << 30);
  }
  return text;
}

void print_value(bool new_line) {
  Cell value = *arg(0);
  Cell text;
  if (value.is(T_BLOCK)) {
    Cell buffer = print_block();
    int32_t from = end_of(buffer);
    Output out{&buffer, true, true};
    // Whatever ends the reduction, the buffer loses what it added.
    struct Restore {
      NodeRef node;
      int32_t from;
      ~Restore() {
        SeriesBuffer* b = memory::buffer_of(node);
        b->set_tail(b->offset + uint32_t(from) * sizeof(Cell));
      }
    } restore{print_buffer, from};
    reduce_block(value, out);
    if (exits::pending) return;
    text = form_values(buffer, from);
  } else if (value.is(T_STRING)) {
    text = value;
  } else {
    text = actions::form_to_string(&value);
  }
  printers::run(&text, new_line);
  stack::set_last(&values::unset);
}

// The value that owns a context: the object, or the function.
Cell owner_of_context(NodeRef ctx) { return context::record_of(ctx)[1]; }

NodeRef context_named(const Cell& c) {
  if (c.is(T_FUNCTION) || c.is(T_OBJECT) || c.is(T_ERROR) || c.is(T_PORT) || c.is(T_ROUTINE))
    return c.w1;
  return word_cell::context(&c);
}

}  // namespace

NodeRef init() {
  print_buffer = memory::alloc_cells(PRINT_BUFFER_CELLS);
  return print_buffer;
}

void get(int, int any, int) {
  Cell target = *arg(0);
  if (is_any_path(target.type())) {
    Cell v = path_value(target, nullptr);
    stack::set_last(&v);
  } else if (target.is(T_OBJECT)) {
    stack::set_last(object::reflect(&target, words::values_));
  } else {
    Cell v = *context::get(&target);
    if (!used(any) && v.is(T_UNSET)) fire(err::script::NO_VALUE, &target);
    stack::set_last(&v);
  }
}

void set(int, int any, int, int only, int some) {
  Cell target = *arg(0);
  Cell value = *arg(1);
  if (!used(any) && value.is(T_UNSET)) fire(err::script::NEED_VALUE, &target);
  if (target.is(T_BLOCK)) {
    set_words(target, value, used(any), used(only), used(some));
  } else if (is_any_path(target.type())) {
    path_value(target, &value);
  } else if (target.is(T_OBJECT)) {
    object::set_many(&target, &value, used(any), used(only), used(some));
  } else {
    context::set(&target, &value);
  }
  stack::set_last(&value);
}

void value_q(int) {
  Cell v = *arg(0);
  if (v.is(T_WORD) || v.is(T_SET_WORD) || v.is(T_LIT_WORD) || v.is(T_GET_WORD)) {
    NodeRef ctx = word_cell::context(&v);
    if (!ctx || (word_cell::index(&v) < 0 && context::find_word(ctx, word_cell::symbol(&v), true) < 0)) {
      logic::box(false);
      return;
    }
    if (word_cell::index(&v) < 0) context::bind_word(ctx, &v);
    v = *context::get(&v);
  }
  logic::box(!v.is(T_UNSET));
}

void unset(int) {
  Cell target = *arg(0);
  if (target.is(T_WORD)) {
    context::set(&target, &values::unset);
  } else {
    for (int32_t i = head_of(target); i < end_of(target); i++) {
      Cell w = *cell_at(target, i);
      if (w.is(T_WORD)) context::set(&w, &values::unset);
    }
  }
  stack::set_last(&values::unset);
}

void bind(int, int copy) {
  Cell target = *arg(0);
  NodeRef ctx = context_named(*arg(1));
  if (!target.is(T_BLOCK)) {
    context::bind_word(ctx, &target);
    stack::set_last(&target);
    return;
  }
  if (used(copy)) target = *block::clone(&target, true, false);
  context::bind(&target, ctx, false);
  stack::set_last(&target);
}

void in(int) {
  NodeRef ctx = context_named(*arg(0));
  Cell w = *arg(1);
  if (context::find_word(ctx, word_cell::symbol(&w), true) < 0) {
    stack::set_last(&values::none);
    return;
  }
  if (w.is(T_REFINEMENT)) w.header = (w.header & ~0xFFu) | T_WORD;
  context::bind_word(ctx, &w);
  stack::set_last(&w);
}

void context_q(int) {
  Cell w = *arg(0);
  NodeRef ctx = word_cell::context(&w);
  Cell owner = ctx ? owner_of_context(ctx) : values::none;
  stack::set_last(&owner);
}

void construct(int, int with, int only) {
  Cell spec = *arg(0);
  Cell obj = object::construct(&spec, used(with) ? arg(with) : nullptr, used(only));
  stack::set_last(&obj);
}

void type_q(int, int word) {
  uint8_t t = arg(0)->type();
  if (!used(word)) {
    Cell type = values::of_datatype(t);
    stack::set_last(&type);
    return;
  }
  Cell w = word::make_global(datatype::info(t).word_symbol);
  stack::set_last(&w);
}

void as(int) {
  Cell type = *arg(0);
  Cell spec = *arg(1);
  uint8_t to = type.is(T_DATATYPE) ? uint8_t(type.w1) : type.type();
  uint8_t from = spec.type();
  bool related = (is_block_like(to) && is_block_like(from)) ||
                 (is_any_string(to) && is_any_string(from));
  if (!related) {
    Cell a = values::of_datatype(to), b = values::of_datatype(from);
    fire(err::script::NOT_RELATED, &a, &b);
  }
  spec.header = (spec.header & ~0xFFu) | to;
  stack::set_last(&spec);
}

void reduce(int, int into) {
  Cell value = *arg(0);
  Cell* result = stack::push(&values::none);
  if (value.is(T_BLOCK)) {
    if (!used(into)) block::make_at(result, end_of(value) - head_of(value));
    Output out = output_into(result, into);
    reduce_block(value, out);
    if (exits::pending) return;
  } else if (is_callable(value.type())) {
    *result = value;
  } else {
    Cell code;
    block::make_at(&code, 1);
    block::append(&code, &value);
    Cell v = interpreter::do_block(&code);
    if (!used(into)) {
      *result = v;
    } else {
      Output out = output_into(result, into);
      out.add(&v, true);
    }
  }
  Cell r = *result;
  stack::set_last(&r);
}

void compose(int, int deep, int only, int into) {
  Cell value = *arg(0);
  if (!value.is(T_BLOCK)) {
    Cell got = values::of_datatype(value.type()), want = values::of_datatype(T_BLOCK);
    fire(err::script::EXPECT_VAL, &got, &want);
  }
  Cell* result = stack::push(&values::none);
  if (!used(into)) block::make_at(result, end_of(value) - head_of(value));
  Output out = output_into(result, into);
  compose_block(value, out, used(deep), used(only));
  Cell r = *result;
  stack::set_last(&r);
}

void new_line(int, int all, int skip) {
  Cell position = *arg(0);
  bool on = logic::get(arg(1));
  int32_t size = 1;
  if (used(skip)) {
    size = cell::get_int(arg(skip));
    if (size <= 0) fire(err::script::OUT_OF_RANGE, arg(skip));
  }
  int32_t from = head_of(position), end = end_of(position);
  if (!used(all) && !used(skip)) end = from < end ? from + 1 : end;
  for (int32_t i = from; i < end; i++) {
    bool marker = used(skip) ? ((i - from) % size == 0) == on : on;
    cell::set_new_line(cell_at(position, i), marker);
  }
  stack::set_last(&position);
}

void new_line_q(int) {
  Cell position = *arg(0);
  bool at_tail = head_of(position) >= end_of(position);
  logic::box(!at_tail && cell::new_line(cell_at(position, head_of(position))));
}

void print(int) { print_value(true); }
void prin(int) { print_value(false); }

}  // namespace zol::natives
