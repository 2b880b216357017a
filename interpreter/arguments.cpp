// Argument gathering: the arguments cache of each callable, and the gathering of
// arguments and refinements from the code into the call's frame.
//
// The cache is a block made from the spec on the first call and kept in cell 1 of
// the callable's "more" block. Its cells, in spec order:
//   typeset!     one per argument word: the types its spec block allows (all but
//                unset! without one); header flags ARG_GET (a get-word in the spec:
//                the next value is taken as it is) or ARG_LITERAL (a lit-word: taken
//                as it is, except that a paren is evaluated and a get-word or
//                get-path gives its value); both flags mark the `return:` types,
//                never fetched
//   refinement!  one per refinement but /local; word 3 is its 1-based number
//   integer!     function! and routine!: the local slots (/local and the words
//                after it), when there are any; native! and action!: the number
//                of refinements, when there are any
// The cache's own cell (in the "more" block) also records, in header bits 8-16,
// whether the spec is plain: only ordinary arguments (no get-word, lit-word or
// return: entries; no refinements for a function!, refinements only after the
// arguments for a native! or action!), at most 255 of them. A plain callable called
// from the code without refinements takes the short gathering below, which does what
// the general one does for such a spec without its bookkeeping.
// A function's frame holds one cell per typeset and refinement entry (arguments,
// refinements as logic!, refinement arguments) and then its locals. A native's frame
// holds its fixed arguments, then the arguments of the refinements used, in the
// order of the path; the native receives per refinement the position of its first
// argument (-1 when unused).
#include <array>
#include <utility>

#include "runtime/core/actions.h"
#include "interpreter/arguments.h"
#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives.h"
#include "interpreter/short_cut.h"
#include "runtime/core/stack.h"
#include "interpreter/trace.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::interpreter {
using args::allows;
using args::cache_of;
using args::missing;
using args::plain_count;
using args::wrong_type;
using args::MAX_PLAIN_ARGUMENTS;
using args::PLAIN_COUNT_SHIFT;
using args::PLAIN_SPEC;

namespace {

constexpr uint32_t ARG_GET = 0x100000;
constexpr uint32_t ARG_LITERAL = 0x200000;
constexpr uint32_t ARG_RETURN = ARG_GET | ARG_LITERAL;
using native::MAX_REFINEMENTS;

bool has_frame_slots(const Cell& callable) {
  return callable.is(T_FUNCTION) || callable.is(T_ROUTINE);
}

// --- building the cache -----------------------------------------------------------------------

// The types a spec type block names; words that name no datatype or typeset (types
// not built into this system) add nothing.
Cell types_of(const Cell* types) {
  Cell set;
  typeset::clear(&set);
  Cell b = *types;
  for (int32_t i = series_cell::head(&b); i < int32_t(block::buffer(&b)->length()); i++) {
    Cell w = std::as_const(*block::buffer(&b)).cells()[i];
    if (!w.is(T_WORD) || !word_cell::context(&w)) continue;
    const Cell* v = word_value(&w);
    if (v->is(T_DATATYPE) || v->is(T_TYPESET)) typeset::add_type(&set, v);
  }
  return set;
}

class CacheBuilder {
 public:
  explicit CacheBuilder(const Cell& callable) : spec_{function::spec_of(&callable)} {
    block::make_at(&cache_, 8);
  }

  Cell build(bool frame_slots) {
    int32_t n = length();
    int32_t i = series_cell::head(&spec_);
    if (i < n && at(i).is(T_BLOCK)) i++;   // attributes
    for (; i < n; i++) i = entry(i);
    if (frame_slots && locals_ > 0) append(values::integer(locals_));
    if (!frame_slots && refinements_ > 0) append(values::integer(refinements_));
    return cache_;
  }

 private:
  Cell spec_;
  Cell cache_;
  int32_t refinements_ = 0;
  int32_t locals_ = 0;
  bool in_locals_ = false;

  int32_t length() const { return int32_t(block::buffer(&spec_)->length()); }
  Cell at(int32_t i) const { return std::as_const(*block::buffer(&spec_)).cells()[i]; }
  void append(const Cell& c) { block::append(&cache_, &c); }

