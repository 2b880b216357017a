// port!: make from a spec and the schemes of system/schemes, mold and form, and
// the forwarding of actions to the scheme's actor (see port.h).
//
// Forwarding opens a function frame named after the action, pushes the port and
// the action's arguments in the order of the action's spec, fills what the
// actor's function declares beyond them (/local as false, its words as none) and
// calls it; its result is the action's result. read and write run open, copy
// (after insert for write) and close through the same forwarders.
#include "runtime/datatypes/port/port.h"

#include <initializer_list>
#include <vector>

#include "runtime/core/action_types.h"
#include "runtime/core/callback.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/word.h"

namespace zol::port {

namespace {

// --- the system's objects ----------------------------------------------------------------

Cell system_field(uint32_t field) {
  Cell* sys = context::global_value(words::system_);
  if (!sys || !sys->is(T_OBJECT)) return values::none;
  Cell* v = object::value_of(sys, field);
  return v ? *v : values::none;
}

Cell standard_object(uint32_t field) {
  Cell standard = system_field(words::standard);
  Cell* v = standard.is(T_OBJECT) ? object::value_of(&standard, field) : nullptr;
  return v ? *v : values::none;
}

Cell field_of(const Cell* obj, uint32_t field) {
  Cell* v = object::value_of(obj, field);
  return v ? *v : values::none;
}

void set_field(Cell* obj, uint32_t field, const Cell* value) {
  if (Cell* slot = object::value_of(obj, field)) *slot = *value;
}

// --- make, mold, form --------------------------------------------------------------------

Cell* make(Cell*, Cell* spec_arg, int) {
  Cell spec = *spec_arg;
  Cell spec_obj = spec;
  if (!spec.is(T_OBJECT)) {
    Cell parts = standard_object(words::url_parts);
    spec_obj = *object::make(&parts, &spec, T_OBJECT);
    stack::pop(1);
  }
  Cell scheme = object::word_count(&spec_obj) > 0 ? *object::value_at(&spec_obj, 0) : values::none;
  if (!scheme.is(T_WORD)) fire(err::access::NO_SCHEME, &spec);
  Cell proto = standard_object(words::port);
  Cell made = object::copy(&proto, false, nullptr, true);
  cell::set_type(&made, T_PORT);
  Cell* result = stack::push(&made);
  set_field(result, words::spec, &spec_obj);
  set_field(result, words::scheme, &scheme);
  Cell schemes = system_field(words::schemes);
  const Cell* found = schemes.is(T_BLOCK) ? block::select_compare(&schemes, &scheme) : nullptr;
  if (!found || !found->is(T_OBJECT)) fire(err::access::UNKNOWN_SCHEME, &spec);
  Cell actor = field_of(found, words::actor);
  if (!actor.is(T_OBJECT) && !actor.is(T_HANDLE)) fire(err::access::INVALID_ACTOR, &spec);
  set_field(result, words::actor, &actor);
  *spec_arg = *result;
  stack::pop(1);
  return spec_arg;
}

int mold(const Cell* port, Cell* buffer, const MoldOptions& how, int limit) {
  return object::mold_as(port, buffer, "make port! [", how, limit);
}

int form(const Cell* port, Cell* buffer, const Cell* part, int limit) {
  return object::mold_as(port, buffer, "make port! [", {.flat = true, .part = part}, limit);
}

// --- forwarding --------------------------------------------------------------------------

// The names of the actions from append to write, in slot order.
constexpr const char* ACTION_NAMES[] = {
    "append", "at",     "back",   "change", "clear", "copy",   "find",   "head",  "head?",
    "index?", "insert", "length?", "move",  "next",  "pick",   "poke",   "put",   "remove",
    "reverse", "select", "sort",  "skip",   "swap",  "tail",   "tail?",  "take",  "trim",
    "create", "close",  "delete", "modify", "open",  "open?",  "query",  "read",  "rename",
    "update", "write"};
static_assert(sizeof ACTION_NAMES / sizeof *ACTION_NAMES == A_WRITE - A_APPEND + 1);

Cell action_word(int slot) { return word::make_global(symbol::make(ACTION_NAMES[slot - A_APPEND])); }

// The native actor tables that handles name, by the handle's value.
std::vector<const ActorTable*> tables;

// A port whose actor is a native table's handle runs the table's entry for the
// action on the action's own frame; answers false for other actors.
bool served_by_table(const Cell* port, int slot) {
  Cell actor = field_of(port, words::actor);
  if (!actor.is(T_HANDLE) || actor.w1 != handle::PORT_ACTOR || actor.w2 >= tables.size())
    return false;
  ActorNative entry = tables[actor.w2]->entries[slot - A_APPEND];
  if (!entry) {
    Cell name = action_word(slot);
    fire(err::access::NO_PORT_ACTION, &name);
  }
  entry();
  return true;
}

Cell actor_of(const Cell* port) {
  Cell actor = field_of(port, words::actor);
  if (!actor.is(T_OBJECT)) fire(err::access::INVALID_PORT);
  return actor;
}

// Calls the actor's function for the action with the port and `args`; answers its
// result (for a native table's actor, what its entry left in the frame).
Cell forward(const Cell* port, int slot, const Cell* args, size_t count) {
  if (served_by_table(port, slot)) return *stack::arguments;
  Cell actor = actor_of(port);
  Cell name = action_word(slot);
  Cell* found = object::value_of(&actor, word_cell::symbol(&name));
  if (!found || !found->is(T_FUNCTION)) fire(err::access::NO_PORT_ACTION, &name);
  if (!interpreter::call_function) fire(err::internal::FEATURE_NA);
  Cell function = *found;
  Cell* saved_top = stack::top;
  Cell* first = stack::mark_func(&name, function.w1);
  stack::push(port);
  for (size_t i = 0; i < count; i++) stack::push(&args[i]);
  // What the function declares beyond the pushed arguments: its /local section.
  int32_t wanted = int32_t(context::get_words(function.w1)->length());
  int32_t local = context::find_word(function.w1, words::local, true);
  while (stack::top - first < wanted)
    stack::push(stack::top - first == local ? &values::false_value : &values::none);
  interpreter::call_function(&function, object::context_of(&actor), &name, 0);
  Cell answer = *stack::arguments;
  stack::unwind_last();
  stack::top = saved_top;
  return answer;
}

Cell forward(const Cell* port, int slot, std::initializer_list<Cell> args) {
  return forward(port, slot, args.begin(), args.size());
}

Cell flag(bool given) { return values::logic(given); }
Cell flag(const Cell* arg) { return values::logic(arg != nullptr); }
Cell arg_or_none(const Cell* arg) { return arg ? *arg : values::none; }
// Plain-number /part of change, append and insert: -1 when not given.
Cell count_or_none(int32_t n) { return n >= 0 ? values::integer(n) : values::none; }

// Forwarders by signature. Each writes the actor's answer into the port's cell,
// which is the frame's result, and answers it.
Cell* answer(Cell* port, const Cell& result) {
  *port = result;
  return port;
}

// The minimal slots read the frame: the port, then the index or offset of at and
// skip.
template <int Slot, int Arity>
void minimal() {
  Cell* port = stack::arg(0);
  Cell result = Arity == 2 ? forward(port, Slot, {*stack::arg(1)}) : forward(port, Slot, {});
  stack::set_last(&result);
}

Cell* insert_like(int slot, Cell* port, Cell* value, int32_t part, bool only,
                  int32_t dup) {
  return answer(port, forward(port, slot,
                              {*value, flag(part >= 0), count_or_none(part), flag(only),
                               flag(dup > 1), dup > 1 ? values::integer(dup) : values::none}));
}

Cell* insert_or_append(Cell* port, Cell* value, int32_t part, bool only, int32_t dup,
                       bool append) {
  return insert_like(append ? A_APPEND : A_INSERT, port, value, part, only, dup);
}

Cell* change(Cell* port, Cell* value, int32_t part, bool only, int32_t dup) {
  return insert_like(A_CHANGE, port, value, part, only, dup);
}

Cell* copy(Cell* port, Cell* destination, const Cell* part, bool deep, const Cell* types) {
  return answer(destination, forward(port, A_COPY, {flag(part), arg_or_none(part), flag(deep),
                                                     flag(types), arg_or_none(types)}));
}

// find and select: /with has no argument past the action entry, so it is given
// as not used. select takes neither /tail nor /match.
Cell find_args_forward(int slot, Cell* port, const Cell* value, const FindOptions& how) {
  const Cell args[] = {*value,          flag(how.part),  arg_or_none(how.part), flag(how.only),
                       flag(how.case_), flag(how.same),  flag(how.any),         flag(false),
                       values::none,    flag(how.skip),  arg_or_none(how.skip), flag(how.last),
                       flag(how.reverse), flag(how.tail), flag(how.match)};
  size_t count = sizeof args / sizeof *args - (slot == A_SELECT ? 2 : 0);
  return forward(port, slot, args, count);
}

Cell* find(Cell* port, const Cell* value, const FindOptions& how) {
  return answer(port, find_args_forward(A_FIND, port, value, how));
}

Cell* select(Cell* port, const Cell* value, const FindOptions& how) {
  return answer(port, find_args_forward(A_SELECT, port, value, how));
}

Cell* clear(Cell* port) { return answer(port, forward(port, A_CLEAR, {})); }
Cell* create(Cell* port) { return answer(port, forward(port, A_CREATE, {})); }
Cell* close(Cell* port) { return answer(port, forward(port, A_CLOSE, {})); }
Cell* delete_(Cell* port) { return answer(port, forward(port, A_DELETE, {})); }
Cell* query(Cell* port) { return answer(port, forward(port, A_QUERY, {})); }
Cell* update(Cell* port) { return answer(port, forward(port, A_UPDATE, {})); }

int32_t length_q(const Cell* port) {
  Cell result = forward(port, A_LENGTH_Q, {});
  stack::set_last(&result);
  return LENGTH_IN_FRAME;
}

Cell* move(Cell* port, Cell* target, const Cell* part) {
  return answer(port, forward(port, A_MOVE, {*target, flag(part), arg_or_none(part)}));
}

Cell* pick(Cell* port, int32_t, Cell* index) {
  return answer(port, forward(port, A_PICK, {*index}));
}

Cell* poke(Cell* port, int32_t, Cell* value, Cell* index) {
  return answer(port, forward(port, A_POKE, {*index, *value}));
}

Cell* put(Cell* port, Cell* key, Cell* value, bool case_) {
  return answer(port, forward(port, A_PUT, {*key, *value, flag(case_)}));
}

Cell* modify(Cell* port, Cell* field, Cell* value, bool case_) {
  return answer(port, forward(port, A_MODIFY, {*field, *value, flag(case_)}));
}

Cell* remove(Cell* port, const Cell* part, const Cell*) {
  return answer(port, forward(port, A_REMOVE, {flag(part), arg_or_none(part)}));
}

Cell* reverse(Cell* port, const Cell* part, const Cell*) {
  return answer(port, forward(port, A_REVERSE, {flag(part), arg_or_none(part)}));
}

Cell* sort(Cell* port, const SortOptions& how) {
  return answer(port, forward(port, A_SORT,
                              {flag(how.case_), flag(how.skip), arg_or_none(how.skip),
                               flag(how.compare), arg_or_none(how.compare), flag(how.part),
                               arg_or_none(how.part), flag(how.all), flag(how.reverse),
                               flag(how.stable)}));
}

Cell* swap(Cell* port, Cell* other) { return answer(port, forward(port, A_SWAP, {*other})); }
Cell* rename(Cell* port, Cell* to) { return answer(port, forward(port, A_RENAME, {*to})); }

Cell* take(Cell* port, const Cell* part, bool deep, bool last) {
  return answer(port,
                forward(port, A_TAKE, {flag(part), arg_or_none(part), flag(deep), flag(last)}));
}

Cell* trim(Cell* port, const TrimOptions& how) {
  return answer(port, forward(port, A_TRIM,
                              {flag(how.head), flag(how.tail), flag(how.auto_), flag(how.lines),
                               flag(how.all), flag(how.with), arg_or_none(how.with)}));
}

Cell open_port(const Cell* port, bool new_, bool read, bool write, bool seek,
               const Cell* allow) {
  return forward(port, A_OPEN,
                 {flag(new_), flag(read), flag(write), flag(seek), flag(allow),
                  arg_or_none(allow)});
}

Cell* open(Cell* port, bool new_, bool read, bool write, bool seek, const Cell* allow) {
  return answer(port, open_port(port, new_, read, write, seek, allow));
}

// open, copy with the /part length, close; the copy is the result.
Cell* read(Cell* port, const Cell* part, const Cell* seek, bool, bool, bool, const Cell*) {
  if (served_by_table(port, A_READ)) return answer(port, *stack::arguments);
  Cell p = *port;
  open_port(&p, false, false, false, seek != nullptr, nullptr);
  Cell* copied = stack::push(&values::none);
  *copied = forward(&p, A_COPY, {flag(part), arg_or_none(part), flag(false), flag(false),
                                 values::none});
  forward(&p, A_CLOSE, {});
  *port = *copied;
  stack::pop(1);
  return port;
}

// open for writing, insert the data (up to an integer /part), copy, close.
Cell* write(Cell* port, Cell* data, bool, bool, bool, bool, const Cell* part, const Cell* seek,
            const Cell*, const Cell*) {
  if (served_by_table(port, A_WRITE)) return answer(port, *stack::arguments);
  Cell p = *port;
  int32_t limit = part && part->is(T_INTEGER) ? cell::get_int(part) : -1;
  open_port(&p, false, false, true, seek != nullptr, nullptr);
  forward(&p, A_INSERT, {*data, flag(limit >= 0), count_or_none(limit), flag(false), flag(false),
                         values::none});
  Cell* copied = stack::push(&values::none);
  *copied = forward(&p, A_COPY, {flag(part), arg_or_none(part), flag(false), flag(false),
                                 values::none});
  forward(&p, A_CLOSE, {});
  *port = *copied;
  stack::pop(1);
  return port;
}

}  // namespace

Cell actor_handle(const ActorTable* table) {
  tables.push_back(table);
  Cell c;
  handle::make_at(&c, uint32_t(tables.size() - 1), handle::PORT_ACTOR);
  return c;
}

void init() {
  datatype::register_type(
      T_PORT, T_OBJECT, "port!",
      datatype::make_row(
          INHERIT,
          {slot_entry<A_MAKE>(make), slot_entry<A_FORM>(form), slot_entry<A_MOLD>(mold),
           {A_RANDOM, nullptr}, {A_TO, nullptr}, {A_SET_PATH, nullptr}, {A_OPEN_Q, nullptr},
           slot_entry<A_APPEND>(insert_or_append), slot_entry<A_AT>(minimal<A_AT, 2>),
           slot_entry<A_BACK>(minimal<A_BACK, 1>), slot_entry<A_CHANGE>(change),
           slot_entry<A_CLEAR>(clear), slot_entry<A_COPY>(copy), slot_entry<A_FIND>(find),
           slot_entry<A_HEAD>(minimal<A_HEAD, 1>), slot_entry<A_HEAD_Q>(minimal<A_HEAD_Q, 1>),
           slot_entry<A_INDEX_Q>(minimal<A_INDEX_Q, 1>), slot_entry<A_INSERT>(insert_or_append),
           slot_entry<A_LENGTH_Q>(length_q), slot_entry<A_MOVE>(move),
           slot_entry<A_NEXT>(minimal<A_NEXT, 1>), slot_entry<A_PICK>(pick),
           slot_entry<A_POKE>(poke), slot_entry<A_PUT>(put), slot_entry<A_REMOVE>(remove),
           slot_entry<A_REVERSE>(reverse), slot_entry<A_SELECT>(select),
           slot_entry<A_SORT>(sort), slot_entry<A_SKIP>(minimal<A_SKIP, 2>),
           slot_entry<A_SWAP>(swap), slot_entry<A_TAIL>(minimal<A_TAIL, 1>),
           slot_entry<A_TAIL_Q>(minimal<A_TAIL_Q, 1>), slot_entry<A_TAKE>(take),
           slot_entry<A_TRIM>(trim), slot_entry<A_CREATE>(create), slot_entry<A_CLOSE>(close),
           slot_entry<A_DELETE>(delete_), slot_entry<A_MODIFY>(modify),
           slot_entry<A_OPEN>(open), slot_entry<A_QUERY>(query), slot_entry<A_READ>(read),
           slot_entry<A_RENAME>(rename), slot_entry<A_UPDATE>(update),
           slot_entry<A_WRITE>(write)}));
}

}  // namespace zol::port
