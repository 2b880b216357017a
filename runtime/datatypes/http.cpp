// HTTP requests as values: the method word, header block and data become the
// platform's plain request, and the response becomes values.
#include "runtime/datatypes/http.h"

#include <strings.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/http.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/simple_io.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/text/casefold.h"
#include "runtime/text/unicode.h"

namespace zol::http {

namespace {

// The headers sent when the caller gives no header block, in this order.
struct DefaultHeader {
  const char* name;
  const char* value;
};
const DefaultHeader DEFAULT_HEADERS[] = {
    {"Content-Type", "application/x-www-form-urlencoded"},
    {"Accept-Charset", "UTF-8"},
    {"User-Agent", "Mozilla/5.0 (Windows NT 6.1; Win64; x64)"},
};

std::string utf8_of(const Cell* text) {
  int32_t n = -1;   // in: no limit; out: the byte count
  const char* bytes = unicode::to_utf8(text, &n);
  return std::string(bytes, size_t(n));
}

const uint8_t* bytes_of(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

// A string! as it is, anything else formed.
std::string formed(const Cell* value) {
  if (value->is(T_STRING)) return utf8_of(value);
  Cell text = actions::form_to_string(value);
  return utf8_of(&text);
}

bool plain_word(const Cell* value) {
  return value->is(T_WORD) || value->is(T_SET_WORD) || value->is(T_GET_WORD) ||
         value->is(T_LIT_WORD);
}

std::string header_name(const Cell* name) {
  return plain_word(name) ? symbol::get_c_string(word_cell::symbol(name)) : formed(name);
}

// The method word's name in upper case: get, head and post give GET, HEAD and
// POST, and any other word its own name, so put gives PUT.
std::string method_text(const Cell* method) {
  const char* name = symbol::get_c_string(word_cell::symbol(method));
  Cell* top = stack::top;
  Cell* text = string::load(reinterpret_cast<const uint8_t*>(name),
                            symbol::name_length(word_cell::symbol(method)), nullptr,
                            string::ENCODING_UTF8);
  case_folding::change(text, nullptr, true);
  std::string upper = utf8_of(text);
  stack::top = top;
  return upper;
}

// A line break inside a name or value would end the header early and let the rest
// pass for headers or a request of its own; a NUL would cut it short.
std::string header_text(const Cell* value, std::string text) {
  if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
    fire(err::script::INVALID_ARG, value);
  return text;
}

// The caller's pairs from the block's head; a name left without a value is not
// sent.
void add_pairs(const Cell* pairs, platform::HttpRequest* out) {
  int32_t head = series_cell::head(pairs), count = block::length(pairs);
  for (int32_t i = 0; i + 1 < count; i += 2) {
    const Cell* name = block::cell_at(pairs, head + i);
    std::string name_text = header_text(name, header_name(name));
    const Cell* value = block::cell_at(pairs, head + i + 1);
    out->headers.emplace_back(std::move(name_text), header_text(value, formed(value)));
  }
}

// GET and HEAD never carry a body, whatever data is given.
void set_body(const Cell* data, platform::HttpRequest* out) {
  if (!data || data->is(T_NONE) || out->method == "GET" || out->method == "HEAD") return;
  out->has_body = true;
  if (data->is(T_BINARY))
    out->body.assign(reinterpret_cast<const char*>(binary::head_bytes(data)),
                     size_t(binary::length(data)));
  else
    out->body = formed(data);
}

// The url's text is kept decoded; the wire wants it encoded again.
std::string wire_url(const Cell* url) {
  Cell* top = stack::top;
  Cell* encoded = stack::push_unset();
  string::make_at(encoded, 64);
  url::encode_percent(url, encoded, url::MODE_URL);
  std::string text = utf8_of(encoded);
  stack::top = top;
  return text;
}

platform::HttpRequest make_request(const Cell* method, const Cell* url, const Cell* headers,
                                   const Cell* data) {
  platform::HttpRequest out;
  out.method = method_text(method);
  out.url = wire_url(url);
  if (headers && headers->is(T_BLOCK)) add_pairs(headers, &out);
  else
    for (const DefaultHeader& h : DEFAULT_HEADERS) out.headers.emplace_back(h.name, h.value);
  set_body(data, &out);
  return out;
}

// [status headers body], built on the stack so that each part stays reachable.
void info_block(const platform::HttpResponse& response, const Cell* body, Cell* out) {
  Cell* blk = block::push_empty(3);
  Cell status = values::integer(int32_t(response.status));
  block::append(blk, &status);
  Cell* headers = stack::push_unset();
  parse_headers(response.headers, headers);
  block::append(blk, headers);
  block::append(blk, body);
  *out = *blk;
}

// One header line's name and value: the name before the first colon, the value
// after it with the optional blanks skipped, up to the line's CR.
struct HeaderLine {
  std::string name, value;
};

// Header bytes are not always UTF-8 (older servers send Latin-1): bytes that do not
// decode become U+FFFD rather than failing the whole request.
std::vector<HeaderLine> split_lines(std::string text) {
  unicode::repair_utf8(&text);
  std::vector<HeaderLine> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    size_t value = line.find_first_not_of(" \t", colon + 1);
    lines.push_back({line.substr(0, colon), value == std::string::npos ? "" : line.substr(value)});
  }
  return lines;
}

// Names in the order they first came, with every value; names differing only in
// case are one header.
std::vector<std::pair<std::string, std::vector<std::string>>> group_by_name(
    const std::vector<HeaderLine>& lines) {
  std::vector<std::pair<std::string, std::vector<std::string>>> groups;
  for (const HeaderLine& line : lines) {
    auto same = [&](const auto& g) { return strcasecmp(g.first.c_str(), line.name.c_str()) == 0; };
    auto found = std::find_if(groups.begin(), groups.end(), same);
    if (found == groups.end()) groups.push_back({line.name, {line.value}});
    else found->second.push_back(line.value);
  }
  return groups;
}

Cell* push_text(const std::string& text) {
  return string::load(bytes_of(text), uint32_t(text.size()), nullptr, string::ENCODING_UTF8);
}

}  // namespace

void parse_headers(const std::string& text, Cell* out) {
  Cell* top = stack::top;
  auto groups = group_by_name(split_lines(text));
  Cell* pairs = block::push_empty(int32_t(groups.size() * 2 + 1));
  for (const auto& [name, values] : groups) {
    Cell key;
    word::make_at(symbol::make_len(bytes_of(name), uint32_t(name.size())), &key);
    block::append(pairs, &key);
    if (values.size() == 1) {
      block::append(pairs, push_text(values[0]));
      continue;
    }
    Cell* list = block::push_empty(int32_t(values.size()));
    for (const std::string& value : values) block::append(list, push_text(value));
    block::append(pairs, list);
  }
  map::make_over(out, pairs);
  stack::top = top;
}

Cell* request(const Cell* method, const Cell* url, const Cell* headers, const Cell* data,
              const url::HttpOptions& how) {
  platform::HttpRequest wire = make_request(method, url, headers, data);
  platform::HttpResponse response;
  Cell* result = stack::push_unset();
  if (!platform::http_exchange(wire, &response)) {
    *result = values::none;
    return result;
  }
  simple_io::ReadOptions shape;
  shape.binary = how.binary;
  shape.lines = how.lines;
  Cell* body = stack::push_unset();
  simple_io::bytes_to_value(bytes_of(response.body), response.body.size(), shape, body);
  if (how.info) info_block(response, body, result);
  else *result = *body;
  stack::top = result + 1;
  return result;
}

void install() { url::services.http_request = request; }

}  // namespace zol::http
