// The C++ bodies of the library's routines, registered by the names that the
// routines' body blocks in library/*.zol give. Start-up registers them before it
// evaluates the library's source, which binds each spec to its body by that name.
//
// A body receives its arguments already type-checked against the routine's spec
// and answers a cell that the caller copies at once (null: unset), so a body may
// answer its own result cell or one of the shared constants.
#include "library/routines.h"

#include <algorithm>
#include <string>

#include "interpreter/natives/natives.h"
#include "interpreter/trace.h"
#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/os_info.h"
#include "platform/platform.h"
#include "runtime/base/output.h"
#include "runtime/base/system.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
#include "runtime/numeric/shift.h"

namespace zol::library {

namespace {
// The result of the body that ran last; copied by the caller before anything else
// runs.
Cell result;
}  // namespace

const Cell* answer(const Cell& value) {
  result = value;
  return &result;
}

const Cell* logic(bool v) { return v ? &values::true_value : &values::false_value; }

namespace {

// expect-arg naming the running routine, the argument's datatype and its name.
[[noreturn]] void expect_arg(const Cell* argument, const char* name) {
  Cell routine = stack::find_function_frame();
  Cell type = values::of_datatype(argument->type());
  Cell word{T_WORD, 0, symbol::make(name), 0xFFFFFFFFu};
  fire(err::script::EXPECT_ARG, &routine, &type, &word);
}

// --- exiting and storing quietly ---------------------------------------------------------

const Cell* quit_return(Args a) { system::quit(cell::get_int(a[0])); }

bool word_family(const Cell* c) {
  return c->is(T_WORD) || c->is(T_SET_WORD) || c->is(T_LIT_WORD) || c->is(T_GET_WORD);
}

const Cell* set_quiet(Args a) {
  if (!word_family(a[0])) expect_arg(a[0], "word");
  NodeRef ctx = word_cell::context(a[0]);
  if (!ctx) fire(err::script::NOT_DEFINED, a[0]);
  Cell word = *a[0];
  context::set_in(&word, a[1], ctx, false);
  return a[1];
}

bool slot_series(const Cell* c) {
  return c->is(T_BLOCK) || c->is(T_PAREN) || (c->type() >= T_PATH && c->type() <= T_GET_PATH);
}

const Cell* set_slot_quiet(Args a) {
  if (!slot_series(a[0])) expect_arg(a[0], "series");
  SeriesBuffer* b = memory::buffer_of(series_cell::node(a[0]));
  uint32_t at = uint32_t(series_cell::head(a[0]));
  if (at < b->length()) b->cells()[at] = *a[1];
  return a[1];
}

// --- shifts: the same arithmetic as the shift native -------------------------------------

template <numeric::ShiftMode Mode>
const Cell* shift(Args a) {
  return answer(values::integer(numeric::shift(cell::get_int(a[0]), cell::get_int(a[1]), Mode)));
}

// --- directories and files ---------------------------------------------------------------

const Cell* get_current_dir(Args) {
  Cell dir = *file::get_current_dir();
  stack::pop(1);
  return answer(dir);
}

const Cell* set_current_dir(Args a) {
  if (!platform::set_current_directory(file::to_local_text(a[0])))
    fire(err::access::CANNOT_OPEN, a[0]);
  return nullptr;
}

const Cell* create_dir(Args a) {
  if (!platform::files::make_directory(file::to_local_text(a[0])))
    fire(err::access::NO_CREATE, a[0]);
  return nullptr;
}

const Cell* exists_q(Args a) { return logic(platform::files::exists(file::to_local_text(a[0]))); }

// --- tuples ------------------------------------------------------------------------------

// The tuple of `count` integer components, each taken modulo 256; the first
// negative one raises invalid-arg.
const Cell* components_tuple(Args a, int count) {
  uint8_t bytes[4];
  for (int i = 0; i < count; i++) {
    int32_t v = cell::get_int(a[i]);
    if (v < 0) fire(err::script::INVALID_ARG, a[i]);
    bytes[i] = uint8_t(v & 0xFF);
  }
  Cell t;
  tuple::make_at(&t, bytes, count);
  return answer(t);
}

const Cell* as_color(Args a) { return components_tuple(a, 3); }
const Cell* as_ipv4(Args a) { return components_tuple(a, 4); }

// --- UTF-8 ---------------------------------------------------------------------------------

// The bytes a UTF-8 sequence takes, from its lead byte; a stray continuation or
// invalid byte counts as one character of one byte.
int sequence_length(uint8_t lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

// The characters from `start`'s position up to `pos`'s index, taken in `start`'s
// own bytes and clamped to their tail: a `pos` in another binary, or a sequence
// whose continuation bytes are missing, never leads past the tail.
const Cell* count_chars(Args a) {
  SeriesBuffer* b = memory::buffer_of(series_cell::node(a[0]));
  uint32_t from = uint32_t(series_cell::head(a[0]));
  uint32_t to = uint32_t(series_cell::head(a[1]));
  if (to > b->length()) to = b->length();
  const uint8_t* bytes = b->head();
  int32_t count = 0;
  for (uint32_t at = from; at < to; at += uint32_t(sequence_length(bytes[at]))) count++;
  return answer(values::integer(count));
}

// --- the value stack and the interpreter --------------------------------------------------

const Cell* stack_size_q(Args) {
  return answer(values::integer(int32_t(stack::top - stack::bottom)));
}

const Cell* pick_stack(Args a) {
  int32_t idx = cell::get_int(a[0]);
  if (idx <= 0 || idx >= int32_t(stack::top - stack::bottom)) return &values::none;
  return answer(stack::bottom[idx - 1]);
}

const Cell* frame_index_q(Args) {
  return answer(values::integer(int32_t(stack::arguments - stack::bottom)));
}

const Cell* tracing_q(Args) { return logic(trace::tracing != 0); }

// --- output --------------------------------------------------------------------------------

const Cell* write_stdout(Args a) {
  std::string bytes = binary::bytes_of(a[0], -1, true);
  output::write(bytes.data(), bytes.size());
  return nullptr;
}

// The operating system's description as an object of name, arch, version and
// build, made from a spec block held on the stack while its strings are made.
const Cell* os_info(Args) {
  platform::OsInfo info = platform::os_info();
  Cell* spec = stack::push_unset();
  block::make_at(spec, 8);
  auto field = [spec](const char* name, const Cell& value) {
    Cell word = word::load(name, T_SET_WORD);
    block::append(spec, &word);
    block::append(spec, &value);
  };
  Cell name;
  string::load(reinterpret_cast<const uint8_t*>(info.name.data()), uint32_t(info.name.size()), &name,
               string::ENCODING_UTF8);
  field("name", name);
  field("arch", word::load(info.arch));
  uint8_t numbers[3];
  for (int i = 0; i < 3; i++) numbers[i] = uint8_t(std::min(info.version[size_t(i)], 255));
  Cell version;
  tuple::make_at(&version, numbers, 3);
  field("version", version);
  field("build", values::integer(info.build));
  Cell obj = object::construct(spec, nullptr, true);
  stack::pop(1);
  return answer(obj);
}

// --- the clipboard ---------------------------------------------------------------------------

// Text as a string!, files as a block of file!; none when empty, false when the
// clipboard could not be read.
const Cell* read_clipboard(Args) {
  platform::ClipboardContent content;
  if (!platform::read_clipboard(&content)) return &values::false_value;
  auto bytes = [](const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); };
  if (content.kind == platform::ClipboardContent::TEXT) {
    Cell text;
    string::load(bytes(content.text), uint32_t(content.text.size()), &text, string::ENCODING_UTF8);
    return answer(text);
  }
  if (content.kind == platform::ClipboardContent::EMPTY) return &values::none;
  Cell* files = stack::push_unset();
  block::make_at(files, uint32_t(content.files.size()) + 1);
  for (const std::string& path : content.files) {
    block::append(files, file::load(bytes(path), uint32_t(path.size()), string::ENCODING_UTF8));
    stack::pop(1);
  }
  Cell list = *files;
  stack::pop(1);
  return answer(list);
}

// The local path of a file! or string! in a file list; anything else is refused.
std::string clipboard_path(const Cell* value) {
  if (value->is(T_FILE)) return file::to_local_text(value);
  if (value->is(T_STRING)) return string::to_utf8(value);
  fire(err::script::INVALID_ARG, value);
}

const Cell* write_clipboard(Args a) {
  const Cell* data = a[0];
  platform::ClipboardContent content;
  if (data->is(T_STRING)) {
    content.kind = platform::ClipboardContent::TEXT;
    content.text = string::to_utf8(data);
  } else if (data->is(T_BLOCK)) {
    content.kind = platform::ClipboardContent::FILES;
    SeriesBuffer* list = block::buffer(data);
    for (int32_t i = series_cell::head(data); i < int32_t(list->length()); i++)
      content.files.push_back(clipboard_path(&list->cells()[i]));
  } else if (data->is(T_IMAGE)) {
    return &values::false_value;   // the clipboard carries no images yet
  } else if (!data->is(T_NONE)) {
    fire(err::script::INVALID_ARG, data);
  }
  return logic(platform::write_clipboard(content));
}

// Services this system does not have yet: each raises "not done" naming itself.
const Cell* not_done(Args) { natives::not_done(); }

// --- type predicates -------------------------------------------------------------------------

template <uint8_t Type>
const Cell* is_type(Args a) {
  return logic(a[0]->is(Type));
}

// The typeset is whatever its word holds at the call, so redefining the word
// changes the answer.
template <const uint32_t& Word>
const Cell* in_typeset(Args a) {
  const Cell* set = context::global_value(Word);
  return logic(set->is(T_TYPESET) && typeset::has(set, a[0]->type()));
}

struct Body {
  const char* name;
  routine::Entry fn;
  int arg_count;
};

using numeric::ShiftMode;

const Body BODIES[] = {
    {"quit-return", quit_return, 1},
    {"set-quiet", set_quiet, 2},
    {"set-slot-quiet", set_slot_quiet, 2},
    {"shift-right", shift<ShiftMode::ARITHMETIC_RIGHT>, 2},
    {"shift-left", shift<ShiftMode::LEFT>, 2},
    {"shift-logical", shift<ShiftMode::LOGICAL_RIGHT>, 2},
    {"last-lf?", not_done, 0},
    {"get-current-dir", get_current_dir, 0},
    {"set-current-dir", set_current_dir, 1},
    {"create-dir", create_dir, 1},
    {"exists?", exists_q, 1},
    {"os-info", os_info, 0},
    {"as-color", as_color, 3},
    {"as-ipv4", as_ipv4, 4},
    {"count-chars", count_chars, 2},
    {"stack-size?", stack_size_q, 0},
    {"pick-stack", pick_stack, 1},
    {"frame-index?", frame_index_q, 0},
    {"collect-calls", not_done, 1},
    {"tracing?", tracing_q, 0},
    {"read-clipboard", read_clipboard, 0},
    {"write-clipboard", write_clipboard, 1},
    {"write-stdout", write_stdout, 1},
    // datatype predicates
    {"bitset?", is_type<T_BITSET>, 1},
    {"binary?", is_type<T_BINARY>, 1},
    {"block?", is_type<T_BLOCK>, 1},
    {"char?", is_type<T_CHAR>, 1},
    {"email?", is_type<T_EMAIL>, 1},
    {"file?", is_type<T_FILE>, 1},
    {"float?", is_type<T_FLOAT>, 1},
    {"get-path?", is_type<T_GET_PATH>, 1},
    {"get-word?", is_type<T_GET_WORD>, 1},
    {"hash?", is_type<T_HASH>, 1},
    {"integer?", is_type<T_INTEGER>, 1},
    {"issue?", is_type<T_ISSUE>, 1},
    {"lit-path?", is_type<T_LIT_PATH>, 1},
    {"lit-word?", is_type<T_LIT_WORD>, 1},
    {"logic?", is_type<T_LOGIC>, 1},
    {"map?", is_type<T_MAP>, 1},
    {"none?", is_type<T_NONE>, 1},
    {"pair?", is_type<T_PAIR>, 1},
    {"paren?", is_type<T_PAREN>, 1},
    {"path?", is_type<T_PATH>, 1},
    {"percent?", is_type<T_PERCENT>, 1},
    {"refinement?", is_type<T_REFINEMENT>, 1},
    {"set-path?", is_type<T_SET_PATH>, 1},
    {"set-word?", is_type<T_SET_WORD>, 1},
    {"string?", is_type<T_STRING>, 1},
    {"tag?", is_type<T_TAG>, 1},
    {"time?", is_type<T_TIME>, 1},
    {"typeset?", is_type<T_TYPESET>, 1},
    {"tuple?", is_type<T_TUPLE>, 1},
    {"unset?", is_type<T_UNSET>, 1},
    {"url?", is_type<T_URL>, 1},
    {"word?", is_type<T_WORD>, 1},
    {"image?", is_type<T_IMAGE>, 1},
    {"date?", is_type<T_DATE>, 1},
    {"money?", is_type<T_MONEY>, 1},
    {"ref?", is_type<T_REF>, 1},
    {"point2D?", is_type<T_POINT2D>, 1},
    {"point3D?", is_type<T_POINT3D>, 1},
    {"handle?", is_type<T_HANDLE>, 1},
    {"error?", is_type<T_ERROR>, 1},
    {"action?", is_type<T_ACTION>, 1},
    {"native?", is_type<T_NATIVE>, 1},
    {"datatype?", is_type<T_DATATYPE>, 1},
    {"function?", is_type<T_FUNCTION>, 1},
    {"object?", is_type<T_OBJECT>, 1},
    {"op?", is_type<T_OP>, 1},
    {"routine?", is_type<T_ROUTINE>, 1},
    {"vector?", is_type<T_VECTOR>, 1},
    // typeset predicates
    {"any-list?", in_typeset<words::any_list_set>, 1},
    {"any-block?", in_typeset<words::any_block_set>, 1},
    {"any-function?", in_typeset<words::any_function_set>, 1},
    {"any-object?", in_typeset<words::any_object_set>, 1},
    {"any-path?", in_typeset<words::any_path_set>, 1},
    {"any-string?", in_typeset<words::any_string_set>, 1},
    {"any-word?", in_typeset<words::any_word_set>, 1},
    {"series?", in_typeset<words::series_set>, 1},
    {"number?", in_typeset<words::number_set>, 1},
    {"immediate?", in_typeset<words::immediate_set>, 1},
    {"scalar?", in_typeset<words::scalar_set>, 1},
    {"all-word?", in_typeset<words::all_word_set>, 1},
    {"any-point?", in_typeset<words::any_point_set>, 1},
    {"planar?", in_typeset<words::planar_set>, 1},
};

}  // namespace

void init() {
  for (const Body& b : BODIES) routine::add_entry(b.name, b.fn, b.arg_count);
}

}  // namespace zol::library
