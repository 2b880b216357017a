// The lexer's scanner (see scan.h): the automaton loop and the structural
// work around it.
#include "interpreter/lexer/scan.h"

#include <string_view>

#include "runtime/core/cell.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/map.h"
#include "runtime/text/unicode.h"

namespace zol::lexer {
namespace {

constexpr uint8_t BRACE_OPEN_STATE = 72;
constexpr uint8_t BRACE_CLOSE_STATE = 73;
constexpr uint8_t QUOTED_FILE_STATE = 8;
constexpr uint32_t REPORT_BYTES = 30;

bool is_path_type(int type) {
  return type == T_PATH || type == T_LIT_PATH || type == T_SET_PATH || type == T_GET_PATH;
}

// Bytes after which a path ends (any other byte but "/" breaks it).
bool is_path_terminator(uint8_t byte) {
  switch (char_classes.entry[byte] & CLASS_MASK) {
    case C_BLANK: case C_LF: case C_BLOCK_OPEN: case C_BLOCK_CLOSE: case C_PAREN_OPEN:
    case C_PAREN_CLOSE: case C_BRACE_OPEN: case C_DOUBLE_QUOTE: case C_COLON: case C_LESS:
    case C_SEMICOLON: case C_WORD: case C_ILLEGAL: case C_END:
      return true;
    default:
      return false;
  }
}

// Bytes a point literal is made of, besides its commas.
bool in_point_set(uint8_t byte) {
  if (byte >= '0' && byte <= '9') return true;
  switch (byte) {
    case '\t': case ' ': case '#': case '+': case '-': case '.':
    case 'A': case 'E': case 'F': case 'I': case 'N': case 'a': case 'e': case 'f': case 'i': case 'n':
      return true;
    default:
      return false;
  }
}

uint8_t ascii_lower(uint8_t c) { return c >= 'A' && c <= 'Z' ? uint8_t(c + 32) : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (ascii_lower(uint8_t(a[i])) != ascii_lower(uint8_t(b[i]))) return false;
  return true;
}

int hex_digit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ascii_lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// How a value token's text sits in the input: the bytes of prefix and suffix around
// its body, and whether the byte that ended it (its closing delimiter) is its own.
struct Shape {
  uint8_t prefix;
  uint8_t suffix;
  bool closed;
};

Shape shape_of(Kind kind, uint8_t previous) {
  switch (kind) {
    case K_STRING: case K_TAG: case K_POINT: return {1, 1, true};
    case K_CHAR: return {2, 1, true};
    case K_PERCENT: return {0, 1, true};
    case K_FILE: return previous == QUOTED_FILE_STATE ? Shape{2, 1, true} : Shape{1, 0, false};
    case K_BINARY: return {0, 1, true};   // the body starts after "{", found later
    case K_ISSUE: case K_REFINEMENT: case K_REF: return {1, 0, false};
    case K_HEX: return {0, 1, false};
    default: return {0, 0, false};
  }
}

// Constructs made of a keyword rather than a datatype name.
struct ConstructWord {
  std::string_view text;
  uint8_t type;
  uint32_t value;
};
constexpr ConstructWord construct_words[] = {
    {"true", T_LOGIC, 1}, {"false", T_LOGIC, 0}, {"none", T_NONE, 0}, {"unset", T_UNSET, 0}};

// The first registered datatype (in id order) whose name with its "!" begins with
// the text, or 0.
uint8_t datatype_named(std::string_view text) {
  if (text.empty()) return 0;
  for (int id = 1; id <= datatype::highest_id(); id++) {
    const char* name = datatype::info(uint8_t(id)).name;
    if (!name) continue;
    std::string_view full(name);
    if (text.size() <= full.size() && equal_ignoring_case(text, full.substr(0, text.size())))
      return uint8_t(id);
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Text helpers shared with the loaders

bool is_unicode_blank(uint32_t cp) {
  return cp == 0x85 || cp == 0xA0 || cp == 0x1680 || cp == 0x180E ||
         (cp >= 0x2000 && cp <= 0x200B) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

namespace {

struct EscapeName {
  std::string_view name;
  uint32_t code_point;
};
constexpr EscapeName escape_names[] = {{"null", 0}, {"back", 8}, {"tab", 9},  {"line", 10},
                                       {"page", 12}, {"esc", 27}, {"del", 127}};

// "^(...)": one to six hex digits or a name; p is at the "(".
int decode_paren_escape(const uint8_t* p, const uint8_t* end, uint32_t* code_point) {
  const uint8_t* close = nullptr;
  for (const uint8_t* q = p + 1; q < end && q - p <= 7; q++) {
    if (*q == ')') {
      close = q;
      break;
    }
  }
  if (!close || close == p + 1) return -1;
  std::string_view inside(reinterpret_cast<const char*>(p + 1), size_t(close - p - 1));
  int taken = int(close - p) + 1;
  uint32_t value = 0;
  bool hex = true;
  for (char c : inside) {
    int d = hex_digit(uint8_t(c));
    if (d < 0) { hex = false; break; }
    value = value << 4 | uint32_t(d);
  }
  if (hex) {
    if (value > 0x10FFFF) return -1;
    *code_point = value;
    return taken;
  }
  for (const EscapeName& e : escape_names) {
    if (equal_ignoring_case(inside, e.name)) {
      *code_point = e.code_point;
      return taken;
    }
  }
  return -1;
}

}  // namespace

int decode_escape(const uint8_t* p, const uint8_t* end, uint32_t* code_point) {
  if (p >= end) return -1;
  uint8_t b = *p;
  switch (b) {
    case '(': return decode_paren_escape(p, end, code_point);
    case '@': *code_point = 0; return 1;
    case '/': *code_point = 10; return 1;
    case '-': *code_point = 9; return 1;
    case '"': case '{': case '}': case '^': *code_point = b; return 1;
    case '~': *code_point = 127; return 1;
    default: break;
  }
  if (b >= 'a' && b <= 'z') { *code_point = b - 0x60u; return 1; }
  if (b >= 'A' && b <= '_') { *code_point = b - 0x40u; return 1; }
  if (b >= 0x80) {
    const uint8_t* next = unicode::decode_utf8_char(p, end, code_point);
    return *code_point == unicode::INVALID ? -1 : int(next - p);
  }
  *code_point = b;
  return 1;
}

bool valid_string_text(const uint8_t* p, const uint8_t* end, bool escapes) {
  uint32_t cp;
  while (p < end) {
    uint8_t b = *p;
    if (b == '^' && escapes) {
      int n = decode_escape(p + 1, end, &cp);
      if (n < 0) return false;
      p += 1 + n;
    } else if (b < 0x80) {
      p++;
    } else {
      p = unicode::decode_utf8_char(p, end, &cp);
      if (cp == unicode::INVALID) return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// The scanner

Scanner::Scanner(const uint8_t* text, uint32_t length, Options options)
    : text_(text), length_(length), options_(options) {}

void Scanner::seek(uint32_t offset) {
  pos_ = offset < length_ ? offset : length_;
  finished_ = false;
  word_rest_from_ = NO_REST;
}

Token Scanner::next() {
  if (next_pending_ < pending_.size()) {
    Token t = pending_[next_pending_++];
    if (next_pending_ == pending_.size()) {
      pending_.clear();
      next_pending_ = 0;
    }
    return t;
  }
  Token out{};
  while (!finished_) {
    Run r = run(entry_);
    if (dispatch(r, out)) return out;
  }
  out.kind = K_END;
  out.start = out.end = out.body_start = out.body_end = length_;
  out.line = line_;
  return out;
}

// Runs the automaton from pos_ until a final state. Between tokens, blanks, line
// feeds and control characters are skipped first (the transitions keep state 0 for
// exactly those).
Scanner::Run Scanner::run(uint8_t entry) {
  if (entry == S_BETWEEN && pos_ == word_rest_from_) {
    word_rest_from_ = NO_REST;
    word_rest_.new_line = carried_new_line_;
    carried_new_line_ = false;
    return word_rest_;
  }
  Run r{};
  r.entry = entry;
  r.new_line = carried_new_line_;
  carried_new_line_ = false;
  const uint32_t* classes = char_classes.entry;
  uint32_t p = pos_;
  if (entry == S_BETWEEN) {
    for (; p < length_; p++) {
      uint32_t cls = classes[text_[p]] & CLASS_MASK;
      if (transitions.next[S_BETWEEN][cls] != S_BETWEEN) break;
      if (cls == C_LF) {
        line_++;
        r.new_line = true;
      }
    }
  }
  r.start = p;
  r.line = line_;
  uint8_t state = entry;
  uint8_t final_state = 0;
  uint32_t flags = 0;
  for (; p < length_; p++) {
    uint32_t e = classes[text_[p]];
    uint8_t next = transitions.next[state][e & CLASS_MASK];
    if (next >= FIRST_FINAL) {
      final_state = next;
      break;
    }
    flags |= e;
    if ((e & CLASS_MASK) == C_LF) line_++;
    state = next;
  }
  if (final_state == 0) final_state = transitions.next[state][C_END];   // input ran out
  r.previous = state;
  r.final_state = final_state;
  r.stop = p;
  r.flags = flags & ~CLASS_MASK;
  return r;
}

bool Scanner::dispatch(const Run& r, Token& out) {
  entry_ = S_BETWEEN;
  switch (r.final_state) {
    case K_END: out = end_of_input(r); return true;
    case K_BLOCK_OPEN: out = open_container(r, K_BLOCK_OPEN, T_BLOCK); return true;
    case K_BLOCK_CLOSE: out = close_container(r, ']'); return true;
    case K_PAREN_OPEN: return open_paren_or_point(r, out);
    case K_PAREN_CLOSE: out = close_container(r, ')'); return true;
    case BRACE_OPEN_STATE: out = braced_string(r); return true;
    case K_MAP_OPEN: out = open_container(r, K_MAP_OPEN, T_MAP); return true;
    case K_PATH_OPEN: out = open_path(r); return true;
    case K_CONSTRUCT: out = construct(r); return true;
    case K_COMMA: out = comma(r); return true;
    case K_COMMENT:
      pos_ = r.stop;
      out = token(K_COMMENT, 0, r, r.stop);
      return true;
    case K_WORD: return word(r, out);
    case K_ERROR: case BRACE_CLOSE_STATE: out = fail_in_token(r); return true;
    default: out = value(r); return true;
  }
}

Token Scanner::token(Kind kind, uint8_t type, const Run& r, uint32_t end) {
  Token t{};
  t.kind = kind;
  t.type = type;
  t.start = t.body_start = r.start;
  t.end = t.body_end = end;
  t.line = r.line;
  t.flags = r.flags | (r.new_line ? TOKEN_NEW_LINE : 0);
  return t;
}

// ---------------------------------------------------------------------------
// Errors

Token Scanner::fail(int problem, uint32_t start, uint32_t report_from, uint32_t resume,
                    char bracket) {
  if (resume > length_) resume = length_;
  Token t{};
  t.kind = K_ERROR;
  t.type = T_ERROR;
  t.problem = int8_t(problem);
  t.bracket = bracket;
  t.start = start;
  t.end = resume;
  t.body_start = report_from;
  t.body_end = report_end(report_from);
  t.line = line_;
  open_.clear();
  entry_ = S_BETWEEN;
  pos_ = resume;
  word_rest_from_ = NO_REST;
  return t;
}

uint32_t Scanner::report_start_for(int problem, uint32_t fallback) const {
  bool from_opener = problem == T_BLOCK || problem == T_PAREN || is_path_type(problem);
  return from_opener && !open_.empty() ? open_.back().offset : fallback;
}

// The automaton met a byte its token cannot take. Scanning resumes at that byte,
// or past it when it was the token's first.
Token Scanner::fail_in_token(const Run& r) {
  int problem = working_state_problems[r.previous];
  uint32_t start = r.entry == S_POINT ? point_start_ : r.start;
  uint32_t resume = r.stop > r.start ? r.stop : r.start + 1;
  return fail(problem, start, report_start_for(problem, start), resume);
}

// A missing bracket is reported as the one that would put things right: the
// opener when a closer stands alone, else the closer.
Token Scanner::missing(uint8_t type, int problem, char current, uint32_t start,
                       uint32_t report_from, uint32_t resume) {
  char bracket = type == T_BLOCK || type == T_MAP ? (current == ']' ? '[' : ']')
                                                  : (current == ')' ? '(' : ')');
  Token t = is_path_type(type) ? fail(P_BAD_CHAR, start, report_from, resume)
                               : fail(problem, start, report_from, resume, bracket);
  t.aux = type;
  return t;
}

Token Scanner::error_in(const Token& token, int problem) {
  pending_.clear();
  next_pending_ = 0;
  uint32_t resume = pos_ > token.end ? pos_ : token.end;
  return fail(problem, token.start, report_start_for(problem, token.start), resume);
}

uint32_t Scanner::report_end(uint32_t from) const {
  if (from > length_) return length_;
  uint32_t limit = length_ - from > REPORT_BYTES ? from + REPORT_BYTES : length_;
  uint32_t p = from;
  while (p < limit && text_[p] != '\n' && text_[p] != 0) p++;
  if (p == limit && limit < length_)
    while (p > from && (text_[p] & 0xC0) == 0x80) p--;   // do not cut a character
  return p;
}

// ---------------------------------------------------------------------------
// Structure: containers, paths, commas

Token Scanner::end_of_input(const Run& r) {
  if (!open_.empty()) {
    const Container& c = open_.back();
    return missing(c.type, P_MISSING_AT_END, '_', c.offset, c.offset, length_);
  }
  finished_ = true;
  pos_ = length_;
  return token(K_END, 0, r, r.start);
}

Token Scanner::open_container(const Run& r, Kind kind, uint8_t type) {
  uint32_t after = r.stop + 1;
  if (!open_.empty() && open_.back().type == T_POINT2D)
    return fail(T_POINT2D, r.start, open_.back().offset, after);
  open_.push_back(Container{type, 0, false, r.start, 0});
  pos_ = after;
  return token(kind, type, r, after);
}

Token Scanner::close_container(const Run& r, char closer) {
  uint32_t after = r.stop + 1;
  uint8_t closer_type = closer == ']' ? T_BLOCK : T_PAREN;
  if (open_.empty()) return missing(closer_type, P_MISSING, closer, r.stop, r.stop, after);
  const Container c = open_.back();
  bool matches = closer == ']' ? c.type == T_BLOCK || c.type == T_MAP
                               : c.type == T_PAREN || c.type == T_POINT2D;
  if (!matches) return missing(c.type, P_MISSING, closer, r.stop, c.offset, after);
  uint8_t type = c.type == T_POINT2D && c.commas == 2 ? uint8_t(T_POINT3D) : c.type;
  if (type == T_MAP && !options_.prescan && (c.children % 2 != 0 || c.bad_key))
    return fail(T_MAP, c.offset, c.offset, after);
  open_.pop_back();
  pos_ = after;
  Token t = token(closer == ']' ? K_BLOCK_CLOSE : K_PAREN_CLOSE, type, r, after);
  t.aux = c.offset;
  finish_value(type);
  return t;
}

// "(" followed by numbers and a comma starts a point literal, read as one token in
// the point state; any other "(" opens a paren!.
bool Scanner::open_paren_or_point(const Run& r, Token& out) {
  uint32_t from = r.stop + 1;
  bool point = false;
  if (length_ - from > 3) {
    uint32_t p = from;
    while (p < length_ && in_point_set(text_[p])) p++;
    point = p == length_ || text_[p] == ',';
  }
  if (!point) {
    out = open_container(r, K_PAREN_OPEN, T_PAREN);
    return true;
  }
  point_start_ = r.start;
  point_new_line_ = r.new_line;
  entry_ = S_POINT;
  pos_ = from;
  return false;
}

// A comma belongs to a point: it makes the paren it stands in one (x, y), then
// (x, y, z).
Token Scanner::comma(const Run& r) {
  uint32_t after = r.stop + 1;
  Container* c = open_.empty() ? nullptr : &open_.back();
  if (c && c->type == T_PAREN) {
    c->type = T_POINT2D;
    c->commas = 1;
  } else if (c && c->type == T_POINT2D && c->commas < 2) {
    c->commas++;
  } else {
    return fail(c && c->type == T_POINT2D ? T_POINT3D : T_POINT2D, r.start, r.start, after);
  }
  pos_ = after;
  return token(K_COMMA, 0, r, after);
}

// A word followed by "/": the path opens with it as its head, and the elements
// follow in the path-element state.
Token Scanner::open_path(const Run& r) {
  uint8_t first = text_[r.start];
  uint8_t type = first == '\'' ? T_LIT_PATH : first == ':' ? T_GET_PATH : T_PATH;
  Token t = token(K_PATH_OPEN, type, r, r.stop + 1);
  t.body_start = r.start + (type == T_PATH ? 0 : 1);
  t.body_end = r.stop;
  if (!valid_string_text(text_ + t.body_start, text_ + t.body_end, false))
    return fail(T_WORD, r.start, r.start, r.stop);
  open_.push_back(Container{type, 0, false, r.start, 0});
  pos_ = r.stop + 1;
  entry_ = S_PATH_ELEMENT;
  return t;
}

// A value is complete inside the innermost container. In a path, the byte after it
// decides: "/" continues the path, a terminator closes it ("x:" as a set-path),
// anything else breaks it. A closed path is in turn a value of its own container.
void Scanner::finish_value(uint8_t type) {
  while (!open_.empty()) {
    Container& c = open_.back();
    c.children++;
    if (c.type == T_MAP && c.children % 2 == 1 && !map::valid_key_type(type)) c.bad_key = true;
    if (!is_path_type(c.type) || !close_path(&type)) return;
  }
}

// Continues or closes the innermost path at pos_; true when it closed, with *type
// set to the finished path's type.
bool Scanner::close_path(uint8_t* type) {
  const Container c = open_.back();
  uint32_t at = pos_;
  uint8_t byte = at < length_ ? text_[at] : 0;
  if (!is_path_terminator(byte)) {
    if (byte == '/' && at + 1 < length_) {
      pos_ = at + 1;
      entry_ = S_PATH_ELEMENT;
    } else {
      pending_.push_back(fail(T_PATH, at, c.offset, at + 1));
    }
    return false;
  }
  uint8_t path_type = c.type;
  uint32_t end = at;
  if (byte == ':') {
    if (at + 1 < length_ && text_[at + 1] == '/') {
      pending_.push_back(fail(T_PATH, at, c.offset, at + 2));
      return false;
    }
    end = at + 1;
    if (path_type == T_PATH) path_type = T_SET_PATH;
  }
  open_.pop_back();
  pos_ = end;
  entry_ = S_BETWEEN;
  Token t{};
  t.kind = K_PATH_CLOSE;
  t.type = path_type;
  t.start = t.body_start = t.body_end = at;
  t.end = end;
  t.line = line_;
  t.aux = c.offset;
  pending_.push_back(t);
  *type = path_type;
  return true;
}

// ---------------------------------------------------------------------------
// Tokens with a structure of their own: braced strings, constructs, words

// "{" ... "}" with nested braces, one token; the automaton stops at every brace.
Token Scanner::braced_string(const Run& r) {
  uint32_t brace = r.start;
  uint32_t flags = r.flags;
  int depth = 1;
  pos_ = r.stop + 1;
  while (depth > 0) {
    Run in = run(S_BRACED);
    flags |= in.flags;
    if (in.final_state == BRACE_OPEN_STATE) {
      depth++;
    } else if (in.final_state == BRACE_CLOSE_STATE) {
      depth--;
    } else {
      uint32_t resume = in.stop > in.start ? in.stop : in.start + 1;
      return fail(T_STRING, brace, brace, resume);
    }
    pos_ = in.stop + 1;
  }
  Token t = token(K_BRACED_STRING, T_STRING, r, pos_);
  t.flags |= flags;
  t.body_start = brace + 1;
  t.body_end = pos_ - 1;
  if (!valid_string_text(text_ + t.body_start, text_ + t.body_end, true))
    return fail(T_STRING, brace, brace, pos_);
  finish_value(T_STRING);
  return t;
}

// "#(" text ")": a keyword (true, false, none, unset) or a datatype name, which may
// omit its "!" or end early (the first datatype in id order that it begins wins).
Token Scanner::construct(const Run& r) {
  uint32_t after = r.stop + 1;
  std::string_view inside(reinterpret_cast<const char*>(text_ + r.start + 2), r.stop - r.start - 2);
  Token t = token(K_CONSTRUCT, 0, r, after);
  t.body_start = r.start + 2;
  t.body_end = r.stop;
  for (const ConstructWord& w : construct_words) {
    if (equal_ignoring_case(inside, w.text)) {
      t.type = w.type;
      t.aux = w.value;
      break;
    }
  }
  if (t.type == 0) {
    uint8_t id = datatype_named(inside);
    if (id == 0) return fail(P_BAD_CONSTRUCT, r.start, r.start, after);
    t.type = T_DATATYPE;
    t.aux = id;
  }
  pos_ = after;
  finish_value(t.type);
  return t;
}

// A word's type from its colons and quote: ":a" get-word!, "a:" set-word!, "'a"
// lit-word!; any other colon is invalid. Answers the type, or minus the datatype
// of the error.
int Scanner::word_type(uint32_t start, uint32_t end, uint32_t flags) const {
  bool trailing_colon = end - start > 1 && text_[end - 1] == ':';
  if (text_[start] == '\'') return trailing_colon ? -T_LIT_WORD : T_LIT_WORD;
  if (!(flags & F_COLON)) return T_WORD;
  bool leading_colon = text_[start] == ':';
  for (uint32_t p = start + 1; p + 1 < end; p++)
    if (text_[p] == ':') return -T_WORD;
  if (leading_colon && !trailing_colon) return T_GET_WORD;
  if (trailing_colon && !leading_colon) return T_SET_WORD;
  return -T_WORD;
}

// Words end at Unicode blanks as at ASCII blanks: a word made only of them is
// skipped, leading ones are cut off and the word stops before the first inner one
// (scanning resumes there). The walk validates the word's UTF-8.
bool Scanner::word(const Run& r, Token& out) {
  uint32_t start = r.start;
  uint32_t stop = r.stop;
  uint32_t cp;
  while (start < stop && text_[start] >= 0x80) {
    const uint8_t* next = unicode::decode_utf8_char(text_ + start, text_ + stop, &cp);
    if (cp == unicode::INVALID) {
      out = fail(T_WORD, r.start, r.start, stop);
      return true;
    }
    if (!is_unicode_blank(cp)) break;
    start = uint32_t(next - text_);
  }
  if (start == stop) {
    pos_ = stop;
    entry_ = r.entry;
    carried_new_line_ = r.new_line;
    return false;
  }
  uint32_t end = start;
  uint32_t flags = 0;
  while (end < stop) {
    uint8_t b = text_[end];
    if (b < 0x80) {
      flags |= char_classes.entry[b];
      end++;
      continue;
    }
    const uint8_t* next = unicode::decode_utf8_char(text_ + end, text_ + stop, &cp);
    if (cp == unicode::INVALID) {
      out = fail(T_WORD, start, start, stop);
      return true;
    }
    if (is_unicode_blank(cp)) break;
    flags |= char_classes.entry[b];
    end = uint32_t(next - text_);
  }
  // Between tokens the rest scans from its blank's lead byte in the word state,
  // as the cut word did: the same run, from a later start.
  if (end < stop && r.entry == S_BETWEEN) {
    word_rest_ = r;
    word_rest_.start = end;
    word_rest_from_ = end;
  }
  pos_ = end;
  out = token(K_WORD, T_WORD, r, end);
  out.start = out.body_start = start;
  out.flags = (flags & ~CLASS_MASK) | (r.new_line ? TOKEN_NEW_LINE : 0);
  if (!options_.prescan) {
    int type = word_type(start, end, flags);
    if (type < 0) {
      out = fail(-type, start, start, end);
      return true;
    }
    out.type = uint8_t(type);
    if (type == T_LIT_WORD || type == T_GET_WORD) out.body_start++;
    if (type == T_SET_WORD) out.body_end--;
  }
  finish_value(out.type);
  return true;
}

// Every other literal: its extent and body from its shape, then the checks the
// scanner owns (string text, issue form, names in UTF-8, raw-string closing).
Token Scanner::value(const Run& r) {
  Kind kind = Kind(r.final_state);
  Token t = token(kind, final_state_types[kind - FIRST_FINAL], r, r.stop);
  if (kind == K_POINT) {
    t.start = point_start_;
    if (point_new_line_) t.flags |= TOKEN_NEW_LINE;
  }
  Shape shape = shape_of(kind, r.previous);
  if (shape.closed && r.stop < length_) {
    t.end = r.stop + 1;
    t.flags |= char_classes.entry[text_[r.stop]] & ~CLASS_MASK;
  }
  t.body_start = t.start + shape.prefix;
  t.body_end = t.end - shape.suffix;
  if (t.body_end < t.body_start) t.body_end = t.body_start;
  pos_ = t.end;
  switch (kind) {
    case K_RAW_STRING:
      return raw_string(r, t);
    case K_BINARY:
      while (text_[t.body_start] != '{') t.body_start++;   // past the base digits and "#"
      t.body_start++;
      break;
    case K_STRING:
      if (!valid_string_text(text_ + t.body_start, text_ + t.body_end, true))
        return fail(T_STRING, t.start, t.start, t.end);
      break;
    case K_ISSUE:
      if (!options_.prescan && (t.end - t.start < 2 || text_[t.start] != '#'))
        return fail(T_ISSUE, t.start, t.start, t.end);
      [[fallthrough]];
    case K_REFINEMENT:   // names, like words, must be UTF-8
      if (!valid_string_text(text_ + t.body_start, text_ + t.body_end, false))
        return fail(t.type, t.start, t.start, t.end);
      break;
    default:
      break;
  }
  finish_value(t.type);
  return t;
}

// n "%" then "{" open a raw string; "}" and n "%" close it. The automaton ends the
// token at the first "}%" run followed by a delimiter; when that run is shorter
// than n, the string goes on to the first "}" followed by n "%".
Token Scanner::raw_string(const Run& r, Token t) {
  uint32_t n = 0;
  while (text_[r.start + n] == '%') n++;
  uint32_t k = 0;
  while (text_[r.stop - 1 - k] == '%') k++;
  uint32_t close = r.stop - k - 1;
  if (k < n) {
    uint32_t q = r.stop;
    for (; q < length_; q++) {
      if (text_[q] != '}') continue;
      uint32_t run_end = q + 1;
      while (run_end < length_ && run_end - q - 1 < n && text_[run_end] == '%') run_end++;
      if (run_end - q - 1 == n) break;
    }
    if (q >= length_) return fail(T_STRING, r.start, r.start, length_);
    close = q;
    t.end = q + 1 + n;
    for (uint32_t p = r.stop; p < t.end; p++) {
      t.flags |= char_classes.entry[text_[p]] & ~CLASS_MASK;
      if (text_[p] == '\n') line_++;
    }
  }
  t.body_start = r.start + n + 1;
  t.body_end = close;
  pos_ = t.end;
  if (!valid_string_text(text_ + t.body_start, text_ + t.body_end, false))
    return fail(T_STRING, t.start, t.start, t.end);
  finish_value(T_STRING);
  return t;
}

}  // namespace zol::lexer