  // The types for the word at i, and the index of the last spec cell it used.
  Cell typeset_after(int32_t i, int32_t* last) {
    *last = i;
    Cell set;
    if (i + 1 < length() && at(i + 1).is(T_BLOCK)) {
      Cell types = at(i + 1);
      set = types_of(&types);
      *last = i + 1;
    } else {
      typeset::make_all(&set);
    }
    return set;
  }

  int32_t entry(int32_t i) {
    Cell c = at(i);
    if (in_locals_) {
      if (c.is(T_WORD)) locals_++;
      if (!c.is(T_SET_WORD)) return i;
      in_locals_ = false;
    }
    int32_t last = i;
    switch (c.type()) {
      case T_WORD: case T_GET_WORD: case T_LIT_WORD: {
        Cell set = typeset_after(i, &last);
        if (c.is(T_GET_WORD)) set.header |= ARG_GET;
        if (c.is(T_LIT_WORD)) set.header |= ARG_LITERAL;
        append(set);
        break;
      }
      case T_REFINEMENT:
        if (symbol::resolve(word_cell::symbol(&c)) == symbol::resolve(words::local)) {
          in_locals_ = true;
          locals_ = 1;
        } else {
          append(Cell{T_REFINEMENT, 0, word_cell::symbol(&c), uint32_t(++refinements_)});
        }
        break;
      case T_SET_WORD: {
        if (symbol::resolve(word_cell::symbol(&c)) != symbol::resolve(words::return_))
          fire(err::script::BAD_FUNC_DEF, &c);
        Cell set = typeset_after(i, &last);
        set.header |= ARG_RETURN;
        append(set);
        break;
      }
      default:
        break;
    }
    return last;
  }
};

// The plain-spec bits for a cache's header (see the top of this file), 0 when the
// spec is not plain. A native or action whose refinements all follow its ordinary
// arguments is plain too: a call from the code uses none of them.
uint32_t plain_shape(const Cell& cache, bool frame_slots) {
  const SeriesBuffer* b = block::buffer(&cache);
  int32_t n = int32_t(b->length());
  int32_t arguments = 0;
  for (int32_t k = 0; k < n; k++) {
    const Cell& e = b->cells()[k];
    if (e.is(T_INTEGER) && k == n - 1) break;   // locals (a native's refinement count never comes alone)
    if (!frame_slots && e.is(T_REFINEMENT)) break;
    if (!e.is(T_TYPESET) || (e.header & ARG_RETURN)) return 0;
    arguments++;
  }
  if (arguments > MAX_PLAIN_ARGUMENTS) return 0;
  return PLAIN_SPEC | uint32_t(arguments) << PLAIN_COUNT_SHIFT;
}

}  // namespace

[[gnu::noinline]] const Cell& args::build_cache(const Cell& callable) {
  bool frame_slots = has_frame_slots(callable);
  Cell cache = CacheBuilder(callable).build(frame_slots);
  cache.header |= plain_shape(cache, frame_slots);
  Cell* slot = function::more(&callable, function::MORE_CACHE);
  *slot = cache;
  return *slot;
}

namespace {

// --- gathering ------------------------------------------------------------------------------

// The word of the spec entry that cache entry `k` was made from, for messages.
Cell arg_word(const Cell& callable, int32_t k) {
  Cell spec = function::spec_of(&callable);
  const SeriesBuffer* b = block::buffer(&spec);
  for (int32_t i = 0; i < int32_t(b->length()); i++) {
    Cell c = b->cells()[i];
    bool counted = c.is(T_WORD) || c.is(T_GET_WORD) || c.is(T_LIT_WORD) || c.is(T_SET_WORD) ||
                   (c.is(T_REFINEMENT) &&
                    symbol::resolve(word_cell::symbol(&c)) != symbol::resolve(words::local));
    if (counted && k-- == 0) {
      cell::set_type(&c, T_WORD);
      return c;
    }
  }
  return values::none;
}

}  // namespace

[[noreturn, gnu::noinline]] void args::missing(const Cell& callable, const Cell& name,
                                                    int32_t k) {
  Cell word = arg_word(callable, k);
  fire(err::script::NO_ARG, &name, &word);
}

[[noreturn, gnu::noinline]] void args::wrong_type(const Cell& callable, const Cell& name,
                                                       int32_t k) {
  Cell type = values::of_datatype(stack::top_type());
  Cell word = arg_word(callable, k);
  fire(err::script::EXPECT_ARG, &name, &type, &word);
}

