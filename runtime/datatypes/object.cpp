// object!: construction, copying, change notification, reflection and printing
// (see object.h).
#include "runtime/datatypes/object.h"

#include <cstring>

#include "runtime/core/actions.h"
#include "runtime/core/callback.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/text/mold.h"
#include "runtime/core/ownership.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::object {
namespace {

// Class ids 1 and below are taken: 1 is the class of every error!.
uint32_t last_class_id = 1;

constexpr int ON_CHANGE = 0;
constexpr int ON_DEEP_CHANGE = 1;
constexpr int32_t NO_HANDLER = -1;

uint32_t sym(uint32_t known) { return symbol::resolve(known); }
bool is_named(const Cell* word, uint32_t known) {
  return symbol::resolve(word_cell::symbol(word)) == sym(known);
}
bool is_handler_word(const Cell* word) {
  return is_named(word, words::on_change) || is_named(word, words::on_deep_change);
}

SeriesBuffer* words_of(NodeRef ctx) { return context::get_words(ctx); }
int32_t count_of(NodeRef ctx) { return int32_t(words_of(ctx)->length()); }
Cell* word_at(NodeRef ctx, int32_t i) { return context::get_word(ctx, i); }
Cell* slot_at(NodeRef ctx, int32_t i) { return context::value_at(ctx, i); }

// A handler slot recorded in the object's handler record, -1 when absent.
int32_t handler_slot(const Cell* obj, int which) {
  NodeRef record = handlers_of(obj);
  if (!record) return NO_HANDLER;
  return cell::get_int(memory::buffer_of(record)->cells() + which);
}

// Runs a handler function with the arguments pushed by `push_args`; the object's
// context is the handler's self.
template <class PushArgs>
void call_handler(const Cell* obj, int32_t slot, uint32_t frame_name, PushArgs push_args) {
  Cell handler = *slot_at(context_of(obj), slot);
  if (!handler.is(T_FUNCTION)) return;
  Cell* saved_top = stack::top;
  Cell name = word::make_global(frame_name);
  Cell* first = stack::mark_func(&name, function::context_of(&handler));
  push_args();
  int32_t wanted = count_of(function::context_of(&handler));
  while (stack::top - first < wanted) stack::push(&values::none);
  interpreter::call_function(&handler, context_of(obj), &name, 0);
  stack::unwind_last();
  stack::top = saved_top;
}

// The deep-change hook of series ownership: the owner's on-deep-change* hears
// (owner word target action new-value index part).
void deep_change(Cell* owner, Cell* word, Cell* target, const Cell* action,
                 const Cell* new_value, int32_t index, int32_t part) {
  Cell obj = *owner;
  if (!handlers_of(&obj)) fire(err::script::INVALID_OBJ_EVT, &obj);
  int32_t slot = handler_slot(&obj, ON_DEEP_CHANGE);
  if (slot == NO_HANDLER) return;
  Cell w = *word, t = *target, a = *action;
  Cell v = new_value ? *new_value : values::none;
  Cell i = values::integer(index), p = values::integer(part);
  call_handler(&obj, slot, words::on_deep_change, [&] {
    for (const Cell* c : {&obj, &w, &t, &a, &v, &i, &p}) stack::push(c);
  });
}

// The context layer's hook after a tracked slot of an object changed.
void context_changed(NodeRef ctx, const Cell* word, const Cell* old_value, Cell* slot) {
  Cell obj = context::record_of(ctx)[1];
  if (is_handler_word(word)) return;
  Cell new_value = *slot;
  notify_owner(&obj, word, old_value, &new_value);
}

void clear_marks(NodeRef ctx) {
  SeriesBuffer* list = words_of(ctx);
  for (Cell* w = list->cells(); w < list->cell_tail(); w++) {
    w->header &= ~context::OWNED_SLOT;
    cell::set_new_line(w, false);
  }
}

// --- copying ------------------------------------------------------------------------------

bool is_copied_series(uint8_t t) {
  return t == T_BLOCK || t == T_PAREN || t == T_STRING || t == T_FILE || t == T_URL ||
         (t >= T_PATH && t <= T_GET_PATH) || t == T_TAG || t == T_EMAIL || t == T_REF;
}

// A function of the source gets a body of its own, bound to the new context.
void rebind_function(Cell* slot, NodeRef ctx) {
  Cell fn = *slot;
  Cell body = *function::more(&fn, function::MORE_BODY);
  if (!body.is(T_BLOCK)) fire(err::script::BAD_FUNC_DEF, &fn);
  Cell spec = function::spec_of(&fn);
  // Paths and parens hold words too: a shared one would stay bound to the last
  // object made from the source.
  Cell copied = *block::clone(&body, true, true);
  context::bind(&copied, ctx, true);
  Cell made = function::make(&spec, &copied);
  *slot = made;
}

void copy_values(NodeRef ctx, bool deep, const Cell* types) {
  for (int32_t i = 0; i < count_of(ctx); i++) {
    Cell v = *slot_at(ctx, i);
    if (v.is(T_FUNCTION)) {
      rebind_function(slot_at(ctx, i), ctx);
    } else if (deep && is_copied_series(v.type())) {
      Cell copied;
      actions::copy_typed(&v, &copied, nullptr, types == nullptr, types);
      *slot_at(ctx, i) = copied;
    }
  }
}

// --- printing ----------------------------------------------------------------------------

int text(Cell* buffer, const char* s, int limit, int cost) {
  string::concatenate_literal(buffer, s);
  return limit - cost;
}

}  // namespace

