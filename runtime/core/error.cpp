// fire(), error! values and the error report (see error.h).
//
// The catalogue is the library's: `system/catalog/errors` holds one object per
// category, in category order, whose words are `code`, `type` (the category's
// title) and then one word per id holding its message template. The runtime keeps
// the nodes of the errors object, the error prototype (`system/standard/error`)
// and the state object (`system/state`) and reads them by index. Before the
// bootstrap text has run there is no catalogue: errors then carry their code alone
// and their context is made from the field names.
#include "runtime/core/error.h"

#include "runtime/collector/collector.h"
#include "runtime/core/action_types.h"
#include "runtime/core/actions.h"
#include "runtime/core/callback.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/text/mold.h"

namespace zol {
namespace error {

Cell in_flight[IN_FLIGHT_CELLS] = {};
Cell* const last_args = in_flight;

namespace {

const char* const FIELD_NAMES[FIELD_COUNT] = {"code", "type", "id",    "arg1",  "arg2",
                                              "arg3", "near", "where", "stack", "files"};
// A report stays a few lines whatever it carries: an argument is cut at one line
// of an 80-column console, the near and files fields at half of one.
constexpr int ARGUMENT_LIMIT = 80;
constexpr int NEAR_LIMIT = 40;
// The cells a stack trace block starts with: a few frames' names and positions.
constexpr int STACK_CAPACITY = 20;

// The system's objects, as context nodes (0 until bind_system).
NodeRef errors = 0;
NodeRef prototype = 0;
NodeRef state = 0;

// Numbers the errors on their way, so that settling an older one does not take the
// fields of a newer one.
uint32_t in_flight_number = 0;

void mark_system() {
  for (NodeRef ctx : {errors, prototype, state})
    if (ctx) collector::mark_context(ctx);
}

uint32_t sym(uint32_t known) { return symbol::resolve(known); }
uint32_t resolved(const Cell* word) { return symbol::resolve(word_cell::symbol(word)); }

int32_t count_of(NodeRef ctx) { return int32_t(context::get_words(ctx)->length()); }

// The object a word of the system holds, or 0.
NodeRef object_in(NodeRef ctx, uint32_t known) {
  int32_t i = ctx ? context::find_word(ctx, known, true) : -1;
  if (i < 0) return 0;
  Cell v = *context::value_at(ctx, word_cell::index(context::get_word(ctx, i)));
  return v.is(T_OBJECT) ? v.w1 : 0;
}

NodeRef category_object(int category) {
  if (!errors || category < 0 || category >= count_of(errors)) return 0;
  Cell v = *context::value_at(errors, category);
  return v.is(T_OBJECT) ? v.w1 : 0;
}

Cell word_of(NodeRef ctx, int32_t index) {
  if (!ctx || index < 0 || index >= count_of(ctx)) return values::none;
  Cell w = *context::get_word(ctx, index);
  w.header = T_WORD;
  return w;
}

// The prototype made from the field names alone, for errors raised before the
// system object exists.
NodeRef bare_prototype() {
  Cell obj = object::make_empty(FIELD_COUNT);
  for (const char* name : FIELD_NAMES) {
    Cell w = word::make_global(symbol::make(name));
    context::put(obj.w1, &w, &values::none);
  }
  return obj.w1;
}

// A new error: the prototype's values in a context of its own that shares the
// prototype's words (errors never gain words).
Cell new_error() {
  if (!prototype) prototype = bare_prototype();
  Cell obj{T_ERROR, context::create_sharing_words(prototype), ERROR_CLASS, 0};
  object::refresh(&obj);
  return obj;
}

void set_field(const Cell* error, int index, const Cell* value) {
  *context::value_at(error->w1, index) = *value;
}

// The index of a word among an object's words (ignoring case), -1 when absent.
int32_t index_in(NodeRef ctx, const Cell* word) {
  if (!ctx || !word::any_word(word->type())) return -1;
  int32_t i = context::find_word(ctx, word_cell::symbol(word), true);
  return i < 0 ? -1 : word_cell::index(context::get_word(ctx, i));
}

void set_code(const Cell* error, int category, int id) {
  Cell code = values::integer(category * 100 + id - 2);
  Cell type = word_of(errors, category);
  Cell id_word = word_of(category_object(category), id);
  set_field(error, F_CODE, &code);
  set_field(error, F_TYPE, &type);
  set_field(error, F_ID, &id_word);
}

// --- make -------------------------------------------------------------------------------

Cell spec_field_error(uint32_t known) { return word::make_global(known); }

[[noreturn]] void invalid_spec_field(uint32_t known) {
  Cell w = spec_field_error(known);
  fire(err::script::INVALID_SPEC_FIELD, &w);
}

// Settles code from the type and id words now in the error.
void code_from_words(const Cell* error) {
  int32_t category = index_in(errors, field(error, F_TYPE));
  if (category < 0) invalid_spec_field(words::type);
  int32_t id = index_in(category_object(category), field(error, F_ID));
  if (id < 2) invalid_spec_field(words::id);
  set_code(error, category, id);
}

void make_from_code(const Cell* error, const Cell* spec) {
  int32_t code = cell::get_int(spec);
  int32_t category = code / 100;
  if (code < 0 || category >= (errors ? count_of(errors) : 10))
    fire(err::script::OUT_OF_RANGE, spec);
  int32_t id = code % 100 + 2;
  if (id >= count_of(category_object(category))) fire(err::script::OUT_OF_RANGE, spec);
  set_code(error, category, id);
}

void make_from_block(const Cell* error, const Cell* spec_in) {
  Cell spec = *spec_in;
  int32_t length = block::length(&spec);
  Cell first = length > 0 ? *block::cell_at(&spec, series_cell::head(&spec)) : values::none;
  if (first.is(T_SET_WORD)) {
    context::bind(&spec, error->w1, false);
    interpreter::do_block_hook(&spec);
    return code_from_words(error);
  }
  if (!first.is(T_WORD)) fire(err::internal::INVALID_ERROR, &first);
  int32_t category = index_in(errors, &first);
  if (category < 0) invalid_spec_field(words::type);
  Cell second = length > 1 ? *block::cell_at(&spec, series_cell::head(&spec) + 1) : values::none;
  if (!second.is(T_WORD)) fire(err::script::INVALID_ARG, &second);
  int32_t id = index_in(category_object(category), &second);
  if (id < 2) invalid_spec_field(words::id);
  set_code(error, category, id);
}

Cell* make(Cell* proto, Cell* spec, int) {
  if (spec->is(T_STRING)) {
    Cell e = create(err::user::MESSAGE, spec, nullptr, nullptr);
    *proto = e;
    return proto;
  }
  Cell* slot = stack::push(&values::none);
  *slot = new_error();
  Cell error = *slot;
  if (spec->is(T_INTEGER)) make_from_code(&error, spec);
  else if (spec->is(T_BLOCK)) make_from_block(&error, spec);
  else {
    Cell type = values::of_datatype(T_ERROR);
    fire(err::script::BAD_MAKE_ARG, &type, spec);
  }
  *proto = error;
  stack::top = slot;
  return proto;
}

// --- the report -------------------------------------------------------------------------

void append(Cell* buffer, const char* text) { string::concatenate_literal(buffer, text); }

// Appends at most `limit` characters of a value's mold (or form).
void append_limited(Cell* buffer, const Cell* value, bool formed, bool only_flat, int limit) {
  Cell text;
  string::make_at(&text, 16);
  Cell part = values::integer(limit);
  if (formed) actions::form_typed(value, &text, &part, limit);
  else
    actions::mold_typed(value, &text, {.only = only_flat, .flat = only_flat, .part = &part}, limit);
  string::truncate(memory::buffer_of(series_cell::node(&text)), uint32_t(limit));
  string::concatenate(buffer, &text, -1, 0, true, string::CONCAT_APPEND);
}

struct Message {
  NodeRef category;   // the category object
  Cell template_;     // a string or a block
};

// The category and template the error names, or the internal invalid-error entry
// (with the bad value moved into arg1) when it names none.
Message message_of(const Cell* error) {
  Cell type = *field(error, F_TYPE), id = *field(error, F_ID);
  int32_t c = index_in(errors, &type);
  NodeRef category = c < 0 ? 0 : category_object(c);
  int32_t t = index_in(category, &id);
  Cell tmpl = t < 0 ? values::none : *context::value_at(category, t);
  if (tmpl.is(T_WORD)) {
    int32_t f = index_in(error->w1, &tmpl);
    tmpl = f < 0 ? values::none : *field(error, f);
  }
  if (category && (tmpl.is(T_STRING) || tmpl.is(T_BLOCK))) return {category, tmpl};
  Cell bad = category ? id : type;
  set_field(error, F_ARG1, &bad);
  constexpr err::Id invalid = err::internal::INVALID_ERROR;
  NodeRef internal = category_object(invalid.category);
  set_code(error, invalid.category, invalid.id);
  Cell fallback = internal ? *context::value_at(internal, invalid.id) : values::none;
  return {internal, fallback};
}

void append_message(Cell* buffer, const Cell* error, const Message& m) {
  if (m.template_.is(T_STRING)) {
    string::concatenate(buffer, &m.template_, -1, 0, true, string::CONCAT_APPEND);
    return;
  }
  if (!m.template_.is(T_BLOCK)) return;
  bool formed = category_of(error) == err::SYNTAX;
  Cell tmpl = m.template_;
  int32_t head = series_cell::head(&tmpl);
  for (int32_t i = 0; i < block::length(&tmpl); i++) {
    Cell part = *block::cell_at(&tmpl, head + i);
    if (i > 0) append(buffer, " ");
    if (part.is(T_STRING)) {
      string::concatenate(buffer, &part, -1, 0, true, string::CONCAT_APPEND);
    } else if (part.is(T_WORD) || part.is(T_GET_WORD)) {
      int32_t f = index_in(error->w1, &part);
      Cell v = f < 0 ? values::none : *field(error, f);
      // A plain word in a template stands for text to show as it is (a name, a
      // phrase); a get-word shows the value as the user would write it.
      append_limited(buffer, &v, formed || part.is(T_WORD), false, ARGUMENT_LIMIT);
    }
  }
}

int32_t stack_trace_depth() {
  if (!state) return 0;
  Cell* v = object::value_of(&context::record_of(state)[1], words::stack_trace);
  return v && v->is(T_INTEGER) ? cell::get_int(v) : 0;
}

// The calls above a frame position, innermost first.
void calls_from(int32_t position, int32_t depth, Cell* out) {
  block::make_at(out, STACK_CAPACITY);
  int32_t used = 0;
  for (int32_t i = position; i > 0 && used < depth * STACK_CAPACITY; i--) {
    const stack::Frame* f = stack::frame_base + (i - 1);
    uint32_t s = stack::frame_symbol(f);
    if (!s || s == stack::body_symbol || s == stack::anon_symbol) continue;
    Cell w = word::make_global(s);
    block::append(out, &w);
    used++;
  }
}

int form(const Cell* error_in, Cell* buffer, const Cell*, int limit) {
  Cell settled = *error_in;
  settle(&settled);
  const Cell* error = &settled;
  Message m = message_of(error);
  append(buffer, "*** ");
  Cell title = m.category ? *context::value_at(m.category, 1) : values::none;
  if (title.is(T_STRING)) string::concatenate(buffer, &title, -1, 0, true, string::CONCAT_APPEND);
  append(buffer, ": ");
  append_message(buffer, error, m);
  append(buffer, "\n*** Where: ");
  Cell where = *field(error, F_WHERE);
  if (where.is(T_WORD)) actions::form_typed(&where, buffer, nullptr, limit);
  // A block holds the code that raised it (the preprocessor's directive), shown as
  // written.
  else if (where.is(T_BLOCK)) actions::mold_typed(&where, buffer, {.only = true, .flat = true}, limit);
  else if (where.is(T_STRING)) string::concatenate(buffer, &where, -1, 0, true, string::CONCAT_APPEND);
  else append(buffer, "???");
  append(buffer, "\n*** Near : ");
  Cell near = *field(error, F_NEAR);
  append_limited(buffer, &near, false, true, NEAR_LIMIT);
  if (int32_t depth = stack_trace_depth(); depth > 0) {
    Cell calls = *field(error, F_STACK);
    if (calls.is(T_INTEGER)) calls_from(cell::get_int(&calls), depth, &calls);
    if (calls.is(T_BLOCK)) {
      append(buffer, "\n*** Stack: ");
      actions::form_typed(&calls, buffer, nullptr, limit);
    }
  }
  Cell files = *field(error, F_FILES);
  if (files.is(T_BLOCK)) {
    append(buffer, "\n*** Files: ");
    append_limited(buffer, &files, false, true, NEAR_LIMIT);
  }
  return limit - string::length(buffer);
}

int mold(const Cell* error_in, Cell* buffer, const MoldOptions& how, int limit) {
  Cell settled = *error_in;
  settle(&settled);
  const Cell* error = &settled;
  if (!how.only) {
    append(buffer, "make error! [");
    limit -= 13;
  }
  limit = object::serialize(error, buffer, how.deeper(), limit, true);
  if (!how.flat && how.indent > 0) limit = mold::indent(buffer, how.indent, limit);
  if (!how.only) {
    append(buffer, "]");
    limit--;
  }
  return limit;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  settle(parent);
  // The call list is the error's own record: paths neither read nor replace it.
  if (word::any_word(element->type()) && resolved(element) == sym(words::stack_)) {
    Cell p = path ? *path : values::none;
    fire(err::script::INVALID_PATH_SET, &p);
  }
  return object::eval_path(parent, element, value, path);
}

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_ERROR)) return COMPARE_NOT_COMPARABLE;
  Cell x = *a, y = *b;
  settle(&x);
  settle(&y);
  x.header = T_OBJECT;
  y.header = T_OBJECT;
  return object::compare(&x, &y, op);
}

}  // namespace

