// Start-up from the bootstrap text (see boot.h).
#include "boot/boot.h"

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "runtime/core/actions.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::boot {

Cell (*load_text)(const char*, size_t) = nullptr;

namespace {

bool finished = false;

template <class... Refinements>
natives::Entry action(const char* name, void (*fn)(Refinements...)) {
  return {name, action_fn(fn), int(sizeof...(Refinements))};
}

// The action words and their stack-level entries, in slot order (slot 1 first).
const natives::Entry ACTIONS[ACTION_SLOTS] = {
    action("make", actions::make), action("random", actions::random),
    action("reflect", actions::reflect), action("to", actions::to),
    action("form", actions::form), action("mold", actions::mold),
    action("eval-path", actions::eval_path), {"set-path", nullptr, 0},
    {"compare", nullptr, 0}, action("absolute", actions::absolute),
    action("add", actions::add), action("divide", actions::divide),
    action("multiply", actions::multiply), action("negate", actions::negate),
    action("power", actions::power), action("remainder", actions::remainder),
    action("round", actions::round), action("subtract", actions::subtract),
    action("even?", actions::even_q), action("odd?", actions::odd_q),
    action("and~", actions::and_t), action("complement", actions::complement),
    action("or~", actions::or_t), action("xor~", actions::xor_t),
    action("append", actions::append), action("at", actions::at), action("back", actions::back),
    action("change", actions::change), action("clear", actions::clear),
    action("copy", actions::copy), action("find", actions::find), action("head", actions::head),
    action("head?", actions::head_q), action("index?", actions::index_q),
    action("insert", actions::insert), action("length?", actions::length_q),
    action("move", actions::move), action("next", actions::next), action("pick", actions::pick),
    action("poke", actions::poke), action("put", actions::put),
    action("remove", actions::remove), action("reverse", actions::reverse),
    action("select", actions::select), action("sort", actions::sort),
    action("skip", actions::skip), action("swap", actions::swap), action("tail", actions::tail),
    action("tail?", actions::tail_q), action("take", actions::take),
    action("trim", actions::trim), action("create", actions::create),
    action("close", actions::close), action("delete", actions::delete_),
    action("modify", actions::modify), action("open", actions::open),
    action("open?", actions::open_q), action("query", actions::query),
    action("read", actions::read), action("rename", actions::rename),
    action("update", actions::update), action("write", actions::write),
};

// A fault of the build (the text and the C++ tables disagree): reported and fatal.
[[noreturn]] void fail(const char* what, const Cell* word) {
  std::fprintf(stderr, "*** Boot Error: %s: %s\n", what,
               word ? symbol::get_c_string(word_cell::symbol(word)) : "");
  std::exit(1);
}

uint32_t resolved(const Cell* word) { return symbol::resolve(word_cell::symbol(word)); }
uint32_t resolved(const char* name) { return symbol::resolve(symbol::make(name)); }
uint32_t resolved(uint32_t known) { return symbol::resolve(known); }

Cell at(const Cell& blk, int32_t i) { return block::buffer(&blk)->cells()[i]; }
int32_t length(const Cell& blk) { return int32_t(block::buffer(&blk)->length()); }

void set_global(const Cell* word, const Cell* value) {
  Cell w = context::add_global(word_cell::symbol(word));
  context::set(&w, value);
}

void name_datatypes() {
  for (int id = 1; id <= datatype::highest_id(); id++) {
    const datatype::TypeInfo& t = datatype::info(uint8_t(id));
    if (!t.registered || !t.word_symbol) continue;
    Cell word = context::add_global(t.word_symbol);
    Cell type = values::of_datatype(uint8_t(id));
    context::set(&word, &type);
  }
}

// Each member word stands for the value it holds now: a datatype, or a typeset
// defined earlier in the section (so `series!`, a datatype until its typeset is
// made, names the typeset from then on). A word naming no datatype of this build
// holds nothing and is skipped.
void make_typeset(const Cell& name, const Cell& types) {
  Cell set;
  typeset::clear(&set);
  for (int32_t i = series_cell::head(&types); i < length(types); i++) {
    Cell w = at(types, i);
    Cell v = *context::get(&w);
    if (v.is(T_DATATYPE) || v.is(T_TYPESET)) typeset::add_type(&set, &v);
  }
  set_global(&name, &set);
}

int refinements_in(const Cell& spec) {
  int n = 0;
  for (int32_t i = series_cell::head(&spec); i < length(spec); i++) {
    Cell c = at(spec, i);
    if (!c.is(T_REFINEMENT)) continue;
    if (resolved(&c) == resolved(words::local)) break;
    n++;
  }
  return n;
}

// The 1-based position of a name in a table, 0 when absent.
int32_t index_of(std::span<const natives::Entry> table, const Cell& name) {
  for (size_t i = 0; i < table.size(); i++)
    if (resolved(table[i].name) == resolved(&name)) return int32_t(i) + 1;
  return 0;
}

void make_callable(uint8_t type, const Cell& name, const Cell& spec) {
  std::span<const natives::Entry> table = type == T_NATIVE ? natives::entries()
                                                           : std::span<const natives::Entry>(ACTIONS);
  int32_t index = index_of(table, name);
  if (!index) fail(type == T_NATIVE ? "no native called" : "no action called", &name);
  const natives::Entry& e = table[size_t(index - 1)];
  int refinements = refinements_in(spec);
  if (e.fn && e.refinements != refinements) fail("refinements differ from the spec of", &name);
  if (type == T_NATIVE) natives::register_native(index, refinements);
  Cell callable = native::make(type, &spec, index);
  set_global(&name, &callable);
}

// Each (name block) pair of a section.
template <class Fn>
void each_pair(const Cell& section, Fn fn) {
  for (int32_t i = series_cell::head(&section); i + 1 < length(section); i += 2) {
    Cell name = at(section, i);
    Cell value = at(section, i + 1);
    if (!name.is(T_WORD) || !value.is(T_BLOCK)) fail("malformed entry", &name);
    fn(name, value);
  }
}

void apply_section(const Cell& name, const Cell& section) {
  if (resolved(&name) == resolved(words::typesets)) {
    each_pair(section, make_typeset);
  } else if (resolved(&name) == resolved(words::natives_)) {
    each_pair(section, [](const Cell& n, const Cell& s) { make_callable(T_NATIVE, n, s); });
  } else if (resolved(&name) == resolved(words::actions_)) {
    each_pair(section, [](const Cell& n, const Cell& s) { make_callable(T_ACTION, n, s); });
  } else if (resolved(&name) == resolved(words::do_)) {
    interpreter::do_block(&section);
  } else {
    fail("unknown section", &name);
  }
}

}  // namespace

