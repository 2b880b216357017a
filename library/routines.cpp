// The C++ bodies of the library's routines, registered by the names that the
// routines' body blocks in library/*.zol give. Start-up registers them before it
// evaluates the library's source, which binds each spec to its body by that name.
//
// A body receives its arguments already type-checked against the routine's spec
// and answers a cell that the caller copies at once (null: unset), so a body may
// answer its own result cell or one of the shared constants.
#include "library/routines.h"

#include "library/csv.h"
#include "library/json.h"

#include <algorithm>
#include <string>
#include <vector>

#include "interpreter/natives/natives.h"
#include "interpreter/natives/radians.h"
#include "interpreter/trace.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/os_info.h"
#include "platform/platform.h"
#include "runtime/base/output.h"
#include "runtime/base/system.h"
#include "runtime/collector/collector.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/time/time.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
#include "runtime/numeric/shift.h"
#include "runtime/text/unicode.h"
#include "runtime/zolbin/zolbin.h"

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

const Cell* cache_folder(Args) {
  std::string path = platform::cache_directory();
  Cell out;
  string::load(reinterpret_cast<const uint8_t*>(path.data()), uint32_t(path.size()), &out,
               string::ENCODING_UTF8);
  cell::set_type(&out, T_FILE);
  return answer(out);
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

// Suspends or resumes the events of the traced run in progress; outside a traced
// run there is nothing to switch on.
const Cell* set_tracing(Args a) {
  if (!trace::saved_tracing) return &values::none;
  trace::tracing = a[0]->w1 != 0 ? 1 : 0;
  trace::requested = 1 + trace::tracing;
  return &values::none;
}

// --- replace/all over text ------------------------------------------------------------------

// Every match of the pattern from the series' head (in any letter case unless
// `case?`) is replaced by the insertion. What the text holds from the first match
// on is gathered into one new text, which then takes the place of the old content
// in a single change: the tail moves once however many matches there are.
// Answers nothing; a text without a match is left as it is.
const Cell* replace_all_text(Args a) {
  Cell* series = stack::push(a[0]);
  Cell* pattern = stack::push(a[1]);
  Cell* insertion = stack::push(a[2]);
  FindOptions how;
  how.case_ = logic::true_value(a[3]);
  int32_t size = string::length(pattern);
  Cell* out = stack::push_unset();
  string::make_at(out, uint32_t(string::length(series)));
  int32_t first = -1, pos = series_cell::head(series);
  auto segment = [&](int32_t end) {
    Cell from = *series;
    series_cell::set_head(&from, pos);
    string::concatenate(out, &from, end < 0 ? -1 : end - pos, 0, true, string::CONCAT_APPEND);
  };
  while (size > 0) {
    Cell at = *series;
    series_cell::set_head(&at, pos);
    const Cell* found = string::find(&at, pattern, how);
    if (found->is(T_NONE)) break;
    int32_t match = series_cell::head(found);
    if (first < 0) first = pos = match;
    segment(match);
    string::concatenate(out, insertion, -1, 0, true, string::CONCAT_APPEND);
    pos = match + size;
  }
  if (first >= 0) {
    segment(-1);
    Cell target = *series;
    series_cell::set_head(&target, first);
    string::change(&target, out, string::length(&target), false, 1);
  }
  stack::pop(4);
  return nullptr;
}

// --- the collector's state and the float printer's switches -------------------------------

const Cell* gc_active_q(Args) { return logic(collector::enabled == 1); }

const Cell* count(uint64_t n) {
  return answer(values::integer(int32_t(std::min<uint64_t>(n, INT32_MAX))));
}
const Cell* gc_series_cycles(Args) { return count(collector::cycles()); }
const Cell* gc_nodes_cycles(Args) { return count(collector::node_compactions()); }

// The switch named by the word (pretty? or full?) set to the logic value.
const Cell* float_mode(Args a) {
  uint32_t mode = symbol::resolve(word_cell::symbol(a[0]));
  bool on = logic::true_value(a[1]);
  if (mode == symbol::resolve(words::pretty_q)) float_::pretty_print = on;
  else if (mode == symbol::resolve(words::full_q)) float_::full_support = on;
  else fire(err::script::INVALID_ARG, a[0]);
  return nullptr;
}

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

// --- the program's arguments --------------------------------------------------------------

Cell utf8_string(const std::string& text) {
  Cell s;
  string::load(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &s,
               string::ENCODING_UTF8);
  return s;
}

// argv as strings, held on the stack while each string is made.
const Cell* program_arguments(Args) {
  int count = platform::arg_count();
  Cell* list = stack::push_unset();
  block::make_at(list, uint32_t(count) + 1);
  for (int i = 0; i < count; i++) {
    Cell s = utf8_string(platform::arg_vector()[i]);
    block::append(list, &s);
  }
  Cell out = *list;
  stack::pop(1);
  return answer(out);
}

// The words of the global context that hold a value, in the context's order: what
// the console offers to complete a word.
const Cell* global_words(Args) {
  Cell* list = stack::push_unset();
  block::make_at(list, 1024);
  int32_t count = int32_t(context::get_words(context::global)->length());
  for (int32_t i = 0; i < count; i++) {
    const Cell* entry = context::get_words(context::global)->cells() + i;
    uint32_t symbol = word_cell::symbol(entry);
    Cell* value = context::value_of(symbol, context::global);
    if (!value || value->is(T_UNSET)) continue;
    Cell w = word::make_global(symbol);
    block::append(list, &w);
  }
  Cell out = *list;
  stack::pop(1);
  return answer(out);
}

// --- the clipboard ---------------------------------------------------------------------------

// An image decoded from its encoded bytes; none when the bytes are of no format
// the image codecs know.
const Cell* clipboard_image(const std::string& encoded) {
  Cell* bytes = stack::push_unset();
  binary::load(reinterpret_cast<const uint8_t*>(encoded.data()), uint32_t(encoded.size()), bytes);
  Cell decoded;
  image::load_binary(bytes, &decoded);
  stack::pop(1);
  return answer(decoded);
}

// Text as a string!, files as a block of file!, an image as image!; none when
// empty, false when the clipboard could not be read.
const Cell* read_clipboard(Args) {
  platform::ClipboardContent content;
  if (!platform::read_clipboard(&content)) return &values::false_value;
  auto bytes = [](const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); };
  if (content.kind == platform::ClipboardContent::IMAGE) return clipboard_image(content.image);
  if (content.kind == platform::ClipboardContent::TEXT) {
    unicode::repair_utf8(&content.text);   // another program's bytes may be anything
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

// An image as PNG bytes. An image without pixels leaves the content empty, so
// writing it only empties the clipboard.
void clipboard_png(const Cell* picture, platform::ClipboardContent* content) {
  if (image::pixel_count(picture) == 0) return;
  Cell* png = stack::push_unset();
  image::encode(picture, image::PNG, png);
  content->kind = platform::ClipboardContent::IMAGE;
  content->image_type = "image/png";
  content->image.assign(reinterpret_cast<const char*>(binary::head_bytes(png)),
                        size_t(binary::length(png)));
  stack::pop(1);
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
    clipboard_png(data, &content);
  } else if (!data->is(T_NONE)) {
    fire(err::script::INVALID_ARG, data);
  }
  return logic(platform::write_clipboard(content));
}

// Services this system does not have yet: each raises "not done" naming itself.
const Cell* not_done(Args) { natives::not_done(); }

// --- angles and roots in radians: the math natives' own code -------------------------------

// The argument as a double: the specs let integer! and percent! through for atan2
// and sqrt.
double as_double(const Cell* c) {
  return c->is(T_INTEGER) ? double(cell::get_int(c)) : cell::get_double(c);
}

const Cell* answer_float(double d) {
  float_::make_at(&result, d);
  return &result;
}

template <double (*FN)(double)>
const Cell* of_one(Args a) { return answer_float(FN(as_double(a[0]))); }

const Cell* arctangent2(Args a) {
  return answer_float(natives::radians::arctangent2(as_double(a[0]), as_double(a[1])));
}

// --- dates ------------------------------------------------------------------------------

// The local zone at the date's own moment, as a time!.
const Cell* local_zone_at(Args a) {
  time::make_at(&result, double(platform::local_offset_at(date::to_epoch(a[0]))));
  return &result;
}

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

// --- the binary value codec ---------------------------------------------------------

const Cell* zolbin_encode(Args a) {
  bool compact = logic::true_value(a[1]);
  return answer(zolbin::encode(a[0], compact ? zolbin::Encoding::COMPACT : zolbin::Encoding::STANDARD));
}

// The whole file's bytes; a file that cannot be opened or read raises cannot-open.
std::vector<uint8_t> read_whole_file(const Cell* path) {
  namespace files = platform::files;
  int fd = files::open_file(file::to_local_text(path), files::READ);
  if (fd < 0) fire(err::access::CANNOT_OPEN, path);
  int64_t size = files::file_size(fd);
  std::vector<uint8_t> bytes(size > 0 ? size_t(size) : 0);
  bool ok = size >= 0 && files::read_bytes(fd, bytes.data(), size) == size;
  files::close_file(fd);
  if (!ok) fire(err::access::CANNOT_OPEN, path);
  return bytes;
}

// A file's image or a binary's, from its position; anything else, or an image too
// short to hold a header and a count, is not ZOLBIN data. The bytes are copied
// first: decoding allocates, and the payload's buffer is not the reader's to pin.
const Cell* zolbin_decode(Args a) {
  std::vector<uint8_t> bytes;
  if (a[0]->is(T_FILE)) {
    bytes = read_whole_file(a[0]);
  } else if (a[0]->is(T_BINARY)) {
    const uint8_t* head = binary::head_bytes(a[0]);
    bytes.assign(head, head + binary::length(a[0]));
  } else {
    fire(err::script::INVALID_DATA, a[0]);
  }
  if (bytes.size() <= 10) fire(err::script::INVALID_DATA, a[0]);
  Cell* target = stack::push_unset();
  block::make_at(target, 0);
  zolbin::decode(bytes.data(), bytes.size(), target, a[0]);
  Cell out = block::length(target) == 1 ? *block::cell_at(target, 0) : *target;
  stack::pop(1);
  return answer(out);
}

// --- the image codecs --------------------------------------------------------------------

// The image encoded in the container the format number names (bmp 0, png 1, gif 2,
// jpeg 3, tiff 4), as a new binary!.
const Cell* image_encode(Args a) {
  if (!a[0]->is(T_IMAGE)) expect_arg(a[0], "img");
  Cell* out = stack::push_unset();
  bool made = image::encode(a[0], cell::get_int(a[2]), out);
  Cell encoded = made ? *out : values::none;
  stack::pop(1);
  return answer(encoded);
}

// An image from encoded bytes or from a file's bytes; none for bytes of no known
// format.
const Cell* image_decode(Args a) {
  Cell* bytes = stack::push_unset();
  if (a[0]->is(T_FILE)) {
    std::vector<uint8_t> content = read_whole_file(a[0]);
    binary::load(content.data(), uint32_t(content.size()), bytes);
  } else if (a[0]->is(T_BINARY)) {
    *bytes = *a[0];
  } else {
    fire(err::script::INVALID_DATA, a[0]);
  }
  Cell* out = stack::push_unset();
  image::load_binary(bytes, out);
  Cell decoded = *out;
  stack::pop(2);
  return answer(decoded);
}

struct Body {
  const char* name;
  routine::Entry fn;
  int arg_count;
};

using numeric::ShiftMode;

const Body BODIES[] = {
    {"cos", of_one<natives::radians::cosine>, 1},
    {"sin", of_one<natives::radians::sine>, 1},
    {"tan", of_one<natives::radians::tangent>, 1},
    {"acos", of_one<natives::radians::arccosine>, 1},
    {"asin", of_one<natives::radians::arcsine>, 1},
    {"atan", of_one<natives::radians::arctangent>, 1},
    {"atan2", arctangent2, 2},
    {"sqrt", of_one<natives::radians::square_root>, 1},
    {"local-zone-at", local_zone_at, 1},
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
    {"program-arguments", program_arguments, 0},
    {"global-words", global_words, 0},
    {"as-color", as_color, 3},
    {"as-ipv4", as_ipv4, 4},
    {"count-chars", count_chars, 2},
    {"stack-size?", stack_size_q, 0},
    {"pick-stack", pick_stack, 1},
    {"frame-index?", frame_index_q, 0},
    {"collect-calls", not_done, 1},
    {"tracing?", tracing_q, 0},
    {"set-tracing", set_tracing, 1},
    {"gc-active?", gc_active_q, 0},
    {"gc-series-cycles", gc_series_cycles, 0},
    {"gc-nodes-cycles", gc_nodes_cycles, 0},
    {"float-mode", float_mode, 2},
    {"replace-all-text", replace_all_text, 4},
    {"read-clipboard", read_clipboard, 0},
    {"write-clipboard", write_clipboard, 1},
    {"write-stdout", write_stdout, 1},
    {"zolbin-encode", zolbin_encode, 2},
    {"zolbin-decode", zolbin_decode, 1},
    {"image-encode", image_encode, 3},
    {"image-decode", image_decode, 1},
    {"cache-folder", cache_folder, 0},
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
  json::init();
  csv::init();
}

}  // namespace zol::library