void init() {
  errors = prototype = state = 0;
  datatype::register_type(T_ERROR, T_OBJECT, "error!",
                          datatype::make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                                       slot_entry<A_FORM>(form),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_EVAL_PATH>(eval_path),
                                                       slot_entry<A_COMPARE>(compare),
                                                       {A_PUT, nullptr},
                                                       {A_MODIFY, nullptr}}));
  collector::keep(mark_system);
}

void bind_system() {
  Cell* system = context::global_value(words::system_);
  NodeRef sys = system && system->is(T_OBJECT) ? system->w1 : 0;
  errors = object_in(object_in(sys, words::catalog), words::errors);
  if (NodeRef standard = object_in(object_in(sys, words::standard), words::error_)) prototype = standard;
  state = object_in(sys, words::state);
}

bool catalogue_ready() { return errors != 0; }

Cell create(err::Id id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
  Cell pending = raised(id, arg1, arg2, arg3);
  settle(&pending);
  return pending;
}

Cell raised(err::Id id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
  const Cell* args[3] = {arg1, arg2, arg3};
  for (int i = 0; i < 3; i++) in_flight[i] = args[i] ? *args[i] : values::none;
  in_flight[IN_FLIGHT_WHERE] = values::none;
  in_flight[IN_FLIGHT_NEAR] =
      stack::ready() && interpreter::near_position_hook ? interpreter::near_position_hook()
                                                       : values::none;
  in_flight[IN_FLIGHT_STACK] =
      stack::ready() ? values::integer(int32_t(stack::frame_top - stack::frame_base)) : values::none;
  in_flight_number = (in_flight_number + 1) & 0xFFFF;
  uint32_t code = uint32_t(id.code());
  return Cell{T_ERROR | PENDING, 0, code | in_flight_number << 16, 0};
}

