// The parse engine: walks a rule block over the input, one rule element at a time.
//
// Nested rule blocks and commands (`any`, `copy`, `collect` ...) each take a frame
// of the rule stack, three cells as the trace callback sees them; a run that would
// need 10001 cells or more, or that nears the end of the native stack, ends with
// "PARSE - stack limit reached". A rule that fails leaves the input where it found
// it, so a block can try its next alternative, after the word `|`, from its entry
// position.
//
// Every series the engine works on is a cell in a C++ local or in the Run object
// (itself a local), which the collector's stack scan keeps alive and in place.
// Buffers are read again through their nodes after every paren, callback and edit:
// any of them may grow, shrink or move the input and the rules.
#include <algorithm>

#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "runtime/core/callback.h"
#include "parse/match.h"
#include "parse/parse.h"
#include "platform/platform.h"
#include "runtime/core/actions.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/word.h"

namespace zol::parse {
namespace {

// Command codes: what a command frame holds in its third cell, for the callback.
enum Code : int32_t {
  C_ITERATE = -1, C_TO = -2, C_THRU = -3, C_COPY = -4, C_SET = -5, C_NOT = -6, C_INTO = -7,
  C_REMOVE = -9, C_WHILE = -11, C_COLLECT = -12, C_KEEP = -13, C_KEEP_PAREN = -14,
  C_AHEAD = -16, C_CHANGE = -17, C_CHANGE_ONLY = -18, C_CASE = -19,
};

enum class Keyword {
  NOT_ONE, BAR, SKIP, ANY, SOME, OPT, WHILE, TO, THRU, COPY, SET, NOT, AHEAD, INTO, REMOVE,
  INSERT, CHANGE, COLLECT, KEEP, END, IF, QUOTE, CASE, FAIL, BREAK, REJECT, NONE,
};

struct KeywordEntry {
  const uint32_t* symbol;
  Keyword keyword;
};

const KeywordEntry KEYWORDS[] = {
    {&words::bar, Keyword::BAR},         {&words::skip, Keyword::SKIP},
    {&words::any, Keyword::ANY},         {&words::some, Keyword::SOME},
    {&words::opt, Keyword::OPT},         {&words::while_, Keyword::WHILE},
    {&words::to, Keyword::TO},           {&words::thru, Keyword::THRU},
    {&words::copy, Keyword::COPY},       {&words::set, Keyword::SET},
    {&words::not_, Keyword::NOT},        {&words::ahead, Keyword::AHEAD},
    {&words::into, Keyword::INTO},       {&words::remove, Keyword::REMOVE},
    {&words::insert, Keyword::INSERT},   {&words::change, Keyword::CHANGE},
    {&words::collect, Keyword::COLLECT}, {&words::keep, Keyword::KEEP},
    {&words::end, Keyword::END},         {&words::if_, Keyword::IF},
    {&words::quote, Keyword::QUOTE},     {&words::case_, Keyword::CASE},
    {&words::fail, Keyword::FAIL},       {&words::break_, Keyword::BREAK},
    {&words::reject, Keyword::REJECT},   {&words::none_, Keyword::NONE},
};

Keyword keyword_of(const Cell& word) {
  if (!word.is(T_WORD)) return Keyword::NOT_ONE;
  uint32_t symbol = symbol::resolve(word_cell::symbol(&word));
  for (const KeywordEntry& k : KEYWORDS)
    if (*k.symbol == symbol) return k.keyword;
  return Keyword::NOT_ONE;
}

bool is_word(const Cell& c, uint32_t symbol) {
  return c.is(T_WORD) && symbol::resolve(word_cell::symbol(&c)) == symbol;
}

[[noreturn]] void fire_end(uint32_t keyword) {
  Cell word = word::make_global(keyword);
  fire(err::script::PARSE_END, &word);
}

[[noreturn]] void fire_rule(const Cell& rule) { fire(err::script::PARSE_RULE, &rule); }

int32_t rules_tail(const Cell& rules) {
  return int32_t(memory::buffer_of(series_cell::node(&rules))->length());
}

Cell rule_at(const Cell& rules, int32_t i) {
  return memory::buffer_of(series_cell::node(&rules))->cells()[i];
}

// The value of a word of the rules; unset raises parse-rule naming the word.
Cell value_of(const Cell& word) {
  Cell w = word;
  Cell v = *context::get(&w);
  if (v.is(T_UNSET)) fire_rule(word);
  return v;
}

Cell with_head(const Cell& series, int32_t head) {
  Cell c = series;
  series_cell::set_head(&c, head);
  return c;
}

// A trace callback that answers none or false stops the run with the match flag.
struct Stopped {
  bool matched;
};

// How a command's sub-rule reads: nothing (the rule block ended), a block, a
// literal value (a word that names a value counts), or any other rule element
// that the engine dispatches again at `at` each time the command runs it.
struct Sub {
  enum Kind { END, BLOCK, LITERAL, RULE } kind;
  Cell value;
  int32_t at;
};

// An open `collect`: where kept values go. A plain collect gathers into its
// block; `collect set word` does too and sets the word at the end; `into` and
// `after` store into the series a word names, whose head is put back at the end.
struct Collecting {
  enum Form { PLAIN, SET, INTO, AFTER } form;
  Cell output;
  Cell word;
  int32_t saved_head;
  Collecting* outer;
};

#ifdef ZOL_EVAL_BUDGET
// Fuzzing builds: every rule the engine runs spends the interpreter's budget, so
// that rules looping for as long as they say (`while [none]`, `any [insert "z"]`)
// are told from a hang.
void spend_budget() {
  if (interpreter::eval_budget < 0) return;
  if (interpreter::eval_budget == 0) fire(err::internal::LIMIT_HIT);
  --interpreter::eval_budget;
}
#else
void spend_budget() {}
#endif

#if defined(ZOL_SANITIZE)
constexpr uintptr_t NATIVE_STACK_MARGIN = uintptr_t(2) << 20;
#else
constexpr uintptr_t NATIVE_STACK_MARGIN = uintptr_t(256) << 10;
#endif

class Run {
 public:
  Run(const Cell& input, const Options& options)
      : input_(input), limit_(options.limit), exact_(options.case_sensitive) {
    callback_ = options.callback ? *options.callback : values::none;
    trace_stack_ = values::none;
    result_ = values::unset;
    stack_floor_ = platform::current_stack_bounds().low + NATIVE_STACK_MARGIN;
  }

