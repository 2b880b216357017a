// The action layer (see actions.h): lookup, the stack-level entries, the typed
// forms and comparison.
#include "runtime/core/actions.h"
#include "runtime/datatypes/port/port.h"

#include <climits>

#include "runtime/base/system.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"

namespace zol::actions {

ActionFn generic[ACTION_SLOTS];

// --- lookup ------------------------------------------------------------------------------

namespace {

[[noreturn]] void fire_expect(uint8_t type, const Cell& argument) {
  Cell function = stack::find_function_frame();
  Cell type_cell = values::of_datatype(type);
  fire(err::script::EXPECT_ARG, &function, &type_cell, &argument);
}

}  // namespace

void fire_expect_arg(uint8_t type, int argument) { fire_expect(type, error::arg_word(argument)); }

void fire_expect_refinement_arg(uint8_t type, const char* refinement) {
  fire_expect(type, error::refinement_arg_word(refinement));
}

ActionFn get_action_ptr_from(uint8_t type, int slot, const Cell*) {
  ActionFn fn = datatype::action(type, slot);
  if (!fn) fire_expect_arg(type);
  return fn;
}

ActionFn get_action_ptr_of(const Cell* value, int slot) {
  return get_action_ptr_from(value->type(), slot, value);
}

ActionFn get_action_ptr(int slot) { return get_action_ptr_of(stack::arg(0), slot); }

namespace {

// A copy of the path ending with the element at `position` (from the path's head).
Cell path_up_to(const Cell* path, int position) {
  NodeRef node = memory::copy_series(memory::buffer_of(series_cell::node(path)));
  SeriesBuffer* b = memory::buffer_of(node);
  uint64_t cells = uint64_t(series_cell::head(path)) + uint64_t(position < 0 ? 0 : position) + 1;
  if (cells * sizeof(Cell) < b->tail) b->tail = static_cast<uint32_t>(cells * sizeof(Cell));
  return Cell{path->type(), path->w1, node, 0};
}

}  // namespace

ActionFn get_action_ptr_path(const Cell* parent, int slot, const Cell* path,
                             const Cell* element, int position) {
  ActionFn fn = datatype::action(parent->type(), slot);
  if (fn) return fn;
  Cell type = values::of_datatype(parent->type());
  if (!path) fire(err::script::BAD_PATH_TYPE2, element, &type);
  Cell cut = path_up_to(path, position);
  fire(err::script::BAD_PATH_TYPE, path, &type, &cut);
}

int32_t get_index_argument() {
  const Cell* index = stack::arg(1);
  switch (index->type()) {
    case T_LOGIC: return 2 - static_cast<int32_t>(index->w1);
    case T_INTEGER: case T_CHAR: return cell::get_int(index);
    default: return 0;
  }
}

// --- typed forms -------------------------------------------------------------------------

namespace {

template <class F>
F impl_of(const Cell* first, int slot) {
  return action_as<F>(get_action_ptr_of(first, slot));
}

uint8_t target_type(const Cell* proto) {
  return proto->is(T_DATATYPE) ? static_cast<uint8_t>(proto->w1) : proto->type();
}

Cell* make_or_to(int slot, Cell* proto, Cell* spec) {
  uint8_t t = target_type(proto);
  return action_as<MakeFn>(get_action_ptr_from(t, slot, proto))(proto, spec, t);
}

Cell* append_or_insert(int slot, Cell* series, Cell* value, int32_t part, bool only,
                       int32_t dup) {
  return impl_of<InsertFn>(series, slot)(series, value, part, only, dup, slot == A_APPEND);
}

}  // namespace

Cell* make_typed(Cell* proto, Cell* spec) { return make_or_to(A_MAKE, proto, spec); }
Cell* to_typed(Cell* proto, Cell* spec) { return make_or_to(A_TO, proto, spec); }

Cell* random_typed(Cell* value, bool seed, bool secure, bool only) {
  return impl_of<RandomFn>(value, A_RANDOM)(value, seed, secure, only);
}

Cell* reflect_typed(Cell* value, uint32_t field_symbol) {
  return impl_of<ReflectFn>(value, A_REFLECT)(value, field_symbol);
}

int form_typed(const Cell* value, Cell* buffer, const Cell* part_arg, int limit) {
  return impl_of<FormFn>(value, A_FORM)(value, buffer, part_arg, limit);
}

int mold_typed(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return impl_of<MoldFn>(value, A_MOLD)(value, buffer, how, limit);
}

Cell* eval_path_typed(Cell* parent, Cell* element, Cell* value, Cell* path, int position) {
  auto fn = action_as<EvalPathFn>(get_action_ptr_path(parent, A_EVAL_PATH, path, element,
                                                       position));
  return fn(parent, element, value, path);
}

Cell* negate_typed(Cell* value) { return impl_of<UnaryFn>(value, A_NEGATE)(value); }

Cell* round_typed(Cell* value, const Cell* scale, rounding::Mode mode) {
  return impl_of<RoundFn>(value, A_ROUND)(value, scale, mode);
}

bool even_q_typed(const Cell* value) { return impl_of<PredicateFn>(value, A_EVEN_Q)(value); }
bool odd_q_typed(const Cell* value) { return impl_of<PredicateFn>(value, A_ODD_Q)(value); }
Cell* complement_typed(Cell* value) { return impl_of<UnaryFn>(value, A_COMPLEMENT)(value); }

Cell* append_typed(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
  return append_or_insert(A_APPEND, series, value, part, only, dup);
}

Cell* insert_typed(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
  return append_or_insert(A_INSERT, series, value, part, only, dup);
}

Cell* change_typed(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
  return impl_of<ChangeFn>(series, A_CHANGE)(series, value, part, only, dup);
}

Cell* clear_typed(Cell* series) { return impl_of<ClearFn>(series, A_CLEAR)(series); }

Cell* copy_typed(Cell* value, Cell* destination, const Cell* part, bool deep,
                 const Cell* types) {
  return impl_of<CopyFn>(value, A_COPY)(value, destination, part, deep, types);
}

Cell* find_typed(Cell* series, const Cell* value, const FindOptions& how) {
  return impl_of<FindFn>(series, A_FIND)(series, value, how);
}

int32_t length_q_typed(const Cell* series) {
  return impl_of<LengthFn>(series, A_LENGTH_Q)(series);
}

Cell* move_typed(Cell* origin, Cell* target, const Cell* part) {
  return impl_of<MoveFn>(origin, A_MOVE)(origin, target, part);
}

Cell* pick_typed(Cell* series, int32_t index, Cell* index_cell) {
  return impl_of<PickFn>(series, A_PICK)(series, index, index_cell);
}

Cell* poke_typed(Cell* series, int32_t index, Cell* value, Cell* index_cell) {
  return impl_of<PokeFn>(series, A_POKE)(series, index, value, index_cell);
}

Cell* put_typed(Cell* series, Cell* key, Cell* value, bool case_) {
  return impl_of<PutFn>(series, A_PUT)(series, key, value, case_);
}

Cell* remove_typed(Cell* series, const Cell* part, const Cell* key) {
  return impl_of<RemoveFn>(series, A_REMOVE)(series, part, key);
}

Cell* reverse_typed(Cell* series, const Cell* part, const Cell* skip) {
  return impl_of<ReverseFn>(series, A_REVERSE)(series, part, skip);
}

Cell* select_typed(Cell* series, const Cell* value, const FindOptions& how) {
  return impl_of<SelectFn>(series, A_SELECT)(series, value, how);
}

Cell* sort_typed(Cell* series, const SortOptions& how) {
  return impl_of<SortFn>(series, A_SORT)(series, how);
}

Cell* swap_typed(Cell* first, Cell* second) {
  return impl_of<TwoCellFn>(first, A_SWAP)(first, second);
}

Cell* take_typed(Cell* series, const Cell* part, bool deep, bool last) {
  return impl_of<TakeFn>(series, A_TAKE)(series, part, deep, last);
}

Cell* trim_typed(Cell* series, const TrimOptions& how) {
  return impl_of<TrimFn>(series, A_TRIM)(series, how);
}

Cell* create_typed(Cell* port) { return impl_of<UnaryFn>(port, A_CREATE)(port); }
Cell* close_typed(Cell* port) { return impl_of<UnaryFn>(port, A_CLOSE)(port); }
Cell* delete_typed(Cell* file) { return impl_of<UnaryFn>(file, A_DELETE)(file); }

Cell* modify_typed(Cell* target, Cell* field, Cell* value, bool case_) {
  return impl_of<ModifyFn>(target, A_MODIFY)(target, field, value, case_);
}

Cell* open_typed(Cell* port, bool new_, bool read, bool write, bool seek, const Cell* allow) {
  return impl_of<OpenFn>(port, A_OPEN)(port, new_, read, write, seek, allow);
}

Cell* open_q_typed(Cell* port) { return impl_of<UnaryFn>(port, A_OPEN_Q)(port); }
Cell* query_typed(Cell* target) { return impl_of<UnaryFn>(target, A_QUERY)(target); }

Cell* read_typed(Cell* source, const Cell* part, const Cell* seek, bool binary, bool lines,
                 bool info, const Cell* as) {
  return impl_of<ReadFn>(source, A_READ)(source, part, seek, binary, lines, info, as);
}

Cell* rename_typed(Cell* from, Cell* to) { return impl_of<TwoCellFn>(from, A_RENAME)(from, to); }
Cell* update_typed(Cell* port) { return impl_of<UnaryFn>(port, A_UPDATE)(port); }

Cell* write_typed(Cell* destination, Cell* data, bool binary, bool lines, bool info,
                  bool append, const Cell* part, const Cell* seek, const Cell* allow,
                  const Cell* as) {
  return impl_of<WriteFn>(destination, A_WRITE)(destination, data, binary, lines, info, append,
                                                part, seek, allow, as);
}

// --- comparison --------------------------------------------------------------------------

namespace {

int unsigned_order(uint32_t a, uint32_t b) { return a < b ? -1 : a > b ? 1 : 0; }

}  // namespace

int compare_typed(const Cell* a, const Cell* b, int op) {
  auto fn = impl_of<CompareFn>(a, A_COMPARE);
  if (a->type() == b->type()) {
    switch (a->type()) {
      case T_LOGIC: return static_cast<int>(a->w1) - static_cast<int>(b->w1);
      case T_NATIVE: case T_ACTION: case T_OP: return unsigned_order(a->w1, b->w1);
      case T_FUNCTION: case T_ROUTINE: return unsigned_order(a->w3, b->w3);
      default: break;
    }
  }
  return fn(a, b, op);
}

bool order_truth(int r, int op, const Cell* a, const Cell* b) {
  switch (op) {
    case C_EQUAL: case C_STRICT_EQUAL: case C_SAME: case C_WORD_CASE: case C_WORD: case C_FIND:
      return r == 0;
    case C_NOT_EQUAL: return r != 0;
    case C_LESSER: case C_LESSER_EQUAL: case C_GREATER: case C_GREATER_EQUAL:
      if (r == COMPARE_NOT_COMPARABLE) fire(err::script::INVALID_COMPARE, a, b);
      if (op == C_LESSER) return r < 0;
      if (op == C_LESSER_EQUAL) return r <= 0;
      if (op == C_GREATER) return r > 0;
      return r >= 0;
    default:
      system::runtime_error(system::FATAL_NO_SWITCH, reinterpret_cast<uintptr_t>(&order_truth));
  }
}

bool compare(const Cell* a, const Cell* b, int op) {
  return order_truth(impl_of<CompareFn>(a, A_COMPARE)(a, b, op), op, a, b);
}

Cell* compare_op(int op) { return logic::box(compare(stack::arg(0), stack::arg(1), op)); }

// --- stack-level entries -----------------------------------------------------------------

namespace {

using stack::arg;
Cell* refinement_arg(int index) { return index < 0 ? nullptr : stack::arguments + index; }
bool used(int index) { return index != -1; }
void run_minimal(int slot) { action_as<MinimalFn>(get_action_ptr(slot))(); }
void to_frame(const Cell* result) { stack::set_last(result); }

// Cuts a string to its first `limit` characters from its head.
void truncate_string(Cell* s, int limit) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(s));
  uint64_t end = b->offset + (uint64_t(series_cell::head(s)) + uint64_t(limit)) * b->unit();
  if (end < b->tail) b->tail = static_cast<uint32_t>(end);
}