uint32_t new_class_id() { return ++last_class_id; }

Cell make_empty(int32_t capacity) {
  NodeRef ctx = context::create(capacity, false, false, 0, context::OBJECT);
  Cell obj{T_OBJECT, ctx, new_class_id(), 0};
  refresh(&obj);
  return obj;
}

void refresh(const Cell* obj) { context::record_of(context_of(obj))[1] = *obj; }

Cell* value_at(const Cell* obj, int32_t index) { return slot_at(context_of(obj), index); }
int32_t word_count(const Cell* obj) { return count_of(context_of(obj)); }

Cell* value_of(const Cell* obj, uint32_t symbol) {
  int32_t i = context::find_word(context_of(obj), symbol, true);
  return i < 0 ? nullptr : slot_at(context_of(obj), word_cell::index(word_at(context_of(obj), i)));
}

void build_handlers(Cell* obj) {
  NodeRef ctx = context_of(obj);
  int32_t slots[2] = {NO_HANDLER, NO_HANDLER};
  for (int32_t i = 0; i < count_of(ctx); i++) {
    Cell* w = word_at(ctx, i);
    int which = is_named(w, words::on_change) ? ON_CHANGE
                : is_named(w, words::on_deep_change) ? ON_DEEP_CHANGE : -1;
    if (which < 0) continue;
    Cell v = *slot_at(ctx, i);
    if (!v.is(T_FUNCTION) && !v.is(T_ROUTINE)) {
      Cell type = values::of_datatype(v.type());
      Cell word = *w;
      fire(err::script::BAD_FIELD_SET, &word, &type);
    }
    slots[which] = i;
  }
  if (slots[ON_CHANGE] == NO_HANDLER && slots[ON_DEEP_CHANGE] == NO_HANDLER) {
    obj->w3 = 0;
    refresh(obj);
    return;
  }
  NodeRef record = memory::alloc_cells(2);
  for (int which : {ON_CHANGE, ON_DEEP_CHANGE})
    *memory::alloc_tail_cell(record) = values::integer(slots[which]);
  obj->w3 = record;
  refresh(obj);
  if (slots[ON_DEEP_CHANGE] == NO_HANDLER) return;
  for (int32_t i = 0; i < count_of(ctx); i++) {
    Cell word = *word_at(ctx, i);
    if (!is_handler_word(&word)) ownership::set_owner_deep(slot_at(ctx, i), obj, &word);
  }
  context::record_of(ctx)->header |= context::FIELDS_OWNED;
}