namespace {

// An argument taken from the code as it stands: a get-word in the spec takes any
// value, a lit-word evaluates parens, get-words and get-paths.
[[gnu::noinline]] int32_t fetch_as_is(const Code& code, int32_t pos, uint32_t flags) {
  Cell v = *code.at(pos);
  trace::event(trace::FETCH, &code.block, pos, &v);
  if (flags == ARG_GET) {
    stack::push(&v);
    return pos + 1;
  }
  switch (v.type()) {
    case T_PAREN: {
      Cell name = anon_word();
      stack::mark(&name, stack::H_INTERP_NATIVE);
      run_block(&v);
      if (exits::pending) return pos;
      stack::unwind();
      return pos + 1;
    }
    case T_GET_WORD: stack::push(word_value(&v)); return pos + 1;
    case T_GET_PATH: return eval_path(v, code, pos + 1, false, true, nullptr);
    default: stack::push(&v); return pos + 1;
  }
}

// Calls a native or action whose arguments are in the frame: the numeric short cut
// when it applies, else the entry, told where each refinement's arguments start.
void call_native(const Cell& callable, int32_t fetched, const int32_t* refinement_args,
                 int32_t refinement_count) {
  bool is_native = callable.is(T_NATIVE);
  ActionFn fn = is_native ? natives::entry(int32_t(callable.w1) + 1)
                          : actions::generic[callable.w1];
  if (!fn) natives::not_done();
  if (fetched == 2 && refinement_count == 0 && short_cut(callable, stack::arguments)) return;
  if (refinement_count == 0) natives::call_plain(fn, is_native);
  else natives::call(fn, is_native, refinement_args, refinement_count);
}

class Gatherer {
 public:
  // The callable and the name live in the caller's frame for the whole call. The
  // cache never grows once built, and the pointer to its cells, kept on the native
  // stack, holds its buffer in place while arguments are evaluated.
  Gatherer(const Cell& callable, const Code& code, const Cell* name, bool infix, int gathering)
      : callable_(callable), code_(code), name_(*name), infix_(infix),
        frame_slots_(has_frame_slots(callable)), gathering_(gathering) {
    const SeriesBuffer* b = block::buffer(&cache_of(callable));
    entries_ = b->cells();
    count_ = int32_t(b->cell_count());
    for (int32_t& slot : refinement_args_) slot = -1;
  }

  int32_t gather(int32_t pos, const PathRefinements* path) {
    in_order_ = !path && (gathering_ & GATHER_IN_ORDER);
    pos = first_pass(pos);
    if (exits::pending) return pos;
    if (path) pos = refinements_from_path(*path, pos);
    else if (gathering_ & GATHER_BLOCK && !in_order_) pos = refinements_from_block(pos);
    if (exits::pending) return pos;
    trace::event(trace::CALL, &code_.block, pos, &callable_, &name_);
    if (frame_slots_) {
      if (locals_ > 0) function::init_locals(locals_);
    } else {
      call_entry();
    }
    return pos;
  }

 private:
  const Cell& callable_;
  const Code& code_;
  const Cell& name_;
  bool infix_;
  bool frame_slots_;
  int gathering_;
  bool in_order_ = false;   // the refinements' truths come in spec order from the block
  const Cell* entries_;
  int32_t count_;
  int32_t locals_ = 0;
  int32_t refinement_count_ = 0;
  int32_t fetched_ = 0;   // argument cells in a native's frame
  int32_t refinement_args_[MAX_REFINEMENTS];
  uint32_t refinements_seen_ = 0;
  const Cell* path_ = &values::none;   // the path giving the refinements

  int32_t cache_length() const { return count_; }
  const Cell& entry(int32_t k) const { return entries_[k]; }

  void check_type(const Cell& types, int32_t k) {
    if (!allows(types, (stack::top - 1)->type())) [[unlikely]] wrong_type(callable_, name_, k);
  }