// form and mold: the value's text in a new string that becomes the result; a /part
// limit cuts it, and a limit below 1 gives an empty string without forming.
template <class Write>
void text_entry(int part, Write write) {
  Cell part_value = part < 0 ? values::none : *refinement_arg(part);
  const Cell* part_arg = part < 0 ? nullptr : &part_value;
  int limit = part_arg ? cell::get_int(part_arg) : INT_MAX;
  if (part_arg && limit < 1) {
    string::make_at(arg(0), 16);
    stack::keep();
    return;
  }
  stack::keep();
  Cell* buffer = stack::push_unset();
  string::make_at(buffer, 16);
  write(arg(0), buffer, part_arg, limit);
  if (part_arg) truncate_string(buffer, limit);
  stack::set_result(buffer);
}

bool has_series_buffer(const Cell* v) {
  switch (v->type()) {
    case T_BLOCK: case T_PAREN: case T_HASH: case T_PATH: case T_LIT_PATH: case T_SET_PATH:
    case T_GET_PATH: case T_STRING: case T_FILE: case T_URL: case T_TAG: case T_EMAIL:
    case T_REF: case T_BINARY: case T_VECTOR: case T_IMAGE: case T_MAP:
      return series_cell::node(v) != 0;
    default:
      return false;
  }
}

