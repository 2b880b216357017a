// The hot steps of the CSV codec as routine bodies: the scan of a text into lines
// of field strings, and the writing of lines of values as text. library/csv.zol
// wraps them into load-csv (which checks the lines' lengths and makes records,
// columns or a flat block of them) and to-csv (which arranges blocks, records and
// columns into lines).
//
// The scan follows load-csv's grammar rule for rule. A field is a quoted value
// (the quote character, then characters other than it or two of it standing for
// one, then the quote character) when such a value is there, else the longest run
// of characters other than LF, CR and the delimiter's characters; fields are
// separated by the delimiter, and a line ends with CRLF, LF, CR or the end of the
// text. A line whose last field is followed by anything else (a quoted value with
// text after its closing quote) ends the scan before that line.
#include "library/csv.h"

#include <string>

#include "library/routines.h"
#include "library/text_cells.h"
#include "runtime/core/actions.h"
#include "runtime/core/error.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/string/string.h"

namespace zol::library::csv {
namespace {

using Args = Cell* const*;

class Scanner {
 public:
  Scanner(Cell* text, const std::u32string& delimiter, uint32_t quote)
      : delimiter_(delimiter), quote_(quote) {
    n_ = string::clip_length(text);
    data_ = string::clip_head_bytes(text);
    unit_ = series::buffer(text)->unit();
  }

  int32_t position() const { return pos_; }
  bool at_end() const { return pos_ >= n_; }

  // One line's fields into `line`; answers whether a line end or the end of the
  // text follows them (the position is then past the line end).
  bool line(Cell* line) {
    for (;;) {
      Cell value = field();
      block::append(line, &value);
      if (!delimiter()) break;
    }
    return at_end() || line_end();
  }

  bool line_end() {
    if (at_end()) return false;
    uint32_t c = at(pos_);
    if (c == '\r') {
      ++pos_;
      if (pos_ < n_ && at(pos_) == '\n') ++pos_;
      return true;
    }
    if (c == '\n') {
      ++pos_;
      return true;
    }
    return false;
  }

  void set_position(int32_t p) { pos_ = p; }

 private:
  uint32_t at(int32_t i) const { return string::get_char(data_ + size_t(i) * unit_, unit_); }

  bool delimiter() {
    if (delimiter_.empty() || pos_ + int32_t(delimiter_.size()) > n_) return false;
    for (size_t k = 0; k < delimiter_.size(); ++k)
      if (at(pos_ + int32_t(k)) != delimiter_[k]) return false;
    pos_ += int32_t(delimiter_.size());
    return true;
  }

  bool value_char(uint32_t c) const {
    return c != '\n' && c != '\r' && delimiter_.find(char32_t(c)) == std::u32string::npos;
  }

  Cell field() {
    if (pos_ < n_ && at(pos_) == quote_) {
      int32_t p = pos_ + 1;
      quoted_.clear();
      for (;;) {
        if (p >= n_) break;
        uint32_t c = at(p);
        if (c != quote_) {
          quoted_.push_back(c);
          ++p;
        } else if (p + 1 < n_ && at(p + 1) == quote_) {
          quoted_.push_back(c);
          p += 2;
        } else {
          pos_ = p + 1;  // the closing quote
          return text::make_string(quoted_);
        }
      }
      // No closing quote: the field is read as an unquoted one.
    }
    int32_t start = pos_;
    while (pos_ < n_ && value_char(at(pos_))) ++pos_;
    return text::copy_units(data_ + size_t(start) * unit_, unit_, pos_ - start);
  }

