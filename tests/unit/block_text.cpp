// The test reader of block_text.h: a recursive reader over a few literal forms.
#include "block_text.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/word.h"
#include "runtime/values.h"
#include "support.h"

namespace zol::test {
namespace {

struct Reader {
  const std::string& text;
  size_t at = 0;

  // Skips blanks and comments; answers whether a line break was among them.
  bool blanks() {
    bool line = false;
    while (at < text.size()) {
      if (text[at] == ';') {
        while (at < text.size() && text[at] != '\n') at++;
      } else if (std::isspace(static_cast<unsigned char>(text[at]))) {
        line |= text[at++] == '\n';
      } else {
        break;
      }
    }
    return line;
  }

  std::string token() {
    size_t start = at;
    while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at])) &&
           text[at] != '[' && text[at] != ']' && text[at] != '(' && text[at] != ')')
      at++;
    return text.substr(start, at - start);
  }

  // Reads values into `into` until the closing character (or the end).
  void values_into(Cell* into, char close) {
    for (;;) {
      bool line = blanks();
      if (at >= text.size()) {
        if (close) throw std::runtime_error("unclosed block in: " + text);
        return;
      }
      if (text[at] == close) {
        at++;
        return;
      }
      Cell v = next();
      cell::set_new_line(&v, line);
      block::zs_append(into, &v);
    }
  }

  Cell next() {
    char c = text[at];
    if (c == '[' || c == '(') {
      at++;
      Cell blk;
      block::make_at(&blk, 4, c == '[' ? T_BLOCK : T_PAREN);
      values_into(&blk, c == '[' ? ']' : ')');
      return blk;
    }
    if (text.compare(at, 2, "#(") == 0) return constant();
    if (c == '"') return quoted();
    return scalar(token());
  }

  Cell quoted() {
    size_t end = text.find('"', at + 1);
    std::string body = text.substr(at + 1, end - at - 1);
    at = end + 1;
    Cell s;
    string::load(reinterpret_cast<const uint8_t*>(body.data()), uint32_t(body.size()), &s,
                 string::ENCODING_UTF8);
    return s;
  }

  Cell constant() {
    size_t end = text.find(')', at);
    std::string name = text.substr(at + 2, end - at - 2);
    at = end + 1;
    if (name == "none") return values::none;
    if (name == "true") return values::true_value;
    if (name == "false") return values::false_value;
    throw std::runtime_error("unknown constant #(" + name + ")");
  }

  static bool is_integer(const std::string& t) {
    size_t i = t[0] == '-' || t[0] == '+' ? 1 : 0;
    if (i >= t.size()) return false;
    for (; i < t.size(); i++)
      if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    return true;
  }

  static bool is_decimal(const std::string& t) {
    size_t dot = t.find('.');
    return dot != std::string::npos && dot > 0 && dot + 1 < t.size() &&
           is_integer(t.substr(0, dot)) && is_integer(t.substr(dot + 1)) &&
           std::isdigit(static_cast<unsigned char>(t[dot + 1]));
  }

  static bool all_slashes(const std::string& t) {
    return !t.empty() && t.find_first_not_of('/') == std::string::npos;
  }

  static Cell scalar(const std::string& t) {
    if (is_integer(t)) return values::integer(std::atoi(t.c_str()));
    if (is_decimal(t)) {
      Cell f;
      float_::make_at(&f, std::strtod(t.c_str(), nullptr));
      return f;
    }
    if (all_slashes(t)) return word::load(t.c_str());
    if (t.back() == ':' && all_slashes(t.substr(0, t.size() - 1)))
      return word::load(t.substr(0, t.size() - 1).c_str(), T_SET_WORD);
    if (t.size() > 1 && t.find('/', 1) != std::string::npos) return path(t);
    if (t[0] == '\'') return word::load(t.substr(1).c_str(), T_LIT_WORD);
    if (t[0] == ':') return word::load(t.substr(1).c_str(), T_GET_WORD);
    if (t[0] == '/') return word::load(t.substr(1).c_str(), T_REFINEMENT);
    if (t.back() == ':') return word::load(t.substr(0, t.size() - 1).c_str(), T_SET_WORD);
    return word::load(t.c_str());
  }

  static Cell path(std::string t) {
    uint8_t type = T_PATH;
    if (t[0] == '\'') type = T_LIT_PATH, t.erase(0, 1);
    else if (t[0] == ':') type = T_GET_PATH, t.erase(0, 1);
    else if (t.back() == ':') type = T_SET_PATH, t.pop_back();
    Cell p;
    block::make_at(&p, 2, type);
    for (size_t start = 0;;) {
      size_t slash = t.find('/', start);
      Cell element = scalar(t.substr(start, slash - start));
      block::zs_append(&p, &element);
      if (slash == std::string::npos) return p;
      start = slash + 1;
    }
  }
};

}  // namespace

Cell load(const std::string& text) {
  Reader r{text};
  Cell blk;
  block::make_at(&blk, 4);
  r.values_into(&blk, 0);
  return blk;
}

Cell value(const std::string& text) {
  Cell blk = load(text);
  return *block::zs_abs_at(&blk, 0);
}

Cell at(const std::string& text, int32_t index) {
  Cell v = value(text);
  series_cell::set_head(&v, index);
  return v;
}

std::string show(const Cell& v) {
  if (!series::is_series(v.type())) return mold(v);
  return "@" + std::to_string(series_cell::head(&v) + 1) + " " + mold(v);
}

}  // namespace zol::test