void settle(Cell* error) {
  if (!is_pending(error)) return;
  int code = int(error->w2 & 0xFFFF);
  bool current = (error->w2 >> 16) == in_flight_number;
  Cell made = new_error();
  set_code(&made, code / 100, code % 100 + 2);
  if (current) {
    for (int i = 0; i < 3; i++) set_field(&made, F_ARG1 + i, &in_flight[i]);
    set_field(&made, F_NEAR, &in_flight[IN_FLIGHT_NEAR]);
    set_field(&made, F_WHERE, &in_flight[IN_FLIGHT_WHERE]);
    set_field(&made, F_STACK, &in_flight[IN_FLIGHT_STACK]);
  }
  *error = made;
}

Cell* field(const Cell* error, int index) {
  settle(const_cast<Cell*>(error));
  return context::value_at(error->w1, index);
}

int code_of(const Cell* error) {
  if (is_pending(error)) return int(error->w2 & 0xFFFF);
  Cell* code = field(error, F_CODE);
  return code->is(T_INTEGER) ? cell::get_int(code) : err::Id(err::internal::INVALID_ERROR).code();
}
int category_of(const Cell* error) { return code_of(error) / 100; }
int id_of(const Cell* error) { return code_of(error) % 100 + 2; }

// The where and stack of an error on its way are kept with it until it is settled.
Cell* slot_of(const Cell* error, int index, int in_flight_index) {
  return is_pending(error) ? &in_flight[in_flight_index] : field(error, index);
}