// Moves a head index past the tail back to the tail.
void clamp_head(Cell* series) {
  int32_t length = static_cast<int32_t>(memory::buffer_of(series_cell::node(series))->length());
  if (series_cell::head(series) > length) series_cell::set_head(series, length);
}

// The count a /part argument gives against `target`: an integer!, or a position in
// the same series (its head minus the target's).
int32_t part_count(const Cell* target, Cell* part, bool no_position_part) {
  if (part->is(T_INTEGER)) return cell::get_int(part);
  if (part->type() != target->type() || series_cell::node(part) != series_cell::node(target) ||
      no_position_part)
    series::fire_refine_arg(words::part, part);
  clamp_head(part);
  return series_cell::head(part) - series_cell::head(target);
}

// A negative count moves the target's head back by as many units as it can; the
// count becomes the number of units moved.
int32_t move_head_back(Cell* target, int32_t count) {
  series::Range moved = series::counted_at(series_cell::head(target), count, 0);
  series_cell::set_head(target, moved.start);
  return moved.count;
}

// The /dup count, 1 without it; 0 ends the action with the series as its result.
int32_t dup_count(int dup) {
  if (dup < 0) return 1;
  int32_t n = cell::get_int(refinement_arg(dup));
  return n < 1 ? 0 : n;
}