void evaluate_library_file(const SourceText& file) {
  bool evaluated = stack::try_run([&] {
    Cell code = load_text(file.text, file.size);
    interpreter::do_block(&code);
  });
  if (evaluated) return;
  Cell text = error::report(&exits::value);
  std::string report = string::to_utf8(&text);
  std::fprintf(stderr, "*** Boot Error: in %s:\n%s\n", file.name, report.c_str());
  std::exit(1);
}

namespace {

// The library's source, file by file; routine! values can be made only meanwhile.
void evaluate_library() {
  routine::library_building = true;
  for (size_t i = 0; i < library_texts_count; i++) evaluate_library_file(library_texts[i]);
  routine::library_building = false;
}

}  // namespace

void init() {
  if (finished || !load_text) return;
  finished = true;
  name_datatypes();
  Cell text = load_text(bootstrap_text, bootstrap_size);
  for (int32_t i = 0; i + 1 < length(text); i += 2) {
    Cell name = at(text, i);
    Cell section = at(text, i + 1);
    if (!name.is(T_WORD) || !section.is(T_BLOCK)) fail("malformed section", &name);
    apply_section(name, section);
  }
  error::bind_system();
  evaluate_library();
}

bool done() { return finished; }

void restart() { finished = false; }

}  // namespace zol::boot