  const uint8_t* data_ = nullptr;
  uint32_t unit_ = 1;
  int32_t n_ = 0;
  int32_t pos_ = 0;
  std::u32string delimiter_;
  uint32_t quote_;
  std::u32string quoted_;
};

// The delimiter argument (a char! or a string!) as code points.
std::u32string delimiter_of(const Cell* d) {
  if (d->is(T_CHAR)) return std::u32string(1, char32_t(d->w2));
  Cell copy = *d;
  return text::code_points(&copy);
}

// csv-scan text delimiter quote one-line?: the block [lines rest complete?]. lines
// holds one block of field strings per line read; rest is the text where reading
// stopped; complete? is false when a line did not end with a line end or the end
// of the text (such a line is left out, unless it is the first, whose fields are
// then the one line). Without one-line? the line ends after the last line are
// skipped; with it, one line is read and nothing after it.
const Cell* csv_scan(Args a) {
  std::u32string delimiter = delimiter_of(a[1]);
  Cell source = *a[0];
  Scanner scan(&source, delimiter, a[2]->w2);
  bool one_line = a[3]->w1 != 0;
  int32_t head = string::head_index(&source);

  Cell lines;
  block::make_at(&lines, 16);
  bool complete = true;
  int32_t count = 0;
  for (;;) {
    if (scan.at_end()) break;
    int32_t start = scan.position();
    Cell line;
    block::make_at(&line, 8);
    if (!scan.line(&line)) {
      if (count == 0) {
        block::append(&lines, &line);
      } else {
        scan.set_position(start);
      }
      complete = false;
      break;
    }
    block::append(&lines, &line);
    ++count;
    if (one_line) break;
  }
  if (!one_line)
    while (scan.line_end()) {
    }

  Cell rest = source;
  cell::set_type(&rest, T_STRING);
  rest.w1 = static_cast<uint32_t>(head + scan.position());
  Cell out;
  block::make_at(&out, 3);
  block::append(&out, &lines);
  block::append(&out, &rest);
  Cell flag = values::logic(complete);
  block::append(&out, &flag);
  return answer(out);
}

// csv-encode lines delimiter quote: the text of a block of lines (each a block of
// values), every line ending with LF. A value is written as its form; it is
// quoted, its quote characters doubled, when it holds a quote character, the
// delimiter, a space, LF or CR (a CR left bare would read back as a line end).
const Cell* csv_encode(Args a) {
  std::u32string delimiter = delimiter_of(a[1]);
  uint32_t quote = a[2]->w2;
  auto special = [&](uint32_t c) {
    return c == ' ' || c == '\n' || c == '\r' || c == quote ||
           delimiter.find(char32_t(c)) != std::u32string::npos;
  };
  std::string out;
  std::u32string field;
  Cell lines = *a[0];
  int32_t lines_head = series::head_index(&lines);
  int32_t line_count = block::length(&lines);
  for (int32_t i = 0; i < line_count; ++i) {
    Cell line = *block::cell_at(&lines, lines_head + i);
    if (!line.is(T_BLOCK)) fire(err::script::INVALID_ARG, &line);
    int32_t head = series::head_index(&line);
    int32_t n = block::length(&line);
    for (int32_t k = 0; k < n; ++k) {
      if (k) for (char32_t c : delimiter) text::append_utf8(out, c);
      Cell value = *block::cell_at(&line, head + k);
      Cell formed = value.is(T_STRING) ? value : actions::form_to_string(&value);
      field = text::code_points(&formed);
      bool quoted = false;
      for (char32_t c : field) quoted = quoted || special(c);
      if (quoted) text::append_utf8(out, quote);
      for (char32_t c : field) {
        if (c == quote) text::append_utf8(out, quote);
        text::append_utf8(out, c);
      }
      if (quoted) text::append_utf8(out, quote);
    }
    out.push_back('\n');
  }
  Cell result;
  string::load(reinterpret_cast<const uint8_t*>(out.data()), uint32_t(out.size()), &result,
               string::ENCODING_UTF8);
  return answer(result);
}

}  // namespace

void init() {
  routine::add_entry("csv-scan", csv_scan, 4);
  routine::add_entry("csv-encode", csv_encode, 3);
}

}  // namespace zol::library::csv