void append_or_insert_entry(int slot, int part, int only, int dup) {
  Cell* series = arg(0);
  Cell* value = arg(1);
  // Resolved first: a value the action does not take has no head to clamp.
  auto insert_fn = impl_of<InsertFn>(series, slot);
  if (slot == A_INSERT && !series->is(T_PORT)) clamp_head(series);
  int32_t count = -1;
  if (part >= 0) {
    if (!has_series_buffer(value))
      fire(err::script::INVALID_PART, refinement_arg(part));
    clamp_head(value);
    count = part_count(value, refinement_arg(part), value->is(T_PORT));
    if (count == 0 || (count < 0 && series_cell::head(value) == 0)) return;
    if (count < 0) count = move_head_back(value, count);
  }
  int32_t dups = dup_count(dup);
  if (dups == 0) return;
  to_frame(insert_fn(series, value, count, used(only), dups, slot == A_APPEND));
}

}  // namespace

void make() { to_frame(make_typed(arg(0), arg(1))); }
void to() { to_frame(to_typed(arg(0), arg(1))); }

void random(int seed, int secure, int only) {
  random_typed(arg(0), used(seed), used(secure), used(only));
}

void reflect() { reflect_typed(arg(0), word_cell::symbol(arg(1))); }

void form(int part) { text_entry(part, form_typed); }

void mold(int only, int all, int flat, int part) {
  text_entry(part, [&](const Cell* value, Cell* buffer, const Cell* part_arg, int limit) {
    MoldOptions how{.only = used(only), .all = used(all), .flat = used(flat), .part = part_arg};
    return mold_typed(value, buffer, how, limit);
  });
}

void eval_path(int set) {
  Cell* result = eval_path_typed(arg(0), arg(1), set ? arg(2) : nullptr, nullptr, -1);
  if (result) to_frame(result);
}

