// The non-local exits (break, continue, return, exit, throw and the catch and try
// that receive them), do, and the function makers (func, function, does, has).
#include "interpreter/eval.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives_internal.h"
#include "interpreter/natives/natives.h"
#include "runtime/core/stack.h"
#include "interpreter/trace.h"
#include "runtime/core/context.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/path.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::natives {
namespace {

using stack::arg;

// A throw's name matches a catch's word, or one of the words of its block.
bool name_matches(const Cell& names, const Cell& thrown) {
  if (!block::is_any_word(thrown.type())) return false;
  uint32_t s = symbol::resolve(word_cell::symbol(&thrown));
  if (!names.is(T_BLOCK)) return symbol::resolve(word_cell::symbol(&names)) == s;
  for (int32_t i = series_cell::head(&names); i < int32_t(block::buffer(&names)->length()); i++) {
    Cell w = block::buffer(&names)->cells()[i];
    if (!block::is_any_word(w.type())) fire(err::script::INVALID_REFINE_ARG, &w);
    if (symbol::resolve(word_cell::symbol(&w)) == s) return true;
  }
  return false;
}

// The value evaluated as a single expression: the one value of a new block.
void run_single(const Cell& value) {
  Cell blk;
  block::make_at(&blk, 1);
  block::append(&blk, &value);
  interpreter::run_block(&blk);
}

// do/next: one expression of the block; the word gets the block after it.
void run_next(const Cell& blk, Cell word) {
  interpreter::Code code = interpreter::code_of(&blk);
  int32_t pos = series_cell::head(&blk) < 0 ? 0 : series_cell::head(&blk);
  if (pos >= code.length()) {
    stack::set_result(&values::unset);
  } else {
    stack::top = stack::arguments;
    pos = interpreter::expression(code, pos, false);
    if (exits::pending) return;
  }
  Cell after = blk;
  series_cell::set_head(&after, pos);
  context::set(&word, &after);
}

// A script file or url runs through the library's do-file, which gives it its
// own record, folder and arguments: (source, the trace callback or none, the
// /args value or none).
void run_script(const Cell& source, const Cell& callback, const Cell& args) {
  Cell fn;
  context::copy_global_value(words::do_file, &fn);
  if (!fn.is(T_FUNCTION)) not_done();
  Cell name = context::add_global(words::do_file);
  Cell* saved_top = stack::top;
  Cell* first = stack::mark_func(&name, function::context_of(&fn));
  for (const Cell* c : {&source, &callback, &args}) stack::push(c);
  int32_t wanted = int32_t(context::get_words(function::context_of(&fn))->length());
  while (stack::top - first < wanted) stack::push(&values::none);
  interpreter::run_function(&fn, context::global, &name, 0);
  if (exits::pending) return;
  Cell result = *saved_top;
  stack::unwind_last();
  stack::top = saved_top;
  stack::set_last(&result);
}

void run_value(const Cell& value, int next_word) {
  switch (value.type()) {
    case T_BLOCK: case T_PAREN: case T_HASH:
      if (next_word >= 0) return run_next(value, *arg(next_word));
      return interpreter::run_block(&value);
    case T_STRING: {
      if (!block::load_text) fire(err::internal::FEATURE_NA);
      Cell loaded;
      block::load_text(&value, &loaded);
      return interpreter::run_block(&loaded);
    }
    case T_FILE: case T_URL: not_done();
    case T_ERROR: stack::throw_error(value);
    default: return run_single(value);
  }
}

void set_function(const Cell* spec, const Cell* body) {
  Cell fn = function::make(spec, body);
  stack::set_last(&fn);
}

// A shallow copy of a block, from its head.
Cell copied(const Cell* blk) {
  Cell copy = *block::clone(blk, false, false);
  stack::pop(1);
  return copy;
}

}  // namespace

void break_(int, int return_) { stack::signal_break_or_continue(return_ >= 0, false); }
void continue_(int) { stack::signal_break_or_continue(false, true); }
void return_(int) { stack::signal_return_or_exit(true, false); }
void exit(int) { stack::signal_return_or_exit(false, false); }