bool has_deep_handler(const Cell* obj) { return handler_slot(obj, ON_DEEP_CHANGE) != NO_HANDLER; }

void notify_owner(const Cell* obj_in, const Cell* word_in, const Cell* old_in,
                  const Cell* new_in) {
  Cell obj = *obj_in;
  int32_t slot = handler_slot(&obj, ON_CHANGE);
  if (slot == NO_HANDLER) return;
  Cell handler = *slot_at(context_of(&obj), slot);
  if (!handler.is(T_FUNCTION)) fire(err::script::INVALID_OBJ_EVT, &handler);
  Cell word = *word_in, old_value = *old_in, new_value = *new_in;
  word.header = (word.header & ~0xFFu) | T_WORD;
  if (word_cell::context(&word) != context_of(&obj)) context::bind_word(context_of(&obj), &word);
  call_handler(&obj, slot, words::on_change, [&] {
    stack::push(&word);
    stack::push(&old_value);
    stack::push(&new_value);
  });
}

Cell copy(const Cell* src_in, bool deep, const Cell* types, bool keep_handlers) {
  Cell src = *src_in;
  NodeRef from = context_of(&src);
  int32_t n = count_of(from);
  NodeRef ctx = context::create(n, false, false, from, context::OBJECT);
  SeriesBuffer* list = words_of(ctx);
  for (Cell* w = list->cells(); w < list->cell_tail(); w++) w->w1 = ctx;
  NodeRef values = context::record_of(ctx)->w2;
  for (int32_t i = 0; i < n; i++) *memory::alloc_tail_cell(values) = *slot_at(from, i);
  if (deep && types == nullptr && cycles::find(from))
    fire(err::internal::NO_CYCLE);
  cycles::push(from);
  copy_values(ctx, deep, types);
  cycles::pop();
  Cell obj{src.header, ctx, src.w2, keep_handlers ? src.w3 : 0};
  refresh(&obj);
  if (!keep_handlers) build_handlers(&obj);
  return obj;
}

Cell* make(Cell* proto, Cell* spec, int type) {
  Cell* result = stack::push_unset();
  bool from_object = proto->is(T_OBJECT);
  Cell obj = from_object ? copy(proto, false, nullptr, true) : make_empty(4);
  *result = obj;
  NodeRef ctx = context_of(&obj);
  int32_t before = count_of(ctx);
  if (spec->is(T_OBJECT)) {
    Cell source = *spec;
    for (int32_t i = 0; i < count_of(context_of(&source)); i++) {
      Cell word = *word_at(context_of(&source), i);
      Cell value = *slot_at(context_of(&source), i);
      context::put(ctx, &word, &value);
    }
    copy_values(ctx, false, nullptr);
  } else if (spec->is(T_BLOCK)) {
    Cell body = *spec;
    context::collect_set_words(ctx, &body);
    SeriesBuffer* list = words_of(ctx);
    for (Cell* w = list->cells(); w < list->cell_tail(); w++) w->w1 = ctx;
    context::bind(&body, ctx, true);
    interpreter::do_block_hook(&body);
    ctx = context_of(result);
    clear_marks(ctx);
  } else {
    fire(err::syntax::MALCONSTRUCT, spec);
  }
  if (count_of(ctx) > before || !from_object) result->w2 = new_class_id();
  result->header = (result->header & ~0xFFu) | uint8_t(type ? type : T_OBJECT);
  build_handlers(result);
  *proto = *result;
  stack::top = result;
  return proto;
}