void absolute() { run_minimal(A_ABSOLUTE); }
void add() { run_minimal(A_ADD); }
void divide() { run_minimal(A_DIVIDE); }
void multiply() { run_minimal(A_MULTIPLY); }
void negate() { negate_typed(arg(0)); }
void power() { run_minimal(A_POWER); }
void remainder() { run_minimal(A_REMAINDER); }

void round(int to, int even, int down, int half_down, int floor, int ceiling, int half_ceiling) {
  round_typed(arg(0), refinement_arg(to),
              rounding::mode_of(used(even), used(down), used(half_down), used(floor),
                                used(ceiling), used(half_ceiling)));
}

void subtract() { run_minimal(A_SUBTRACT); }
void even_q() { logic::box(even_q_typed(arg(0))); }
void odd_q() { logic::box(odd_q_typed(arg(0))); }
void and_t() { run_minimal(A_AND_T); }
void complement() { to_frame(complement_typed(arg(0))); }
void or_t() { run_minimal(A_OR_T); }
void xor_t() { run_minimal(A_XOR_T); }

void append(int part, int only, int dup) { append_or_insert_entry(A_APPEND, part, only, dup); }
void insert(int part, int only, int dup) { append_or_insert_entry(A_INSERT, part, only, dup); }

void at() { run_minimal(A_AT); }
void back() { run_minimal(A_BACK); }

// change: /part counts in the series itself.
void change(int part, int only, int dup) {
  Cell* series = arg(0);
  auto change_fn = impl_of<ChangeFn>(series, A_CHANGE);   // before the head is clamped
  bool fixed_shape = series->is(T_PORT) || series->is(T_IMAGE);
  if (!fixed_shape) clamp_head(series);
  int32_t count = -1;
  if (part >= 0) {
    count = part_count(series, refinement_arg(part), fixed_shape);
    if (count < 0) count = fixed_shape ? 0 : move_head_back(series, count);
  }
  int32_t dups = dup_count(dup);
  if (dups == 0) return;
  to_frame(change_fn(series, arg(1), count, used(only), dups));
}

void clear() { clear_typed(arg(0)); }

void copy(int part, int deep, int types) {
  const Cell* kind = refinement_arg(types);
  if (kind && !kind->is(T_DATATYPE) && !kind->is(T_TYPESET))
    fire_expect_refinement_arg(kind->type(), "types");
  Cell* destination = stack::push_unset();
  to_frame(copy_typed(arg(0), destination, refinement_arg(part), used(deep), kind));
}

void find(int part, int only, int case_, int same, int any, int, int skip, int last,
          int reverse, int tail, int match) {
  to_frame(find_typed(arg(0), arg(1),
                      {.part = refinement_arg(part), .skip = refinement_arg(skip),
                       .only = used(only), .case_ = used(case_), .same = used(same),
                       .any = used(any), .last = used(last), .reverse = used(reverse),
                       .tail = used(tail), .match = used(match)}));
}

void head() { run_minimal(A_HEAD); }
void head_q() { run_minimal(A_HEAD_Q); }
void index_q() { run_minimal(A_INDEX_Q); }

void length_q() {
  int32_t n = length_q_typed(arg(0));
  if (n == port::LENGTH_IN_FRAME) return;
  if (n < 0) {
    stack::set_last(&values::none);
  } else {
    Cell length = values::integer(n);
    stack::set_last(&length);
  }
}

void move(int part) { to_frame(move_typed(arg(0), arg(1), refinement_arg(part))); }
void next() { run_minimal(A_NEXT); }
void pick() { to_frame(pick_typed(arg(0), get_index_argument(), arg(1))); }

void poke() {
  poke_typed(arg(0), get_index_argument(), arg(2), arg(1));
  to_frame(arg(2));
}

void put(int case_) { to_frame(put_typed(arg(0), arg(1), arg(2), used(case_))); }
void remove(int part, int key) { remove_typed(arg(0), refinement_arg(part), refinement_arg(key)); }
void reverse(int part, int skip) { reverse_typed(arg(0), refinement_arg(part), refinement_arg(skip)); }

void select(int part, int only, int case_, int same, int any, int, int skip, int last,
            int reverse) {
  to_frame(select_typed(arg(0), arg(1),
                        {.part = refinement_arg(part), .skip = refinement_arg(skip),
                         .only = used(only), .case_ = used(case_), .same = used(same),
                         .any = used(any), .last = used(last), .reverse = used(reverse)}));
}