void throw_(int, int name) {
  Cell thrown_name = name >= 0 ? *arg(name) : values::none;
  stack::top = stack::arguments + 1;
  stack::push(&thrown_name);
  trace::event(trace::THROW, nullptr, -1, arg(0));
  stack::signal_throw(exits::THROW);
}

void catch_(int, int name) {
  Cell blk = *arg(0);
  Cell names = name >= 0 ? *arg(name) : values::none;
  stack::mark_catch(nullptr);
  exits::guard(
      exits::THROW, [&] { interpreter::run_block(&blk); },
      [&](uint32_t code) {
        if (code != exits::THROW) {
          exits::pending = code;
        } else if (name >= 0 && !name_matches(names, *arg(1))) {
          stack::signal_throw(exits::THROW);   // on to the next catch frame
        } else {
          trace::event(trace::CATCH, nullptr, -1, arg(0));
        }
      });
  if (exits::pending) return;
  stack::unwind_keep();
}

void try_(int, int all, int keep) {
  Cell blk = *arg(0);
  struct Keeping {
    bool on;
    explicit Keeping(bool k) : on(k) { error::keeping += on; }
    ~Keeping() { error::keeping -= on; }
  } keeping(keep >= 0);
  if (all >= 0) stack::mark_try_all(nullptr);
  else stack::mark_try(nullptr);
  bool failed = false;
  exits::guard(
      exits::ERROR, [&] { interpreter::run_block(&blk); },
      [&](uint32_t code) {
        if (code == exits::ERROR) failed = true;
        else exits::pending = code;
      });
  if (exits::pending) return;
  if (failed) {
    error::settle(&exits::value);
    stack::set_last(&exits::value);
  }
  else stack::unwind_keep();
}

// do/expand: the preprocessor's `expand` rewrites the block in place, with no
// build configuration and keeping what earlier expansions defined. The call is
// evaluated as code, `preprocessor/expand block none`, so that the function
// frame is filled as for any call.
void expand_directives(const Cell& code) {
  Cell call, path;
  block::make_at(&call, 3);
  path::make_at(&path, 2);
  Cell owner = word::make_global(words::preprocessor);
  Cell name = word::make_global(words::expand);
  block::append(&path, &owner);
  block::append(&path, &name);
  block::append(&call, &path);
  block::append(&call, &code);
  block::append(&call, &values::none);
  Cell* saved_top = stack::top;
  interpreter::eval_block(&call, false);
  if (exits::pending) return;
  stack::top = saved_top;
}

void do_(int, int expand, int args, int next, int trace) {
  Cell value = *arg(0);
  if (expand >= 0 && (value.is(T_BLOCK) || value.is(T_PAREN))) {
    expand_directives(value);
    if (exits::pending) return;
  }
  if (value.is(T_FILE) || value.is(T_URL))
    return run_script(value, trace >= 0 ? *arg(trace) : values::none,
                      args >= 0 ? *arg(args) : values::none);
  if (trace < 0 || trace::saved_tracing) return run_value(value, next);
  trace::TracedRun run(arg(trace));
  run_value(value, next);
  run.end();
}

void func(int) {
  Cell spec = *arg(0), body = *arg(1);
  set_function(&spec, &body);
}

void function(int) {
  Cell spec = copied(arg(0));
  Cell body = *arg(1);
  function::collect_words(&spec, &body);
  set_function(&spec, &body);
}

void does(int) {
  Cell spec;
  block::make_at(&spec, 1);
  Cell body = *arg(0);
  set_function(&spec, &body);
}

// The library's source makes its routines with this during start-up: a spec and a
// body block whose first word names the C++ implementation. Once start-up ends,
// the library's own `routine` function has taken the word over.
void routine_(int) {
  if (!routine::library_building) fire(err::internal::ROUTINES);
  Cell spec = *arg(0), body = *arg(1);
  Cell r = routine::make(&spec, &body, 0);
  stack::set_last(&r);
}

void has(int) {
  Cell spec = copied(arg(0));
  Cell local{T_REFINEMENT, 0, words::local, 0xFFFFFFFFu};
  block::insert_value(&spec, &local, false, false);
  Cell body = *arg(1);
  set_function(&spec, &body);
}

}  // namespace zol::natives