Cell construct(const Cell* spec_in, const Cell* proto, bool only) {
  Cell spec = *spec_in;
  Cell obj = proto ? copy(proto, false, nullptr, false) : make_empty(4);
  if (!proto) obj.w2 = new_class_id();
  SeriesBuffer* b = block::buffer(&spec);
  int32_t n = int32_t(b->length());
  for (int32_t i = series_cell::head(&spec); i < n; i++) {
    Cell w = block::buffer(&spec)->cells()[i];
    if (!w.is(T_SET_WORD)) continue;
    int32_t j = i + 1;
    while (j < n && block::buffer(&spec)->cells()[j].is(T_SET_WORD)) j++;
    Cell value = j < n ? block::buffer(&spec)->cells()[j] : values::none;
    if (!only && value.is(T_WORD)) {
      uint32_t s = symbol::resolve(word_cell::symbol(&value));
      if (s == sym(words::true_) || s == sym(words::yes) || s == sym(words::on)) value = values::true_value;
      else if (s == sym(words::false_) || s == sym(words::no) || s == sym(words::off)) value = values::false_value;
      else if (s == sym(words::none_)) value = values::none;
    }
    context::put(context_of(&obj), &w, &value);
  }
  SeriesBuffer* list = words_of(context_of(&obj));
  for (Cell* w = list->cells(); w < list->cell_tail(); w++) w->w1 = context_of(&obj);
  refresh(&obj);
  return obj;
}

void set_many(Cell* obj_in, const Cell* value_in, bool any, bool only, bool some) {
  Cell obj = *obj_in, value = *value_in;
  NodeRef ctx = context_of(&obj);
  int32_t n = count_of(ctx);
  bool spread = (value.is(T_BLOCK) || value.is(T_OBJECT)) && !only;
  // The value the i-th word gets; false when an object source lacks the word, which
  // then keeps its value.
  auto source = [&](int32_t i, Cell* v) -> bool {
    if (!spread) {
      *v = value;
    } else if (value.is(T_OBJECT)) {
      Cell* found = value_of(&value, word_cell::symbol(word_at(ctx, i)));
      if (!found) return false;
      *v = *found;
    } else {
      int32_t at = series_cell::head(&value) + i;
      bool inside = at < block::length(&value) + series_cell::head(&value);
      *v = inside ? block::buffer(&value)->cells()[at] : values::none;
    }
    return true;
  };
  Cell v;
  if (spread && !any && !some)
    for (int32_t i = 0; i < n; i++)
      if (source(i, &v) && v.is(T_UNSET)) {
        Cell word = *word_at(ctx, i);
        fire(err::script::NEED_VALUE, &word);
      }
  for (int32_t i = 0; i < n; i++) {
    if (!source(i, &v) || (some && v.is(T_NONE))) continue;
    Cell word = *word_at(ctx, i);
    context::set_in(&word, &v, ctx, !is_handler_word(&word));
  }
}

// --- printing -----------------------------------------------------------------------------

int serialize(const Cell* obj_in, Cell* buffer, const MoldOptions& how, int limit, bool mold_mode) {
  Cell obj = *obj_in;
  NodeRef ctx = context_of(&obj);
  int32_t n = count_of(ctx);
  if (n == 0) return limit;
  bool indent = mold_mode && !how.flat;
  const char* separator = how.flat ? " " : "\n";
  if (indent && !how.only) limit = text(buffer, "\n", limit, 1);
  cycles::push(ctx);
  for (int32_t i = 0; i < n && limit >= 1; i++) {
    Cell word = *word_at(ctx, i);
    if (!how.all && is_handler_word(&word)) continue;
    if (indent) limit = mold::indent(buffer, how.indent, limit);
    word.header = (word.header & ~0xFFu) | T_WORD;
    limit = actions::mold_typed(&word, buffer, {.part = how.part, .indent = how.indent}, limit);
    limit = text(buffer, ": ", limit, 2);
    Cell v = *slot_at(ctx, i);
    if (v.is(T_WORD)) limit = text(buffer, "'", limit, 1);
    limit = actions::mold_typed(&v, buffer, how.element(), limit);
    bool more = false;
    for (int32_t j = i + 1; j < n && !more; j++)
      more = how.all || !is_handler_word(word_at(ctx, j));
    if (indent || more) limit = text(buffer, separator, limit, 1);
  }
  cycles::pop();
  return limit;
}