  Cell go(const Cell& rules);

 private:
  Cell input_;       // the input being parsed; its head is the position
  int32_t limit_;    // the /part limit on the run's own input, negative for none
  bool exact_;       // case-sensitive comparison
  Cell callback_;    // the trace callback, none without /trace
  Cell trace_stack_; // the rule stack as the callback sees it (none without /trace)
  int32_t frames_ = 0;
  int32_t input_depth_ = 0;   // inputs entered by `into`
  bool break_ = false;        // `break`/`reject`: the enclosing loop stops
  bool pop_ = false;          // `break`/`reject`: the current block ends at once
  Collecting* collecting_ = nullptr;
  Cell result_;               // the block of a finished top-level collect, or unset
  bool walked_ = false;       // the last block ended at its tail or at a `|`
  uintptr_t stack_floor_;

  // --- the input ---
  int32_t pos() const { return series_cell::head(&input_); }
  void move_to(int32_t i) { series_cell::set_head(&input_, std::max(0, std::min(i, tail()))); }
  int32_t tail() const {
    return int32_t(memory::buffer_of(series_cell::node(&input_))->length());
  }
  int32_t end() const {
    int32_t t = tail();
    return input_depth_ == 0 && limit_ >= 0 && limit_ < t ? limit_ : t;
  }
  bool at_end() const { return pos() >= end(); }
  bool same_series(const Cell& v) const {
    return v.type() == input_.type() && series_cell::node(&v) == series_cell::node(&input_);
  }
  Cell element_at(int32_t index) const {
    SeriesBuffer* b = memory::buffer_of(series_cell::node(&input_));
    return series::element_at(&input_, b->head() + size_t(index) * b->unit());
  }
  // The units matched since `start`: none when a paren shortened the input under
  // the rule (start is clipped to the tail then).
  int32_t matched_from(int32_t& start) const {
    start = std::min(start, tail());
    return std::max(0, pos() - start);
  }
  Cell copy_range(int32_t from, int32_t to) {
    Cell source = with_head(input_, from);
    Cell part = values::integer(to - from);
    Cell copied;
    return *actions::copy_typed(&source, &copied, &part, false, nullptr);
  }

  // --- frames and tracing ---
  // A frame: for a block, none, {rule index, input index, input length} and the
  // parent block; for a command, `first` (its counters {min, max, count}, its
  // word, or {-1, saved case, 1}), the same triple and {code, extra} as a pair!.
  void push_frame(const Cell& rules, int32_t at, int32_t code, const Cell& first);
  // Rewrites the first cell of frame `index` (0 is the base), for the callback.
  void update_frame(int32_t index, const Cell& first);
  void pop_frame();
  // Calls the trace callback, when there is one, with an event.
  void event(uint32_t name, bool matched, const Cell& rules, int32_t at) {
    if (!callback_.is(T_NONE)) call_tracer(name, matched, rules, at);
  }
  void call_tracer(uint32_t name, bool matched, const Cell& rules, int32_t at);
  // Runs a command in a frame of its own, with its push and pop events.
  template <class Body>
  bool command(const Cell& rules, int32_t at, int32_t code, const Cell& first, Body body) {
    push_frame(rules, at, code, first);
    event(words::push, true, rules, at);
    bool matched = body();
    event(words::pop, matched, rules, at);
    pop_frame();
    return matched;
  }
  Cell eval_paren(const Cell& paren, const Cell& rules, int32_t at);