void set_where(const Cell* error, const Cell* value) {
  // No frame named a function: the report shows "???".
  bool nowhere = value->is(T_WORD) && word_cell::symbol(value) == stack::not_found_symbol;
  Cell* where = slot_of(error, F_WHERE, IN_FLIGHT_WHERE);
  if (where->is(T_NONE) && !nowhere) *where = *value;
}

void set_stack(const Cell* error) {
  if (!error->is(T_ERROR)) return;
  Cell* stack = slot_of(error, F_STACK, IN_FLIGHT_STACK);
  if (!stack->is(T_INTEGER)) return;
  int32_t depth = stack_trace_depth();
  Cell calls;
  calls_from(cell::get_int(stack), depth > 0 ? depth : 1, &calls);
  *slot_of(error, F_STACK, IN_FLIGHT_STACK) = calls;
}

int keeping = 0;

void capture_stack(const Cell* error) {
  if (keeping > 0 || stack_trace_depth() > 0) set_stack(error);
}

namespace {

// The spec of the function being called (the word of the nearest named frame);
// false when that word names no callable.
bool called_spec(Cell* spec) {
  Cell name = stack::find_function_frame();
  if (!name.is(T_WORD)) return false;
  NodeRef ctx = word_cell::context(&name) ? word_cell::context(&name) : context::global;
  int32_t i = context::find_word(ctx, word_cell::symbol(&name), true);
  if (i < 0) return false;
  // The name may be a function's argument (an op passed in): its value is then
  // on the stack, or gone once the function has returned.
  const Cell* values = context::values_base(ctx);
  if (!values) return false;
  Cell fn = values[word_cell::index(context::get_word(ctx, i))];
  // An operator keeps the spec of the function it was made from.
  if (!function::is_callable(&fn)) return false;
  *spec = function::spec_of(&fn);
  return true;
}

// The argument words of a spec: words, lit-words, get-words and refinements, each
// answered as a word!; `visit` stops the walk by answering true.
template <class Visit>
Cell find_spec_word(Visit visit) {
  Cell spec;
  if (!called_spec(&spec)) return values::none;
  for (int32_t at = 0; at < block::length(&spec); at++) {
    Cell c = *block::cell_at(&spec, at);
    uint8_t ct = c.type();
    if (ct != T_WORD && ct != T_LIT_WORD && ct != T_GET_WORD && ct != T_REFINEMENT) continue;
    bool refinement = ct == T_REFINEMENT;
    c.header = T_WORD;
    if (visit(c, refinement)) return c;
  }
  return values::none;
}

}  // namespace

Cell arg_word(int n) {
  return find_spec_word([&](const Cell&, bool) { return n-- == 0; });
}

Cell refinement_arg_word(const char* refinement) {
  uint32_t wanted = symbol::resolve(symbol::make(refinement));
  bool after = false;
  return find_spec_word([&](const Cell& word, bool is_refinement) {
    if (after) return true;
    after = is_refinement && symbol::resolve(word_cell::symbol(&word)) == wanted;
    return false;
  });
}

Cell report(const Cell* error_in) {
  Cell error = *error_in;
  settle(&error);
  Cell text;
  string::make_at(&text, 64);
  form(&error, &text, nullptr, 1 << 30);
  return text;
}

}  // namespace error

void fire(err::Id id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
  Cell e = error::raised(id, arg1, arg2, arg3);
  if (interpreter::error_raised_hook) interpreter::error_raised_hook(&e);
  stack::throw_error(e);
}

}  // namespace zol