namespace {

int form(const Cell* obj, Cell* buffer, const Cell* part, int limit) {
  if (cycles::find(context_of(obj))) return limit;
  return serialize(obj, buffer, {.part = part}, limit, false);
}

int mold_object(const Cell* obj, Cell* buffer, const MoldOptions& how, int limit) {
  return mold_as(obj, buffer, "make object! [", how, limit);
}

}  // namespace

int mold_as(const Cell* obj, Cell* buffer, const char* opener, const MoldOptions& how, int limit) {
  if (cycles::detect(obj, buffer, &limit, true)) return limit;
  if (!how.only) limit = text(buffer, opener, limit, int(std::strlen(opener)));
  limit = serialize(obj, buffer, how.deeper(), limit, true);
  if (!how.flat && how.indent > 0) limit = mold::indent(buffer, how.indent, limit);
  if (!how.only) limit = text(buffer, "]", limit, 1);
  return limit;
}

namespace {

Cell* copy_action(Cell* value, Cell* destination, const Cell* part, bool deep, const Cell* types) {
  if (part) {
    Cell name = word::make_global(words::part);
    fire(err::script::INVALID_REFINE_ARG, &name, part);
  }
  *destination = copy(value, deep, types, false);
  return destination;
}

Cell* select(Cell* obj, const Cell* value, const FindOptions&) {
  if (!word::any_word(value->type())) {
    Cell type = values::of_datatype(value->type());
    fire(err::script::INVALID_TYPE, &type);
  }
  Cell* found = value_of(obj, word_cell::symbol(value));
  return found ? found : const_cast<Cell*>(&values::none);
}

Cell* put(Cell* obj, Cell* key, Cell* value, bool) {
  if (!key->is(T_WORD)) {
    Cell type = values::of_datatype(key->type());
    fire(err::script::INVALID_KEY_TYPE, &type);
  }
  return eval_path(obj, key, value, nullptr);
}

Cell* modify(Cell* obj, Cell* field, Cell* value, bool) {
  uint32_t f = symbol::resolve(word_cell::symbol(field));
  if (f == sym(words::changed)) {
    if (!value->is(T_NONE)) fire(err::script::INVALID_ARG, value);
    clear_marks(context_of(obj));
  } else if (f == sym(words::owner)) {
    ownership::set_owner(obj, obj, field);
  } else if (f == sym(words::owned)) {
    if (value->is(T_NONE)) ownership::unbind(obj);
  }
  return value;
}

}  // namespace