  // --- rules ---
  bool match_block(const Cell& block, const Cell& parent, int32_t at);
  bool rule(const Cell& rules, int32_t& i);
  bool value_rule(const Cell& rules, int32_t& i, const Cell& value, const Cell* word);
  bool keyword_rule(const Cell& rules, int32_t& i, Keyword keyword);
  bool literal(const Cell& value, const Cell& rules, int32_t at);
  bool type_rule(const Cell& value, const Cell& rules, int32_t at);
  bool get_word(const Cell& word);
  Sub sub_rule(const Cell& rules, int32_t& i, int32_t code);
  bool run_sub(const Sub& sub, const Cell& rules, int32_t& i);
  bool once(const Cell& rules, int32_t& i, uint32_t keyword, bool end_is_error);

  // --- commands ---
  bool counted(const Cell& rules, int32_t& i, const Cell& count);
  bool iterate(const Cell& rules, int32_t& i, int32_t min, int32_t max, int32_t code);
  bool search(const Cell& rules, int32_t& i, bool thru);
  bool capture(const Cell& rules, int32_t& i, bool copy);
  bool look(const Cell& rules, int32_t& i, bool negate);
  bool into(const Cell& rules, int32_t& i);
  bool remove(const Cell& rules, int32_t& i);
  bool insert(const Cell& rules, int32_t& i);
  bool change(const Cell& rules, int32_t& i);
  bool collect(const Cell& rules, int32_t& i);
  bool keep(const Cell& rules, int32_t& i);
  bool case_rule(const Cell& rules, int32_t& i);
  bool if_rule(const Cell& rules, int32_t& i);

