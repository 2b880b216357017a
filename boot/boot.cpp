// Start-up from the boot image or the raw texts of the library (see boot.h).
#include "boot/boot.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <span>
#include <string>

#include "runtime/core/actions.h"
#include "interpreter/interpreter.h"
#include "interpreter/natives/natives.h"
#include "platform/os_info.h"
#include "runtime/core/context.h"
#include "runtime/core/datatype.h"
#include "runtime/core/error.h"
#include "runtime/core/exits.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/core/root.h"
#include "runtime/memory/memory.h"
#include "runtime/zolbin/zolbin.h"

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
int32_t length_of_block(const Cell& blk) { return int32_t(block::buffer(&blk)->length()); }

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
  for (int32_t i = series_cell::head(&types); i < length_of_block(types); i++) {
    Cell w = at(types, i);
    Cell v = *context::get(&w);
    if (v.is(T_DATATYPE) || v.is(T_TYPESET)) typeset::add_type(&set, &v);
  }
  set_global(&name, &set);
}

int refinements_in(const Cell& spec) {
  int n = 0;
  for (int32_t i = series_cell::head(&spec); i < length_of_block(spec); i++) {
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
  for (int32_t i = series_cell::head(&section); i + 1 < length_of_block(section); i += 2) {
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

[[noreturn]] void fail_start(const char* name, const Cell& error) {
  Cell text = error::report(&error);
  std::string report = string::to_utf8(&text);
  std::fprintf(stderr, "*** Boot Error: in %s:\n%s\n", name, report.c_str());
  std::exit(1);
}

// A boot image that does not decode: the program cannot start, so it says why and
// fails (the error catalogue came with the image, so the line is written here).
[[noreturn]] void fail_image(const std::string& why) {
  std::fprintf(stderr, "Error: %s\n", why.c_str());
  std::exit(1);
}

std::string image_fault(const uint8_t* image) {
  int code = error::code_of(&exits::value);
  if (code == err::Id(err::script::ZB_INVALID_RECORD).code())
    return "ZOLBIN - invalid record at index " + std::to_string(cell::get_int(&error::last_args[0]));
  // The header's magic was checked first, so a refused payload is a compressed one.
  if (code == err::Id(err::script::INVALID_DATA).code() && (image[7] & zolbin::FLAG_LZ))
    return "Zolbin compressed data corrupted!";
  return "Not a Zolbin file!";
}

}  // namespace

Cell load_image(const uint8_t* image, size_t length) {
  static const char MAGIC[] = "ZOLBIN";
  if (length < 8 || std::memcmp(image, MAGIC, 6) != 0) fail_image("Not a Zolbin file!");
  int32_t first = 0;
  if (!stack::try_run([&] { first = zolbin::boot_load(image, length, false); }))
    fail_image(image_fault(image));
  Cell* root = memory::buffer_of(runtime::root_block)->cells() + first;
  bool pairs = int32_t(memory::buffer_of(runtime::root_block)->length()) == first + 1 &&
               root->is(T_BLOCK) && length_of_block(*root) % 2 == 0;
  for (int32_t i = 0; pairs && i < length_of_block(*root); i += 2)
    pairs = at(*root, i).is(T_FILE) && at(*root, i + 1).is(T_BLOCK);
  if (!pairs) fail_image("Zolbin boot image holds no library");
  return *root;
}

// Marks a block of the library's source and every block, paren and path in it,
// so that tracing passes over their evaluation.
void mark_library(const Cell* block) {
  SeriesBuffer* b = series::buffer(block);
  if (b->flags & FLAG_LIBRARY) return;
  b->flags |= FLAG_LIBRARY;
  for (uint32_t i = 0; i < b->length(); i++) {
    const Cell* c = b->cells() + i;
    if (block::is_any_block(c->type()) && !c->is(T_HASH)) mark_library(c);
  }
}

void evaluate_library_file(const char* name, const Cell* code) {
  Cell block = *code;
  mark_library(&block);
  bool thrown = false;
  bool evaluated = stack::try_run([&] {
    thrown = !stack::catch_run([&] { interpreter::do_block(&block); });
  });
  if (!evaluated) fail_start(name, exits::value);
  // A throw that nothing in the file caught is no error of the file: like every
  // exit that nothing takes, it goes on to the program's top catch.
  if (thrown) exits::raise(exits::THROW);
}

void evaluate_library_file(const SourceText& file) {
  Cell code;
  if (!stack::try_run([&] { code = load_text(file.text, file.size); }))
    fail_start(file.name, exits::value);
  evaluate_library_file(file.name, &code);
}

namespace {

Cell file_name(const char* name) {
  std::string text = std::string("%") + name;
  return at(load_text(text.data(), text.size()), 0);
}

// The raw texts lexed into the image's shape, each file named in its own report.
Cell load_texts(const SourceText* texts, size_t count) {
  // In the root block, as a loaded image is.
  Cell files = *block::make_in(nullptr, int32_t(count * 2));
  for (size_t i = 0; i < count; i++) {
    Cell name = file_name(texts[i].name);
    block::append(&files, &name);
    Cell code;
    if (!stack::try_run([&] { code = load_text(texts[i].text, texts[i].size); }))
      fail_start(texts[i].name, exits::value);
    block::append(&files, &code);
  }
  return files;
}

Cell library_files() {
  const EmbeddedLibrary& e = embedded_library;
  if (e.image_size) return load_image(e.image, e.image_size);
  return load_texts(e.texts, e.text_count);
}

// A field of an object value by name, null when the value is no object or has none.
Cell* field_of(const Cell* object, const char* name) {
  if (!object || !object->is(T_OBJECT)) return nullptr;
  int32_t i = context::find_word(object->w1, symbol::make(name), true);
  return i < 0 ? nullptr : context::value_at(object->w1, i);
}

// system/script/args starts as the raw command line, rebuilt from the arguments. A
// line that is not UTF-8 leaves it none rather than stopping start-up.
void set_command_line() {
  Cell* args = field_of(field_of(context::global_value(words::system_), "script"), "args");
  if (!args) return;
  std::string line = platform::command_line();
  Cell text;
  if (stack::try_run([&] {
        string::load(reinterpret_cast<const uint8_t*>(line.data()), uint32_t(line.size()), &text,
                     string::ENCODING_UTF8);
      }))
    *field_of(field_of(context::global_value(words::system_), "script"), "args") = text;
}

// system/words is the global context seen as an object, so that library code can
// walk every global word (the help system lists them).
void set_system_words() {
  Cell* slot = field_of(context::global_value(words::system_), "words");
  if (!slot) return;
  Cell words{T_OBJECT, context::global, 0, 0};
  *slot = words;
}

// system/version is the version this build was made from, as a tuple such as
// 0.1.0 (the build passes it in as text).
void set_system_version() {
  Cell* slot = field_of(context::global_value(words::system_), "version");
  if (!slot) return;
  uint8_t parts[tuple::MAX_COUNT] = {};
  int count = 0;
  for (const char* p = ZOL_VERSION; *p && count < tuple::MAX_COUNT; ++count) {
    char* end = nullptr;
    parts[count] = uint8_t(std::strtoul(p, &end, 10));
    p = *end == '.' ? end + 1 : end;
  }
  tuple::make_at(slot, parts, count);
}

void apply_bootstrap(const Cell& text) {
  for (int32_t i = 0; i + 1 < length_of_block(text); i += 2) {
    Cell name = at(text, i);
    Cell section = at(text, i + 1);
    if (!name.is(T_WORD) || !section.is(T_BLOCK)) fail("malformed section", &name);
    apply_section(name, section);
  }
}

}  // namespace

void init() {
  if (finished || !load_text) return;
  finished = true;
  name_datatypes();
  Cell files = library_files();
  if (length_of_block(files) < 2) return;
  apply_bootstrap(at(files, 1));
  error::bind_system();
  set_command_line();
  set_system_words();
  set_system_version();
  // routine! values can be made only while the library's source runs.
  routine::library_building = true;
  for (int32_t i = 2; i + 1 < length_of_block(files); i += 2) {
    Cell name = at(files, i);
    std::string text = string::to_utf8(&name);
    Cell code = at(files, i + 1);
    evaluate_library_file(text.c_str(), &code);
  }
  routine::library_building = false;
}

bool done() { return finished; }

void restart() { finished = false; }

}  // namespace zol::boot
