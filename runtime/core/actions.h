// The action layer: between the callers of the 62 generic actions and the
// datatypes' implementations.
//
// Each action has two call forms. The stack-level entry (named after the action)
// reads its arguments from the current frame, whose first cell is also its result
// cell, and takes one integer per refinement: the index of the refinement's first
// argument cell relative to the frame's first cell, or -1 when the refinement is
// not used. The typed form (`_typed`) takes explicit parameters: the argument
// cells, then per refinement a flag, or its argument cell (nullptr when unused).
// Both look the implementation up by the first argument's datatype; a type that
// leaves the slot unsupported raises script expect-arg.
#pragma once
#include "runtime/core/action_types.h"
#include "runtime/core/cell.h"

namespace zol::actions {

// The stack-level entries by slot (slot s at index s - 1): what action! values
// call. Slot 8 (set-path) has no entry: path assignment goes through eval-path.
extern ActionFn generic[ACTION_SLOTS];
void init();

// Lookup: the implementation of `slot` for a type, for the current frame's first
// argument, or for a given value.
ActionFn get_action_ptr_from(uint8_t type, int slot, const Cell* value);
ActionFn get_action_ptr(int slot);
ActionFn get_action_ptr_of(const Cell* value, int slot);
// Lookup for a path step; an unsupported step raises bad-path-type2 (no path) or
// bad-path-type (with the path cut after the element's position).
ActionFn get_action_ptr_path(const Cell* parent, int slot, const Cell* path,
                             const Cell* element, int position);
// The index of pick/poke from the frame's second cell: true 1, false 2, integer!
// and char! their value, anything else 0.
int32_t get_index_argument();

// Raises script expect-arg for a value of `type` given to the function being
// called (the word of the nearest named frame, an operator's own word too), naming
// the `argument`-th word of its spec (refinements count, as on the frame).
[[noreturn]] void fire_expect_arg(uint8_t type, int argument = 0);
// The same naming the argument of a refinement (a native's frame holds only the
// refinements used, so its offset is no spec position).
[[noreturn]] void fire_expect_refinement_arg(uint8_t type, const char* refinement);

// Stack-level entries. Minimal ones hand the frame to the implementation; the
// others convert the refinements and call the typed form.
void make();
void random(int seed, int secure, int only);
void reflect();
void to();
void form(int part);
void mold(int only, int all, int flat, int part);
void eval_path(int set);
void absolute();
void add();
void divide();
void multiply();
void negate();
void power();
void remainder();
void round(int to, int even, int down, int half_down, int floor, int ceiling, int half_ceiling);
void subtract();
void even_q();
void odd_q();
void and_t();
void complement();
void or_t();
void xor_t();
void append(int part, int only, int dup);
void at();
void back();
void change(int part, int only, int dup);
void clear();
void copy(int part, int deep, int types);
void find(int part, int only, int case_, int same, int any, int with, int skip, int last,
          int reverse, int tail, int match);
void head();
void head_q();
void index_q();
void insert(int part, int only, int dup);
void length_q();
void move(int part);
void next();
void pick();
void poke();
void put(int case_);
void remove(int part, int key);
void reverse(int part, int skip);
void select(int part, int only, int case_, int same, int any, int with, int skip, int last,
            int reverse);
void sort(int case_, int skip, int compare, int part, int all, int reverse, int stable);
void skip();
void swap();
void tail();
void tail_q();
void take(int part, int deep, int last);
void trim(int head, int tail, int auto_, int lines, int all, int with);
void create();
void close();
void delete_();
void modify(int case_);
void open(int new_, int read, int write, int seek, int allow);
void open_q();
void query();
void read(int part, int seek, int binary, int lines, int info, int as);
void rename();
void update();
void write(int binary, int lines, int info, int append, int part, int seek, int allow, int as);

// Typed forms. make and to dispatch on the type a datatype! prototype denotes.
Cell* make_typed(Cell* proto, Cell* spec);
Cell* to_typed(Cell* proto, Cell* spec);
Cell* random_typed(Cell* value, bool seed, bool secure, bool only);
Cell* reflect_typed(Cell* value, uint32_t field_symbol);
int form_typed(const Cell* value, Cell* buffer, const Cell* part_arg, int limit);
int mold_typed(const Cell* value, Cell* buffer, const MoldOptions& how, int limit);
// `position` (the element's, -1 outside a path) only names the step in errors.
Cell* eval_path_typed(Cell* parent, Cell* element, Cell* value, Cell* path, int position);
Cell* negate_typed(Cell* value);
Cell* round_typed(Cell* value, const Cell* scale, rounding::Mode mode);
bool even_q_typed(const Cell* value);
bool odd_q_typed(const Cell* value);
Cell* complement_typed(Cell* value);
Cell* append_typed(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
Cell* insert_typed(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
Cell* change_typed(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
Cell* clear_typed(Cell* series);
Cell* copy_typed(Cell* value, Cell* destination, const Cell* part, bool deep,
                 const Cell* types);
Cell* find_typed(Cell* series, const Cell* value, const FindOptions& how = {});
int32_t length_q_typed(const Cell* series);
Cell* move_typed(Cell* origin, Cell* target, const Cell* part);
Cell* pick_typed(Cell* series, int32_t index, Cell* index_cell);
Cell* poke_typed(Cell* series, int32_t index, Cell* value, Cell* index_cell);
Cell* put_typed(Cell* series, Cell* key, Cell* value, bool case_);
Cell* remove_typed(Cell* series, const Cell* part, const Cell* key);
Cell* reverse_typed(Cell* series, const Cell* part, const Cell* skip);
Cell* select_typed(Cell* series, const Cell* value, const FindOptions& how = {});
Cell* sort_typed(Cell* series, const SortOptions& how = {});
Cell* swap_typed(Cell* first, Cell* second);
Cell* take_typed(Cell* series, const Cell* part, bool deep, bool last);
Cell* trim_typed(Cell* series, const TrimOptions& how = {});
Cell* create_typed(Cell* port);
Cell* close_typed(Cell* port);
Cell* delete_typed(Cell* file);
Cell* modify_typed(Cell* target, Cell* field, Cell* value, bool case_);
Cell* open_typed(Cell* port, bool new_, bool read, bool write, bool seek, const Cell* allow);
Cell* open_q_typed(Cell* port);
Cell* query_typed(Cell* target);
Cell* read_typed(Cell* source, const Cell* part, const Cell* seek, bool binary, bool lines,
                 bool info, const Cell* as);
Cell* rename_typed(Cell* from, Cell* to);
Cell* update_typed(Cell* port);
Cell* write_typed(Cell* destination, Cell* data, bool binary, bool lines, bool info,
                  bool append, const Cell* part, const Cell* seek, const Cell* allow,
                  const Cell* as);

// Comparison (operation codes in action_types.h). compare_typed answers the raw
// order (-1, 0, 1, or -2 when not comparable); compare answers the truth of the
// operation, raising invalid-compare when an ordering meets values that cannot be
// ordered; compare_op compares the frame's two arguments into a logic! result.
// order_truth is compare's second half: the truth of `op` for the raw order r of a
// and b (a code without a truth is fatal).
int compare_typed(const Cell* a, const Cell* b, int op);
bool compare(const Cell* a, const Cell* b, int op);
bool order_truth(int r, int op, const Cell* a, const Cell* b);
Cell* compare_op(int op);

// Fast paths for code compiled ahead of time (actions_fast.cpp). Each does the
// common cases inline (integer! and float! arithmetic, integer! comparison, block!
// selection and navigation) and otherwise runs the stack-level entry on a native
// frame named by `word`, so that results and errors are those of the generic call.
// Math codes: OP_ADD, OP_SUBTRACT, OP_MULTIPLY, OP_OR, OP_AND, OP_XOR; comparison
// codes C_EQUAL .. C_GREATER_EQUAL; navigation selectors NAV_LENGTH_Q .. NAV_TAIL.
// Any other code or selector is fatal. The _int forms take the right operand as a
// constant; the _top forms take the left operand from the top of the stack and
// leave their result in its place.
enum NavigationSelector : int {
  NAV_LENGTH_Q = 1, NAV_INDEX_Q, NAV_HEAD_Q, NAV_TAIL_Q, NAV_NEXT, NAV_BACK, NAV_HEAD, NAV_TAIL,
};
// The result is pushed, or for the _top forms written over the top cell.
Cell* math_fast(int op, const Cell* word, const Cell* left, const Cell* right);
Cell* math_fast_int(int op, const Cell* word, const Cell* left, int32_t right);
Cell* math_fast_top(int op, const Cell* word, const Cell* right);
Cell* math_fast_top_int(int op, const Cell* word, int32_t right);
// A logic!, pushed or written over the top cell.
Cell* compare_fast(int op, const Cell* word, const Cell* left, const Cell* right);
Cell* compare_fast_int(int op, const Cell* word, const Cell* left, int32_t right);
Cell* compare_fast_top(int op, const Cell* word, const Cell* right);
Cell* compare_fast_top_int(int op, const Cell* word, int32_t right);
// For conditional jumps: 1 when the truth differs from `expected` (0 or 1), else
// 0; the stack is left as it was.
int compare_fast_test(int op, const Cell* word, const Cell* left, const Cell* right,
                      int expected);
int compare_fast_int_test(int op, const Cell* word, const Cell* left, int32_t right,
                          int expected);
// The logic! goes to the current frame's first cell; answers the truth.
bool compare_fast_set(int op, const Cell* word, const Cell* left, const Cell* right);
bool compare_fast_int_set(int op, const Cell* word, const Cell* left, int32_t right);
// value/n with an integer n, and the eight navigation actions: pushed result. On a
// block!, value/n numbers as pick does (1 the head, -1 the cell before it).
Cell* pick_fast(const Cell* value, int32_t n, const Cell* word);
Cell* navigate_series_fast(const Cell* value, int selector, const Cell* word);

// Conveniences for runtime code and tests: a new string! holding the form or mold.
Cell form_to_string(const Cell* value);
Cell mold_to_string(const Cell* value, bool all = false);

}  // namespace zol::actions