  // Pushes one argument taken from the code as the flags say. An argument block
  // that has run out gives none.
  int32_t fetch(int32_t pos, uint32_t flags, int32_t k) {
    if (pos >= code_.length()) [[unlikely]] {
      if (!gathering_) missing(callable_, name_, k);
      stack::push(&values::none);
      return pos;
    }
    if (flags) [[unlikely]] return fetch_as_is(code_, pos, flags);
    if (gathering_ & GATHER_SINGLE) [[unlikely]] return lone_expression(code_, pos);
    return expression(code_, pos, infix_);
  }

  // The truth of the next value of an argument block, which must be a logic!; a
  // block that has run out leaves the refinement off.
  bool fetch_truth(int32_t* pos, int32_t k) {
    if (*pos >= code_.length()) return false;
    *pos = fetch(*pos, 0, k);
    if (!exits::pending && !(stack::top - 1)->is(T_LOGIC)) wrong_type(callable_, name_, k);
    return logic::get(--stack::top);
  }

  int32_t first_pass(int32_t pos) {
    bool active = true;
    bool left_operand = infix_;
    for (int32_t k = 0; k < cache_length(); k++) {
      const Cell& e = entry(k);
      switch (e.type()) {
        case T_TYPESET: {
          uint32_t flags = e.header & ARG_RETURN;
          if (flags == ARG_RETURN) break;
          if (!active) {
            if (frame_slots_) stack::push(&values::none);
            // The block holds a value for it all the same.
            if (in_order_) {
              pos = fetch(pos, flags, k);
              if (exits::pending) return pos;
              stack::pop(1);
            }
            break;
          }
          if (left_operand) {
            left_operand = false;
          } else if (pos >= code_.length() && !gathering_ && flags == ARG_LITERAL &&
                     typeset::has(&e, T_UNSET)) {
            stack::push(&values::unset);
          } else {
            pos = fetch(pos, flags, k);
            if (exits::pending) return pos;
          }
          check_type(e, k);
          fetched_++;
          break;
        }
        case T_REFINEMENT:
          if (in_order_) {
            active = fetch_truth(&pos, k);
            if (exits::pending) return pos;
            if (frame_slots_) stack::push(active ? &values::true_value : &values::false_value);
            else if (active) refinement_args_[e.w3 - 1] = fetched_;
            break;
          }
          // A native's frame takes nothing for the refinements the code does not
          // use: only their number, the cache's last entry, is still needed.
          if (!frame_slots_) {
            refinement_count_ = cell::get_int(&entry(cache_length() - 1));
            return pos;
          }
          stack::push(&values::false_value);
          active = false;
          break;
        case T_INTEGER:
          if (frame_slots_) locals_ = cell::get_int(&e);
          else refinement_count_ = cell::get_int(&e);
          break;
        default:
          break;
      }
    }
    return pos;
  }

  // The cache index of a refinement and the frame slot it takes (functions).
  bool find_refinement(const Cell& element, int32_t* k_out, int32_t* slot_out) {
    uint32_t s = symbol::resolve(word_cell::symbol(&element));
    int32_t slot = 0;
    for (int32_t k = 0; k < cache_length(); k++) {
      Cell e = entry(k);
      if (e.is(T_REFINEMENT) && symbol::resolve(word_cell::symbol(&e)) == s) {
        *k_out = k;
        *slot_out = slot;
        return true;
      }
      if (e.is(T_REFINEMENT) || (e.is(T_TYPESET) && (e.header & ARG_RETURN) != ARG_RETURN)) slot++;
    }
    return false;
  }

  int32_t refinements_from_path(const PathRefinements& path, int32_t pos) {
    Cell p = *path.path;
    path_ = path.path;
    for (int32_t i = path.next; i < int32_t(block::buffer(&p)->length()); i++) {
      Cell element = std::as_const(*block::buffer(&p)).cells()[i];
      if (!element.is(T_WORD) && !element.is(T_GET_WORD))
        fire(err::script::BAD_REFINE, &element);
      bool on = !element.is(T_GET_WORD) || logic::true_value(word_value(&element));
      int32_t k, slot;
      if (!find_refinement(element, &k, &slot))
        fire(err::script::NO_REFINE, &name_, &element);
      pos = use_refinement(entry(k), k, slot, on, pos);
      if (exits::pending) return pos;
    }
    return pos;
  }

