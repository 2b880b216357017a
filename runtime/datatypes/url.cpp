// url!: percent-encoding and -decoding, the molded url, making urls from blocks,
// path steps that join a url and an element with one "/", and the hand-over of
// reads and writes to the HTTP service or to a port. file! (file.cpp) inherits most
// of it.
#include "runtime/datatypes/url.h"

#include <climits>
#include <cstring>

#include "runtime/core/actions.h"
#include "runtime/core/stack.h"
#include "runtime/core/action_types.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/actions.h"
#include "runtime/datatypes/word.h"
#include "runtime/core/error.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/text/unicode.h"

namespace zol::url {

Services services;

// --- percent-encoding ----------------------------------------------------------------------

namespace {

bool is_strict_safe(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '-' ||
         b == '.' || b == '_' || b == '~';
}

bool is_url_safe(uint8_t b) {
  return is_strict_safe(b) || (b != 0 && std::strchr("!#$&'()*+,/:=?@", b) != nullptr);
}

int hex_value(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void put(Cell* out, uint32_t cp) {
  string::append_char(memory::buffer_of(series_cell::node(out)), cp);
}

// The escaped UTF-8 sequence at p: true when its lead escape is followed at once by
// the escapes of all the continuation bytes it announces; they go to `bytes`.
bool escaped_sequence(const uint8_t* p, const uint8_t* end, uint8_t lead, uint8_t* bytes,
                      int* count) {
  *count = unicode::utf8_char_size(lead);
  if (end - p < 3 * *count) return false;
  bytes[0] = lead;
  for (int i = 1; i < *count; i++)
    if (!decode_hex_pair(p + 3 * i, end, &bytes[i])) return false;
  return true;
}

// A character of the plain text at p, checked; answers the bytes it took.
uint32_t plain_char(const uint8_t* p, const uint8_t* end, uint32_t* cp) {
  uint32_t available = uint32_t(end - p);
  int32_t decoded = unicode::decode_utf8_char_checked(p, &available);
  if (decoded < 0) unicode::raise_invalid_utf8(p, size_t(end - p));
  *cp = uint32_t(decoded);
  return available;
}

void decode_bytes(const uint8_t* p, const uint8_t* end, Cell* out) {
  while (p < end) {
    uint8_t byte;
    if (decode_hex_pair(p, end, &byte)) {
      if (byte < 0xC0) {
        put(out, byte);
        p += 3;
        continue;
      }
      uint8_t bytes[4];
      int count;
      if (escaped_sequence(p, end, byte, bytes, &count)) {
        uint32_t available = uint32_t(count);
        int32_t cp = unicode::decode_utf8_char_checked(bytes, &available);
        if (cp < 0) unicode::raise_invalid_utf8(bytes, size_t(count));
        put(out, uint32_t(cp));
        p += 3 * count;
        continue;
      }
    }
    uint32_t cp;
    p += plain_char(p, end, &cp);
    put(out, cp);
  }
}

const uint8_t* utf8_of(const Cell* text, int32_t* bytes) {
  *bytes = -1;
  return reinterpret_cast<const uint8_t*>(unicode::to_utf8(text, bytes));
}

}  // namespace

bool decode_hex_pair(const uint8_t* p, const uint8_t* end, uint8_t* byte) {
  if (end - p < 3 || p[0] != '%') return false;
  int high = hex_value(p[1]), low = hex_value(p[2]);
  if (high < 0 || low < 0) return false;
  *byte = uint8_t(high << 4 | low);
  return true;
}

int encode_byte(uint8_t byte, int mode, char* out) {
  if (mode == MODE_STRICT ? is_strict_safe(byte) : is_url_safe(byte)) {
    out[0] = char(byte);
    return 1;
  }
  out[0] = '%';
  std::memcpy(out + 1, string::byte_to_hex(byte), 2);
  return 3;
}

void decode_percent(const Cell* text, Cell* out) {
  int32_t bytes;
  const uint8_t* p = utf8_of(text, &bytes);
  decode_bytes(p, p + bytes, out);
}

void encode_percent(const Cell* text, Cell* out, int mode) {
  int32_t bytes;
  const uint8_t* p = utf8_of(text, &bytes);
  for (int32_t i = 0; i < bytes; i++) {
    char escape[3];
    int n = encode_byte(p[i], mode, escape);
    for (int k = 0; k < n; k++) put(out, uint8_t(escape[k]));
  }
}

Cell* load_decoded(const uint8_t* bytes, uint32_t size) {
  Cell* out = stack::push_unset();
  string::make_at(out, size);
  decode_bytes(bytes, bytes + size, out);
  return out;
}

Cell* push(const Cell* url) { return stack::push(url); }

void need_service(bool installed) {
  if (!installed) fire(err::internal::FEATURE_NA);
}

// --- url! actions --------------------------------------------------------------------------------

namespace {

int mold(const Cell* url, Cell* out, const MoldOptions& how, int limit) {
  int32_t bytes;
  const uint8_t* p = utf8_of(url, &bytes);
  int written = 0;
  for (int32_t i = 0; i < bytes && !(how.part && written >= limit); i++) {
    char escape[3];
    int n = encode_byte(p[i], MODE_URL, escape);
    for (int k = 0; k < n; k++) put(out, uint8_t(escape[k]));
    written += n;
  }
  return limit - written;
}

void append_formed(Cell* out, const Cell* value) {
  Cell v = *value;
  actions::form_typed(&v, out, nullptr, INT_MAX);
}

// scheme://host[:port][/element...], "#" before an issue! element.
Cell url_of_block(const Cell* blk) {
  int32_t count = block::length(blk);
  if (count == 0) fire(err::script::INVALID_ARG, blk);
  Cell out;
  string::make_at(&out, 32);
  auto element = [&](int32_t i) { return block::cell_at(blk, series::head_index(blk) + i); };
  append_formed(&out, element(0));
  string::concatenate_literal(&out, "://");
  int32_t next = 1;
  if (count > 1) append_formed(&out, element(next++));
  if (count > 2 && element(2)->is(T_INTEGER)) {
    string::concatenate_literal(&out, ":");
    append_formed(&out, element(next++));
  }
  for (int32_t i = next; i < count; i++) {
    string::concatenate_literal(&out, element(i)->is(T_ISSUE) ? "#" : "/");
    append_formed(&out, element(i));
  }
  return out;
}

Cell* make(Cell* proto, Cell* spec, int type) {
  bool parts = spec->is(T_BLOCK) || spec->is(T_PAREN) || spec->is(T_HASH);
  if (!parts) return string::to(proto, spec, type);
  Cell made = url_of_block(spec);
  *proto = Cell{uint32_t(type), 0, series_cell::node(&made), 0};
  return proto;
}

bool ends_with_slash(const Cell* text) {
  string::Text t = string::view(text);
  return t.length > 0 && t[t.length - 1] == '/';
}

bool starts_with_slash(const Cell* text) {
  string::Text t = string::view(text);
  return t.length > 0 && t[0] == '/';
}

// A new url of the parent and the formed element, joined by exactly one "/".
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path) {
  if (value) {
    Cell where = path ? *path : values::none;
    fire(err::script::BAD_PATH_SET, &where, value);
  }
  Cell* top = stack::top;
  Cell part = element->is(T_GET_WORD) ? *word::get_value(element) : *element;
  stack::top = top;
  Cell tail = actions::form_to_string(&part);
  Cell joined = series::copy_units(parent, nullptr);
  bool left = ends_with_slash(&joined), right = starts_with_slash(&tail);
  if (left && right) series_cell::set_head(&tail, 1);
  if (!left && !right) string::concatenate_literal(&joined, "/");
  string::concatenate(&joined, &tail, -1, 0, true, string::CONCAT_APPEND);
  *parent = Cell{parent->header & HEADER_TYPE_MASK, 0, series_cell::node(&joined), 0};
  return parent;
}

bool is_http(const Cell* url) { return string::match_cstr(url, "http"); }

Cell word_named(uint32_t known) { return word::make_global(known); }

// The HTTP service's answer in the url's cell; no response at all is an error.
Cell* ask_http(Cell* url, const Cell* method, const Cell* headers, const Cell* data,
               const HttpOptions& how) {
  need_service(services.http_request != nullptr);
  Cell* answer = services.http_request(method, url, headers, data, how);
  if (answer->is(T_NONE)) fire(err::access::CANNOT_OPEN, url);
  *url = *answer;
  return url;
}

Cell* read(Cell* url, const Cell* part, const Cell* seek, bool binary, bool lines, bool info,
           const Cell* as) {
  if (!is_http(url)) {
    need_service(services.parse != nullptr);
    Cell port = services.parse(url, false);
    *url = *actions::read_typed(&port, part, seek, binary, lines, info, as);
    return url;
  }
  if (part || seek || as) fire(err::script::BAD_REFINES);
  Cell method = word_named(words::get);
  return ask_http(url, &method, nullptr, nullptr, {binary, lines, info});
}

// An HTTP write: [method headers data] or plain data, posted.
Cell* write_http(Cell* url, Cell* data, const HttpOptions& how) {
  if (!data->is(T_STRING) && !data->is(T_BINARY) && !data->is(T_BLOCK))
    fire(err::script::INVALID_ARG, data);
  if (!data->is(T_BLOCK)) {
    Cell method = word_named(words::post);
    return ask_http(url, &method, nullptr, data, how);
  }
  int32_t count = block::length(data);
  Cell method = count > 0 ? *block::clip_head_cell(data) : word_named(words::get);
  Cell headers = count > 1 ? block::clip_head_cell(data)[1] : values::none;
  Cell body = count > 2 ? block::clip_head_cell(data)[2] : values::none;
  if (!method.is(T_WORD)) fire(err::script::INVALID_ARG, &method);
  if (count > 1 && !headers.is(T_BLOCK)) fire(err::script::INVALID_ARG, &headers);
  return ask_http(url, &method, count > 1 ? &headers : nullptr, count > 2 ? &body : nullptr, how);
}

Cell* write(Cell* url, Cell* data, bool binary, bool lines, bool info, bool append,
            const Cell* part, const Cell* seek, const Cell* allow, const Cell* as) {
  if (is_http(url)) return write_http(url, data, {binary, lines, info});
  need_service(services.parse != nullptr);
  Cell port = services.parse(url, false);
  *url = *actions::write_typed(&port, data, binary, lines, info, append, part, seek, allow, as);
  return url;
}

Cell* open(Cell* url, bool, bool, bool, bool, const Cell*) {
  need_service(services.parse != nullptr);
  *url = services.parse(url, true);
  return url;
}

}  // namespace

void init() {
  datatype::register_type(T_URL, T_STRING, "url!",
                          datatype::make_row(INHERIT, {slot_entry<A_MAKE>(make),
                                                       {A_RANDOM, nullptr},
                                                       {A_REFLECT, nullptr},
                                                       slot_entry<A_TO>(make),
                                                       slot_entry<A_MOLD>(mold),
                                                       slot_entry<A_EVAL_PATH>(eval_path),
                                                       {A_SORT, nullptr},
                                                       {A_TRIM, nullptr},
                                                       slot_entry<A_OPEN>(open),
                                                       slot_entry<A_READ>(read),
                                                       slot_entry<A_WRITE>(write)}));
}

}  // namespace zol::url