void sort(int case_, int skip, int compare, int part, int all, int reverse, int stable) {
  to_frame(sort_typed(arg(0), {.skip = refinement_arg(skip), .compare = refinement_arg(compare),
                               .part = refinement_arg(part), .case_ = used(case_),
                               .all = used(all), .reverse = used(reverse),
                               .stable = used(stable)}));
}

void skip() { run_minimal(A_SKIP); }
void swap() { swap_typed(arg(0), arg(1)); }
void tail() { run_minimal(A_TAIL); }
void tail_q() { run_minimal(A_TAIL_Q); }

void take(int part, int deep, int last) {
  to_frame(take_typed(arg(0), refinement_arg(part), used(deep), used(last)));
}

void trim(int head, int tail, int auto_, int lines, int all, int with) {
  trim_typed(arg(0), {.head = used(head), .tail = used(tail), .auto_ = used(auto_),
                      .lines = used(lines), .all = used(all), .with = refinement_arg(with)});
}

void create() { to_frame(create_typed(arg(0))); }
void close() { to_frame(close_typed(arg(0))); }
void delete_() { to_frame(delete_typed(arg(0))); }
void modify(int case_) { to_frame(modify_typed(arg(0), arg(1), arg(2), used(case_))); }

void open(int new_, int read, int write, int seek, int allow) {
  to_frame(open_typed(arg(0), used(new_), used(read), used(write), used(seek),
                      refinement_arg(allow)));
}

void open_q() { to_frame(open_q_typed(arg(0))); }
void query() { to_frame(query_typed(arg(0))); }

void read(int part, int seek, int binary, int lines, int info, int as) {
  to_frame(read_typed(arg(0), refinement_arg(part), refinement_arg(seek), used(binary),
                      used(lines), used(info), refinement_arg(as)));
}

void rename() { to_frame(rename_typed(arg(0), arg(1))); }
void update() { to_frame(update_typed(arg(0))); }

void write(int binary, int lines, int info, int append, int part, int seek, int allow, int as) {
  to_frame(write_typed(arg(0), arg(1), used(binary), used(lines), used(info), used(append),
                       refinement_arg(part), refinement_arg(seek), refinement_arg(allow),
                       refinement_arg(as)));
}

void init() {
  const ActionFn entries[ACTION_SLOTS] = {
      action_fn(make), action_fn(random), action_fn(reflect), action_fn(to), action_fn(form),
      action_fn(mold), action_fn(eval_path), nullptr, action_fn(compare), action_fn(absolute),
      action_fn(add), action_fn(divide), action_fn(multiply), action_fn(negate),
      action_fn(power), action_fn(remainder), action_fn(round), action_fn(subtract),
      action_fn(even_q), action_fn(odd_q), action_fn(and_t), action_fn(complement),
      action_fn(or_t), action_fn(xor_t), action_fn(append), action_fn(at), action_fn(back),
      action_fn(change), action_fn(clear), action_fn(copy), action_fn(find), action_fn(head),
      action_fn(head_q), action_fn(index_q), action_fn(insert), action_fn(length_q),
      action_fn(move), action_fn(next), action_fn(pick), action_fn(poke), action_fn(put),
      action_fn(remove), action_fn(reverse), action_fn(select), action_fn(sort),
      action_fn(skip), action_fn(swap), action_fn(tail), action_fn(tail_q), action_fn(take),
      action_fn(trim), action_fn(create), action_fn(close), action_fn(delete_),
      action_fn(modify), action_fn(open), action_fn(open_q), action_fn(query),
      action_fn(read), action_fn(rename), action_fn(update), action_fn(write),
  };
  for (int i = 0; i < ACTION_SLOTS; i++) generic[i] = entries[i];
}

// --- conveniences ------------------------------------------------------------------------

Cell form_to_string(const Cell* value) {
  Cell out;
  string::make_at(&out, 16);
  form_typed(value, &out, nullptr, INT_MAX);
  return out;
}

Cell mold_to_string(const Cell* value, bool all) {
  Cell out;
  string::make_at(&out, 16);
  mold_typed(value, &out, {.all = all}, INT_MAX);
  return out;
}

}  // namespace zol::actions