  // After the fixed arguments an argument block may name refinements, each followed
  // by its truth and its arguments. A value other than a refinement! ends the
  // arguments when no refinement came before it.
  int32_t refinements_from_block(int32_t pos) {
    bool seen = false;
    while (pos < code_.length()) {
      Cell element = *code_.at(pos);
      if (!element.is(T_REFINEMENT)) {
        if (!seen) return pos;
        fire(err::script::BAD_REFINE, &element);
      }
      seen = true;
      int32_t k, slot;
      if (!find_refinement(element, &k, &slot)) fire(err::script::NO_REFINE, &name_, &element);
      pos++;
      bool on = fetch_truth(&pos, k);
      if (exits::pending) return pos;
      path_ = &code_.block;
      pos = use_refinement(entry(k), k, slot, on, pos);
      if (exits::pending) return pos;
    }
    return pos;
  }

  [[noreturn]] void duplicate() { fire(err::script::DUP_REFINE, path_); }

  int32_t use_refinement(const Cell& refinement, int32_t k, int32_t slot, bool on, int32_t pos) {
    if (frame_slots_) {
      Cell* flag = stack::arguments + slot;
      if (logic::true_value(flag)) duplicate();
      *flag = values::logic(on);
    } else {
      ZOL_ASSERT(refinement.w3 >= 1 && refinement.w3 <= uint32_t(MAX_REFINEMENTS));
      uint32_t bit = 1u << (refinement.w3 - 1);
      if (refinements_seen_ & bit) duplicate();
      refinements_seen_ |= bit;
      if (on) refinement_args_[refinement.w3 - 1] = fetched_;
    }
    for (int32_t j = k + 1; j < cache_length(); j++) {
      Cell e = entry(j);
      if (!e.is(T_TYPESET) || (e.header & ARG_RETURN) == ARG_RETURN) break;
      pos = fetch(pos, e.header & ARG_RETURN, j);
      if (exits::pending) return pos;
      if (!on) {
        stack::pop(1);
      } else {
        check_type(e, j);
        if (frame_slots_) {
          stack::arguments[slot + (j - k)] = *--stack::top;
        } else {
          fetched_++;
        }
      }
    }
    return pos;
  }

  void call_entry() {
    call_native(callable_, fetched_, refinement_args_, refinement_count_);
  }
};

// Where each refinement's arguments start in a native's frame when the call uses none.
constexpr auto NO_REFINEMENT_USED = [] {
  std::array<int32_t, MAX_REFINEMENTS> starts{};
  starts.fill(-1);
  return starts;
}();

// Checks the argument just pushed (or an infix call's left operand, in place)
// against entry k of a plain cache: the stack is not empty.
[[gnu::always_inline]] inline void check_plain(const Cell& callable, const Cell* entries,
                                               int32_t k, const Cell* name) {
  if (!allows(entries[k], (stack::top - 1)->type())) [[unlikely]] wrong_type(callable, *name, k);
}

// Whether a plain cache of that many arguments names no refinement: past the
// arguments, a native's cache ends with its number of refinements.
[[gnu::always_inline]] inline bool no_refinements(const SeriesBuffer* cache, int32_t arguments) {
  int32_t count = int32_t(cache->cell_count());
  return count <= arguments || cell::get_int(&cache->cells()[count - 1]) == 0;
}

// The end of a plain gathering, its arguments in the frame: the call event, then a
// native is called or a function's locals are made.
[[gnu::always_inline]] inline void call_plain(const Cell& callable, const SeriesBuffer* cache,
                                              int32_t arguments, const Code& code, int32_t pos,
                                              const Cell* name) {
  const Cell* entries = cache->cells();
  int32_t count = int32_t(cache->cell_count());
  trace::event(trace::CALL, &code.block, pos, &callable, name);
  if (!has_frame_slots(callable)) {
    // Past the arguments, a native's cache ends with its number of refinements.
    int32_t refinements = count > arguments ? cell::get_int(&entries[count - 1]) : 0;
    call_native(callable, arguments, NO_REFINEMENT_USED.data(), refinements);
  } else {
    args::make_locals(cache, arguments);
  }
}

// The gathering of a plain spec's arguments from the code: each argument is the
// next expression, checked against its types; then a function's locals are made or
// a native is called. With first_in_place the first argument is on the stack top
// already (an infix call's left operand, or a conditional's condition that the
// evaluator's short path evaluated before it found branches it does not take).
int32_t gather_plain(const Cell& callable, const Cell& cache, const Code& code, int32_t pos,
                     const Cell* name, bool infix, bool first_in_place) {
  const SeriesBuffer* b = block::buffer(&cache);
  const Cell* entries = b->cells();   // held on the native stack: the buffer stays put
  int32_t arguments = plain_count(cache);
  pos = args::gather_plain_arguments(callable, entries, arguments, code, pos, name, infix,
                                     first_in_place);
  if (exits::pending) return pos;
  call_plain(callable, b, arguments, code, pos, name);
  return pos;
}

// A right operand that is a paren, with no trace running: what the expression
// step does for it (no fetch event is heard, the paren runs on top of the frame),
// without the step's dispatch. A trace switched on inside the paren hears the push.
int32_t paren_operand(const Code& code, int32_t pos, Cell paren) {
  args::run_paren_on_top(paren);
  pos++;
  if (exits::pending) return pos;
  trace::event(trace::PUSH, &code.block, pos, stack::top - 1);
  return pos;
}

// gather_plain for the shape of every op: the left operand in place, then one
// right operand, the next expression with no operator applied after it.
int32_t gather_plain_operands(const Cell& callable, const Cell& cache, const Code& code,
                              int32_t pos, const Cell* name) {
  const SeriesBuffer* b = block::buffer(&cache);
  const Cell* entries = b->cells();   // held on the native stack: the buffer stays put
  check_plain(callable, entries, 0, name);
  const Cell* at = code.peek(pos);
  if (!at) [[unlikely]] missing(callable, *name, 1);
  if (at->is(T_PAREN) && !trace::tracing) pos = paren_operand(code, pos, *at);
  else pos = expression_at(code, pos, at, true);
  if (exits::pending) return pos;
  check_plain(callable, entries, 1, name);
  // The numeric short cut before the native's entry is looked up: what call_native
  // would do first, untraced.
  if (!trace::tracing && no_refinements(b, 2) &&
      numeric_short_cut(fast_operation(callable.type(), callable.w1), stack::arguments,
                        stack::arguments + 1))
    return pos;
  call_plain(callable, b, 2, code, pos, name);
  return pos;
}

}  // namespace