Cell* reflect(Cell* value, uint32_t field_symbol) {
  Cell obj = *value;
  NodeRef ctx = context_of(&obj);
  uint32_t f = symbol::resolve(field_symbol);
  Cell* out = value;
  if (f == sym(words::class_)) {
    *out = values::integer(int32_t(class_of(&obj)));
  } else if (f == sym(words::events_q)) {
    *out = values::logic(handlers_of(&obj) != 0);
  } else if (f == sym(words::owner)) {
    *out = values::logic((context::record_of(ctx)->header & context::FIELDS_OWNED) != 0);
  } else if (f == sym(words::words_) || f == sym(words::changed) || f == sym(words::values_) || f == sym(words::body)) {
    bool values_only = f == sym(words::values_), body = f == sym(words::body);
    block::make_at(out, count_of(ctx) * (body ? 2 : 1));
    for (int32_t i = 0; i < count_of(ctx); i++) {
      Cell word = *word_at(ctx, i);
      if (f == sym(words::changed) && !(word.header & context::OWNED_SLOT)) continue;
      Cell v = *slot_at(ctx, i);
      word.header &= ~context::OWNED_SLOT;
      if (values_only) {
        block::append(out, &v);
        continue;
      }
      word.header = (word.header & ~0xFFu) | (body ? T_SET_WORD : T_WORD);
      block::append(out, &word);
      if (!body) continue;
      if (v.is(T_WORD)) v.header = (v.header & ~0xFFu) | T_LIT_WORD;
      if (v.is(T_PATH)) v.header = (v.header & ~0xFFu) | T_LIT_PATH;
      block::append(out, &v);
    }
  } else {
    fire(err::internal::NOT_DONE);
  }
  return out;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  Cell obj = *parent;
  uint8_t t = element->type();
  if (t != T_WORD && t != T_SET_WORD && t != T_LIT_WORD && t != T_GET_WORD) {
    Cell p = path ? *path : values::none;
    fire(err::script::INVALID_PATH, &p, element);
  }
  int32_t found = context::find_word(context_of(&obj), word_cell::symbol(element), true);
  if (found < 0) {
    Cell p = path ? *path : values::none;
    fire(value ? err::script::INVALID_PATH : err::script::UNSET_PATH, &p, element);
  }
  int32_t index = word_cell::index(word_at(context_of(&obj), found));
  Cell* slot = slot_at(context_of(&obj), index);
  if (!value) return slot;
  Cell word = *word_at(context_of(&obj), found);
  context::set_in(&word, value, context_of(&obj), !is_handler_word(&word));
  return slot_at(context_of(&obj), index);
}

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(a->type())) return COMPARE_NOT_COMPARABLE;
  if (context_of(a) == context_of(b)) return 0;
  if (op == C_SAME) return -1;
  if (cycles::find(context_of(a))) return cycles::find(context_of(b)) ? 0 : -1;
  int32_t na = count_of(context_of(a)), nb = count_of(context_of(b));
  if (na != nb) return na < nb ? -1 : 1;
  cycles::push(context_of(a));
  int answer = 0;
  for (int32_t i = 0; i < na && answer == 0; i++) {
    uint32_t sa = symbol::resolve(word_cell::symbol(word_at(context_of(a), i)));
    uint32_t sb = symbol::resolve(word_cell::symbol(word_at(context_of(b), i)));
    if (sa != sb) {
      answer = sa < sb ? -1 : 1;
      break;
    }
    Cell va = *slot_at(context_of(a), i), vb = *slot_at(context_of(b), i);
    auto numeric = [](uint8_t t) { return t == T_INTEGER || t == T_FLOAT || t == T_PERCENT; };
    bool comparable = va.type() == vb.type() ||
                      (word::any_word(va.type()) && word::any_word(vb.type())) ||
                      (numeric(va.type()) && numeric(vb.type()));
    answer = comparable ? actions::compare_typed(&va, &vb, op) : COMPARE_NOT_COMPARABLE;
    if (answer == COMPARE_NOT_COMPARABLE) answer = va.type() < vb.type() ? -1 : 1;
  }
  cycles::pop();
  return answer;
}

void init() {
  context::on_change = context_changed;
  ownership::on_deep_change = deep_change;
  datatype::register_type(
      T_OBJECT, 0, "object!",
      datatype::make_row(nullptr, {slot_entry<A_MAKE>(make),
                                   slot_entry<A_REFLECT>(reflect),
                                   slot_entry<A_FORM>(form),
                                   slot_entry<A_MOLD>(mold_object),
                                   slot_entry<A_EVAL_PATH>(eval_path),
                                   slot_entry<A_COMPARE>(compare),
                                   slot_entry<A_COPY>(copy_action),
                                   slot_entry<A_PUT>(put),
                                   slot_entry<A_SELECT>(select),
                                   slot_entry<A_MODIFY>(modify)}));
}

}  // namespace zol::object