  // --- helpers of the editing and collecting commands ---
  bool only_word(const Cell& rules, int32_t& i);
  bool position_word(const Cell& rules, int32_t i, Cell* position);
  Cell edit_value(const Cell& rules, int32_t& i, uint32_t keyword, bool after_position);
  void finish_collect(const Collecting& entry);
  void store(Collecting& entry, const Cell& value);
  Cell target_of(const Collecting& entry);
};

// --- frames and tracing ---------------------------------------------------------------

void Run::push_frame(const Cell& rules, int32_t at, int32_t code, const Cell& first) {
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (frames_ * FRAME_CELLS >= STACK_LIMIT_CELLS || here < stack_floor_)
    fire(err::script::PARSE_STACK);
  frames_++;
  if (trace_stack_.is(T_NONE)) return;
  Cell where = {T_TRIPLE, uint32_t(at), uint32_t(pos()), uint32_t(tail() - pos())};
  Cell last = rules;
  if (code) pair::make_at(&(last = Cell{}), code, 0);   // no new-line mark of the rules' cell
  block::append(&trace_stack_, &first);
  block::append(&trace_stack_, &where);
  block::append(&trace_stack_, &last);
}

void Run::update_frame(int32_t index, const Cell& first) {
  if (trace_stack_.is(T_NONE)) return;
  *block::cell_at(&trace_stack_, index * FRAME_CELLS) = first;
}

void Run::pop_frame() {
  frames_--;
  if (!trace_stack_.is(T_NONE)) block::truncate_at(&trace_stack_, block::length(&trace_stack_) - FRAME_CELLS);
}

void Run::call_tracer(uint32_t name, bool matched, const Cell& rules, int32_t at) {
  Cell word = word::make_global(name);
  Cell flag = values::logic(matched);
  Cell rule = with_head(rules, std::max(0, std::min(at, rules_tail(rules))));
  Cell input = input_;
  Cell frame_name = word::make_global(words::parse_callback);
  Cell function = callback_;
  Cell* saved_top = stack::top;
  stack::mark_func(&frame_name, function.w1);
  stack::push(&word);
  stack::push(&flag);
  stack::push(&rule);
  stack::push(&input);
  stack::push(&trace_stack_);
  interpreter::call_function(&function, context::global, &frame_name, 0);
  exits::settle();
  Cell answer = *stack::arguments;
  stack::unwind_last();
  stack::top = saved_top;
  if (!logic::true_value(&answer)) throw Stopped{matched};
}

Cell Run::eval_paren(const Cell& paren, const Cell& rules, int32_t at) {
  Cell value = interpreter::do_block(&paren);
  event(words::paren_, true, rules, at);
  // The paren may have shortened the input.
  if (pos() > tail()) move_to(tail());
  return value;
}

// --- rules ------------------------------------------------------------------------------

bool Run::match_block(const Cell& block, const Cell& parent, int32_t at) {
  push_frame(parent, at, 0, values::none);
  int32_t i = std::min(series_cell::head(&block), rules_tail(block));
  event(words::push, true, block, i);
  int32_t entry = pos();
  bool matched = true;
  bool walked = true;
  while (i < rules_tail(block)) {
    Cell element = rule_at(block, i);
    // This alternative matched (`|` is known by its exact symbol).
    if (element.is(T_WORD) && word_cell::symbol(&element) == words::bar) break;
    event(words::fetch, matched, block, i);
    matched = rule(block, i);
    if (pop_) {   // break or reject: the block ends where it is
      pop_ = false;
      walked = i >= rules_tail(block);
      break;
    }
    if (matched) continue;
    move_to(entry);
    int32_t bar = next_alternative(block, i);
    if (bar < 0) break;
    i = bar + 1;
    matched = true;
  }
  event(words::pop, matched, block, i);
  pop_frame();
  walked_ = walked;
  return matched;
}

bool Run::rule(const Cell& rules, int32_t& i) {
  spend_budget();
  Cell element = rule_at(rules, i++);
  if (!element.is(T_WORD)) return value_rule(rules, i, element, nullptr);
  Keyword keyword = keyword_of(element);
  if (keyword != Keyword::NOT_ONE) return keyword_rule(rules, i, keyword);
  Cell value = value_of(element);
  return value_rule(rules, i, value, &element);
}

// A rule value, met in the rules or as the value of a word (`word`) just before i.
bool Run::value_rule(const Cell& rules, int32_t& i, const Cell& value, const Cell* word) {
  switch (value.type()) {
    case T_BLOCK:
      return match_block(value, rules, i - 1);
    case T_DATATYPE:
    case T_TYPESET:
      return type_rule(value, rules, i - 1);
    case T_SET_WORD: {
      Cell target = value;
      context::set(&target, &input_);
      return true;
    }
    case T_GET_WORD:
      return get_word(value);
    case T_INTEGER:
      return counted(rules, i, value);
    case T_PAREN:
      eval_paren(value, rules, i - 1);
      return true;
    case T_PATH:
      fire_rule(value);
    case T_WORD:
      fire_rule(word ? *word : value);   // a word naming a word is no rule
    default:
      return literal(value, rules, i - 1);
  }
}

bool Run::literal(const Cell& value, const Cell& rules, int32_t at) {
  int32_t n = match_literal(input_, end(), value, exact_);
  if (n >= 0) move_to(pos() + n);
  event(words::match, n >= 0, rules, at);
  return n >= 0;
}

bool Run::type_rule(const Cell& value, const Cell& rules, int32_t at) {
  int32_t n = match_type(input_, end(), value);
  if (n >= 0) move_to(pos() + n);
  event(words::match, n >= 0, rules, at);
  return n >= 0;
}

bool Run::get_word(const Cell& word) {
  Cell value = value_of(word);
  if (!same_series(value)) fire(err::script::PARSE_INVALID_REF, &word);
  move_to(series_cell::head(&value));
  return true;
}

bool Run::keyword_rule(const Cell& rules, int32_t& i, Keyword keyword) {
  int32_t at = i - 1;
  bool last = i >= rules_tail(rules);
  switch (keyword) {
    case Keyword::BAR:   // reached as a command's rule: the block has matched
      i = rules_tail(rules);
      return true;
    case Keyword::SKIP: {
      bool matched = !at_end();
      if (matched) move_to(pos() + 1);
      event(words::match, matched, rules, at);
      return matched;
    }
    case Keyword::ANY:
      if (last) fire_end(words::any);
      return iterate(rules, i, 0, -1, C_ITERATE);
    case Keyword::SOME:
      if (last) fire_end(words::some);
      return iterate(rules, i, 1, -1, C_ITERATE);
    case Keyword::OPT:
      if (last) fire_end(words::opt);
      return iterate(rules, i, 0, 1, C_ITERATE);
    case Keyword::WHILE:
      return iterate(rules, i, 0, -1, C_WHILE);
    case Keyword::TO:
    case Keyword::THRU:
      return search(rules, i, keyword == Keyword::THRU);
    case Keyword::COPY:
    case Keyword::SET:
      return capture(rules, i, keyword == Keyword::COPY);
    case Keyword::NOT:
    case Keyword::AHEAD:
      return look(rules, i, keyword == Keyword::NOT);
    case Keyword::INTO:
      return into(rules, i);
    case Keyword::REMOVE:
      return remove(rules, i);
    case Keyword::INSERT:
      return insert(rules, i);
    case Keyword::CHANGE:
      return change(rules, i);
    case Keyword::COLLECT:
      return collect(rules, i);
    case Keyword::KEEP:
      return keep(rules, i);
    case Keyword::END: {
      bool matched = at_end();
      event(words::match, matched, rules, at);
      return matched;
    }
    case Keyword::IF:
      return if_rule(rules, i);
    case Keyword::QUOTE:
      if (last) fire_end(words::quote);
      i++;
      return literal(rule_at(rules, i - 1), rules, i - 1);
    case Keyword::CASE:
      return case_rule(rules, i);
    case Keyword::FAIL:
      event(words::match, false, rules, at);
      return false;
    case Keyword::BREAK:
    case Keyword::REJECT: {
      bool matched = keyword == Keyword::BREAK;
      break_ = pop_ = true;
      event(words::match, matched, rules, at);
      return matched;
    }
    case Keyword::NONE:
      event(words::match, true, rules, at);
      return true;
    case Keyword::NOT_ONE:
      break;
  }
  return false;
}

// The rule after a command keyword (i is past the keyword and, for a literal or a
// block, ends past the rule).
Sub Run::sub_rule(const Cell& rules, int32_t& i, int32_t code) {
  if (i >= rules_tail(rules)) return {Sub::END, values::none, i};
  Cell element = rule_at(rules, i);
  int32_t at = i;
  Cell value = element;
  if (element.is(T_WORD)) {
    // Under collect and keep a word's value is dispatched as any rule element.
    if (keyword_of(element) != Keyword::NOT_ONE || code == C_COLLECT || code == C_KEEP)
      return {Sub::RULE, element, at};
    value = value_of(element);
    if (value.is(T_WORD)) {
      i++;
      return {Sub::LITERAL, value, at};
    }
  }
  switch (value.type()) {
    case T_BLOCK:
      i++;
      return {Sub::BLOCK, value, at};
    case T_INTEGER: case T_PAREN: case T_TYPESET: case T_DATATYPE: case T_SET_WORD:
    case T_GET_WORD: case T_PATH: case T_WORD:
      return {Sub::RULE, element, at};
    default:
      i++;
      return {Sub::LITERAL, value, at};
  }
}

bool Run::run_sub(const Sub& sub, const Cell& rules, int32_t& i) {
  spend_budget();
  switch (sub.kind) {
    case Sub::END:
      return true;
    case Sub::BLOCK:
      return match_block(sub.value, rules, sub.at);
    case Sub::LITERAL:
      return literal(sub.value, rules, sub.at);
    case Sub::RULE: {
      int32_t j = sub.at;
      bool matched = rule(rules, j);
      i = j;
      return matched;
    }
  }
  return false;
}

// Runs a command's rule once.
bool Run::once(const Cell& rules, int32_t& i, uint32_t keyword, bool end_is_error) {
  Sub sub = sub_rule(rules, i, keyword == words::collect ? C_COLLECT
                                   : keyword == words::keep ? C_KEEP
                                                            : 0);
  if (sub.kind == Sub::END && end_is_error) fire_end(keyword);
  return run_sub(sub, rules, i);
}

// --- commands ---------------------------------------------------------------------------

bool Run::counted(const Cell& rules, int32_t& i, const Cell& count) {
  int32_t min = cell::get_int(&count);
  int32_t max = min;
  if (i < rules_tail(rules)) {
    Cell next = rule_at(rules, i);
    Cell value = next.is(T_WORD) && keyword_of(next) == Keyword::NOT_ONE ? value_of(next) : next;
    if (value.is(T_INTEGER)) {
      max = cell::get_int(&value);
      i++;
      if (max < 0) fire(err::script::OUT_OF_RANGE, &value);
    }
  }
  if (min < 0) fire(err::script::OUT_OF_RANGE, &count);
  if (i >= rules_tail(rules) || max < min) fire_rule(count);
  if (max == 0) {   // a count of nothing passes over its rule
    i++;
    return true;
  }
  return iterate(rules, i, min, max, C_ITERATE);
}

bool Run::iterate(const Cell& rules, int32_t& i, int32_t min, int32_t max, int32_t code) {
  int32_t at = i - 1;
  int32_t frame = frames_;
  Cell counters = {T_TRIPLE, uint32_t(min), uint32_t(max), 1};
  return command(rules, at, code, counters, [&] {
    int32_t origin = pos();
    Sub sub = sub_rule(rules, i, code);
    if (sub.kind == Sub::END && code == C_WHILE) fire_end(words::while_);
    bool matched = true;
    if (sub.kind == Sub::LITERAL) {
      // A literal repeats without frames.
      int32_t left = end() - origin;
      int32_t count = left > 0 && left >= min
                          ? repeat_literal(input_, end(), sub.value, exact_, max)
                          : 0;
      matched = count >= min;
      event(words::match, matched, rules, sub.at);
    } else if (sub.kind != Sub::END) {
      int32_t count = 1;
      for (;;) {
        int32_t start = pos();
        int32_t left = tail() - start;
        matched = run_sub(sub, rules, i);
        // A rule that matched without moving or shortening the input would match
        // forever: the loop stops (`while` leaves that to its rule).
        bool stalled = code == C_ITERATE && pos() == start && tail() - pos() >= left;
        bool broke = break_;
        break_ = false;
        if (!matched || (max >= 0 && count >= max) || stalled || broke) break;
        count++;
        update_frame(frame, Cell{T_TRIPLE, uint32_t(min), uint32_t(max), uint32_t(count)});
        event(words::iterate, matched, rules, at);
      }
      matched = matched ? count >= min : (count - 1 >= min || min == 0);
    }
    if (!matched) move_to(origin);
    return matched;
  });
}

bool Run::search(const Cell& rules, int32_t& i, bool thru) {
  int32_t at = i - 1;
  uint32_t keyword = thru ? words::thru : words::to;
  if (i < rules_tail(rules) && is_word(rule_at(rules, i), words::end)) {
    i++;
    move_to(end());
    event(words::match, true, rules, at);
    return true;
  }
  return command(rules, at, thru ? C_THRU : C_TO, values::none, [&] {
    Sub sub = sub_rule(rules, i, thru ? C_THRU : C_TO);
    if (sub.kind == Sub::END) fire_end(keyword);
    int32_t origin = pos();
    bool matched = false;
    if (sub.kind == Sub::LITERAL) {
      Found found = search_literal(input_, end(), sub.value, exact_);
      matched = found.at >= 0;
      if (matched) move_to(thru ? found.at + found.length : found.at);
      event(words::match, matched, rules, sub.at);
    } else {
      for (int32_t start = origin;;) {
        matched = run_sub(sub, rules, i);
        if (matched) {
          if (!thru) move_to(start);
          break;
        }
        if (start >= end()) break;
        move_to(++start);
        event(words::iterate, matched, rules, at);
      }
      if (!matched) move_to(origin);
    }
    return matched;
  });
}

bool Run::capture(const Cell& rules, int32_t& i, bool copy) {
  int32_t at = i - 1;
  uint32_t keyword = copy ? words::copy : words::set;
  if (i + 1 >= rules_tail(rules) || !rule_at(rules, i).is(T_WORD)) fire_end(keyword);
  Cell word = rule_at(rules, i++);
  return command(rules, at, copy ? C_COPY : C_SET, word, [&] {
    int32_t start = pos();
    bool matched = once(rules, i, keyword, false);
    if (matched) {
      int32_t count = matched_from(start);
      Cell value = copy ? copy_range(start, start + count)
                        : count > 0 ? element_at(start) : values::none;
      context::set(&word, &value);
    }
    return matched;
  });
}

// `not` and `ahead`: the rule's outcome (negated for `not`), the input unmoved.
bool Run::look(const Cell& rules, int32_t& i, bool negate) {
  int32_t at = i - 1;
  return command(rules, at, negate ? C_NOT : C_AHEAD, values::none, [&] {
    int32_t start = pos();
    bool matched = once(rules, i, negate ? words::not_ : words::ahead, true) != negate;
    move_to(start);
    return matched;
  });
}

bool Run::into(const Cell& rules, int32_t& i) {
  int32_t at = i - 1;
  if (kind_of(input_) != InputKind::BLOCK) fire(err::script::PARSE_BLOCK, &input_);
  if (i >= rules_tail(rules)) fire_end(words::into);
  Cell sub = rule_at(rules, i);
  if (sub.is(T_WORD)) sub = value_of(sub);
  if (!sub.is(T_BLOCK)) fire_end(words::into);
  i++;
  Cell item = at_end() ? values::none : element_at(pos());
  if (!series::is_series(item.type()) || item.is(T_IMAGE) || item.is(T_VECTOR)) {
    event(words::match, false, rules, at);
    return false;
  }
  return command(rules, at, C_INTO, values::none, [&] {
    Cell parent = input_;
    input_ = item;
    input_depth_++;
    bool matched = match_block(sub, rules, i - 1) && at_end();
    input_depth_--;
    int32_t parent_pos = series_cell::head(&parent);
    input_ = parent;
    move_to(matched ? parent_pos + 1 : parent_pos);
    return matched;
  });
}

// A word after remove, insert or change whose value is a position in the input.
bool Run::position_word(const Cell& rules, int32_t i, Cell* position) {
  if (i >= rules_tail(rules)) return false;
  Cell word = rule_at(rules, i);
  if (!word.is(T_WORD) || keyword_of(word) != Keyword::NOT_ONE) return false;
  Cell w = word;
  Cell value = *context::get(&w);
  if (!same_series(value)) return false;
  *position = value;
  return true;
}

bool Run::only_word(const Cell& rules, int32_t& i) {
  if (i >= rules_tail(rules) || !is_word(rule_at(rules, i), words::only)) return false;
  i++;
  return true;
}

// The value that insert and change put in: a paren's value, a word's value, or
// the cell itself.
Cell Run::edit_value(const Cell& rules, int32_t& i, uint32_t keyword, bool after_position) {
  if (i >= rules_tail(rules)) {
    if (after_position) {
      Cell word = word::make_global(keyword);
      fire_rule(word);
    }
    fire_end(keyword);
  }
  Cell cell = rule_at(rules, i++);
  if (cell.is(T_PAREN)) return eval_paren(cell, rules, i - 1);
  if (cell.is(T_PATH)) fire_rule(cell);
  if (cell.is(T_WORD)) {
    Cell w = cell;
    Cell value = *context::get(&w);
    if (value.is(T_UNSET)) fire(err::script::NO_VALUE, &cell);
    return value;
  }
  return cell;
}

bool Run::remove(const Cell& rules, int32_t& i) {
  int32_t at = i - 1;
  if (i < rules_tail(rules) && rule_at(rules, i).is(T_PATH)) fire_rule(rule_at(rules, i));
  Cell position;
  if (position_word(rules, i, &position)) {
    i++;
    int32_t from = series_cell::head(&position);
    int32_t former = pos();
    move_to(from);
    if (from < former) {
      Cell part = values::integer(former - from);
      Cell target = with_head(input_, from);
      actions::remove_typed(&target, &part, nullptr);
    }
    event(words::match, true, rules, at);
    return true;
  }
  return command(rules, at, C_REMOVE, values::none, [&] {
    int32_t start = pos();
    bool matched = once(rules, i, words::remove, true);
    if (matched) {
      Cell part = values::integer(matched_from(start));
      Cell target = with_head(input_, start);
      move_to(start);
      actions::remove_typed(&target, &part, nullptr);
    }
    return matched;
  });
}

bool Run::insert(const Cell& rules, int32_t& i) {
  bool only = only_word(rules, i);
  int32_t former = pos();
  int32_t point = former;
  Cell position;
  bool moved = position_word(rules, i, &position) && i + 1 < rules_tail(rules);
  if (moved) {
    i++;
    point = series_cell::head(&position);
  }
  Cell value = edit_value(rules, i, words::insert, moved);
  int32_t before = tail();
  Cell target = with_head(input_, std::min(point, tail()));
  actions::insert_typed(&target, &value, -1, only, 1);
  // The parse goes on after the element it was on: what was inserted before it
  // moves it along.
  move_to(point <= former ? former + (tail() - before) : former);
  return true;
}

bool Run::change(const Cell& rules, int32_t& i) {
  int32_t at = i - 1;
  bool only = only_word(rules, i);
  Cell position;
  if (position_word(rules, i, &position)) {
    i++;
    Cell value = edit_value(rules, i, words::change, true);
    int32_t a = pos(), b = series_cell::head(&position);
    Cell target = with_head(input_, std::min(a, b));
    Cell* after = actions::change_typed(&target, &value, std::abs(a - b), only, 1);
    move_to(series_cell::head(after));
    event(words::match, true, rules, at);
    return true;
  }
  int32_t code = only ? C_CHANGE_ONLY : C_CHANGE;
  return command(rules, at, code, values::none, [&] {
    int32_t start = pos();
    bool matched = once(rules, i, words::change, true);
    if (i >= rules_tail(rules)) fire_end(words::change);
    if (matched) {
      Cell value = edit_value(rules, i, words::change, false);
      int32_t count = matched_from(start);
      Cell target = with_head(input_, start);
      Cell* after = actions::change_typed(&target, &value, count, only, 1);
      move_to(series_cell::head(after));
    } else {
      i++;
    }
    return matched;
  });
}

// The series an `into`/`after` collect stores into, checked against the input.
Cell Run::target_of(const Collecting& entry) {
  Cell target = value_of(entry.word);
  uint8_t t = target.type();
  bool series_ok = series::is_series(t) && t != T_IMAGE && t != T_VECTOR;
  bool compatible = t == input_.type() ||
                    (t != T_BINARY && !(series::is_any_string(t) &&
                                        kind_of(input_) == InputKind::BLOCK));
  if (!series_ok || !compatible) fire(err::script::PARSE_INTO_TYPE);
  return target;
}

bool Run::collect(const Cell& rules, int32_t& i) {
  int32_t at = i - 1;
  return command(rules, at, C_COLLECT, values::none, [&] {
    Collecting entry{Collecting::PLAIN, values::none, values::none, 0, collecting_};
    Cell next = i < rules_tail(rules) ? rule_at(rules, i) : values::none;
    bool named = is_word(next, words::set) || is_word(next, words::into) ||
                 is_word(next, words::after);
    if (named) {
      i++;
      if (i >= rules_tail(rules) || !rule_at(rules, i).is(T_WORD)) fire_end(words::collect);
      entry.word = rule_at(rules, i++);
      entry.form = is_word(next, words::set)    ? Collecting::SET
                   : is_word(next, words::into) ? Collecting::INTO
                                                : Collecting::AFTER;
    }
    if (entry.form == Collecting::PLAIN || entry.form == Collecting::SET) {
      block::make_at(&entry.output, 8);
    } else {
      Cell target = target_of(entry);
      if (same_series(target)) fire(err::script::PARSE_INTO_BAD);
      entry.saved_head = series_cell::head(&target);
    }
    collecting_ = &entry;
    bool matched = once(rules, i, words::collect, true);
    collecting_ = entry.outer;
    finish_collect(entry);
    return matched;
  });
}

void Run::finish_collect(const Collecting& entry) {
  switch (entry.form) {
    case Collecting::SET: {
      Cell word = entry.word;
      context::set(&word, &entry.output);
      return;
    }
    case Collecting::INTO:
    case Collecting::AFTER: {
      Cell word = entry.word;
      Cell target = value_of(word);
      series_cell::set_head(&target, entry.saved_head);
      context::set(&word, &target);
      return;
    }
    case Collecting::PLAIN:
      if (entry.outer) store(*entry.outer, entry.output);
      else result_ = entry.output;
      return;
  }
}

void Run::store(Collecting& entry, const Cell& value) {
  Cell kept = value;
  if (entry.form == Collecting::PLAIN || entry.form == Collecting::SET) {
    block::append(&entry.output, &kept);
    return;
  }
  Cell target = target_of(entry);
  if (entry.form == Collecting::AFTER) {
    Cell at_tail = with_head(target, series::buffer_length(&target));
    actions::insert_typed(&at_tail, &kept, -1, true, 1);
    return;
  }
  Cell* after = actions::insert_typed(&target, &kept, -1, true, 1);
  Cell moved = target;
  series_cell::set_head(&moved, series_cell::head(after));
  Cell word = entry.word;
  context::set(&word, &moved);
}

bool Run::keep(const Cell& rules, int32_t& i) {
  int32_t at = i - 1;
  if (!collecting_) {
    Cell word = word::make_global(words::keep);
    fire(err::script::PARSE_KEEP, &word);
  }
  bool pick = i < rules_tail(rules) && is_word(rule_at(rules, i), words::pick);
  if (pick) i++;
  if (i < rules_tail(rules) && rule_at(rules, i).is(T_PAREN)) {
    push_frame(rules, at, C_KEEP_PAREN, values::none);
    Cell value = eval_paren(rule_at(rules, i), rules, i);
    i++;
    if (pick && value.is(T_BLOCK)) {
      for (int32_t k = series_cell::head(&value); k < rules_tail(value); k++)
        store(*collecting_, rule_at(value, k));
    } else {
      store(*collecting_, value);
    }
    pop_frame();
    return true;
  }
  return command(rules, at, C_KEEP, values::none, [&] {
    // `keep copy word rule` keeps what the copy gave the word.
    bool of_copy = i + 1 < rules_tail(rules) && is_word(rule_at(rules, i), words::copy);
    Cell copied = of_copy ? rule_at(rules, i + 1) : values::none;
    int32_t start = pos();
    bool matched = once(rules, i, words::keep, true);
    if (matched) {
      int32_t count = matched_from(start);
      if (of_copy) {
        store(*collecting_, value_of(copied));
      } else if (pick) {
        for (int32_t k = start; k < start + count; k++) store(*collecting_, element_at(k));
      } else if (count > 1) {
        store(*collecting_, copy_range(start, start + count));
      } else if (count == 1) {
        store(*collecting_, element_at(start));
      }
    }
    return matched;
  });
}

bool Run::case_rule(const Cell& rules, int32_t& i) {
  int32_t at = i - 1;
  if (i >= rules_tail(rules) || !rule_at(rules, i).is(T_WORD)) fire_end(words::case_);
  Cell flag = value_of(rule_at(rules, i++));
  Cell saved_case = {T_TRIPLE, uint32_t(-1), exact_ ? 2u : 0u, 1};
  return command(rules, at, C_CASE, saved_case, [&] {
    bool saved = exact_;
    exact_ = logic::true_value(&flag);
    bool matched = once(rules, i, words::case_, false);
    exact_ = saved;
    return matched;
  });
}

bool Run::if_rule(const Cell& rules, int32_t& i) {
  int32_t at = i - 1;
  if (i >= rules_tail(rules) || !rule_at(rules, i).is(T_PAREN)) fire_end(words::if_);
  Cell value = eval_paren(rule_at(rules, i), rules, i);
  i++;
  bool matched = logic::true_value(&value);
  event(words::match, matched, rules, at);
  return matched;
}

Cell Run::go(const Cell& rules) {
  if (!callback_.is(T_NONE)) block::make_at(&trace_stack_, 100);
  try {
    Cell top = values::none;
    // The top block must have been walked to its end, and the input too.
    bool matched = match_block(rules, top, -1) && walked_ && at_end();
    event(words::end, matched, rules, rules_tail(rules));
    return result_.is(T_UNSET) ? values::logic(matched) : result_;
  } catch (const Stopped& stop) {
    return values::logic(stop.matched);
  }
}

}  // namespace

Cell run(const Cell& input, const Cell& rules, const Options& options) {
  Run engine(input, options);
  return engine.go(rules);
}

}  // namespace zol::parse