int32_t fetch_arguments(const Cell& callable, const Code& code, int32_t pos, const Cell* name,
                        const PathRefinements* refinements, bool infix, int gathering) {
  const Cell& cache = cache_of(callable);
  if ((cache.header & PLAIN_SPEC) && !refinements && gathering == GATHER_CODE)
    return gather_plain(callable, cache, code, pos, name, infix, infix);
  return Gatherer(callable, code, name, infix, gathering).gather(pos, refinements);
}

int32_t gather_prefix(const Cell& callable, const Code& code, int32_t pos, const Cell* name) {
  const Cell& cache = cache_of(callable);
  if (cache.header & PLAIN_SPEC) [[likely]] return gather_plain(callable, cache, code, pos, name, false, false);
  return Gatherer(callable, code, name, false, GATHER_CODE).gather(pos, nullptr);
}

int32_t gather_prefix_after_first(const Cell& callable, const Code& code, int32_t pos,
                                  const Cell* name) {
  const Cell& cache = cache_of(callable);
  ZOL_ASSERT(cache.header & PLAIN_SPEC);
  return gather_plain(callable, cache, code, pos, name, false, true);
}

uint64_t first_argument_types(const Cell& callable) {
  const Cell& cache = cache_of(callable);
  ZOL_ASSERT(cache.header & PLAIN_SPEC);
  const Cell& types = std::as_const(*block::buffer(&cache)).cells()[0];
  static_assert(T_LAST < 64);
  uint64_t allowed = 0;
  for (int type = 0; type <= T_LAST; type++)
    if (allows(types, uint8_t(type))) allowed |= uint64_t(1) << type;
  return allowed;
}

int32_t gather_infix(const Cell& callable, const Code& code, int32_t pos, const Cell* name) {
  const Cell& cache = cache_of(callable);
  if ((cache.header & PLAIN_SPEC) && plain_count(cache) == 2) [[likely]]
    return gather_plain_operands(callable, cache, code, pos, name);
  return fetch_arguments(callable, code, pos, name, nullptr, true, GATHER_CODE);
}

}  // namespace zol::interpreter
