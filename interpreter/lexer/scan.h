// The lexer's scanner: UTF-8 source text in, a sequence of tokens out.
//
// The scanner runs the automaton of tables.h and does the structural work
// around it: blanks, blocks, parens, maps, paths, braced and raw strings with
// their nesting, comments, commas, constructs and point literals, and the form
// checks of words, issues and strings. It makes no values. The loaders that turn
// a token's text into a cell, and the load entry that folds cells into blocks,
// work on top of it from the tokens alone.
//
// Tokens come one at a time from Scanner::next(). Every value token, every opener
// and closer, every comment and comma is one token; a whole braced string, raw
// string or point literal is one token. A path comes as K_PATH_OPEN (which carries
// the head word), its elements as ordinary tokens (a paren element as its own
// opener and closer), then K_PATH_CLOSE.
//
// For the loaders: `kind - FIRST_FINAL` indexes tables kept per final state; a
// token's body is the text to convert, without delimiters or prefixes; its flags
// tell what that text holds (unit_of_flags gives the string unit, F_CARET escapes,
// F_QUOTE ' separators, F_DOT, F_EXPONENT, F_COLON ...); TOKEN_NEW_LINE gives the
// cell its new-line marker; a word's type (set-word!, get-word! ...) is decided
// already; and the scanner has moved past the token, closing delimiters included.
// A loader that finds the text malformed asks error_in() for the error token.
//
// Errors do not unwind: next() returns a K_ERROR token naming the problem, and the
// caller raises it (Scanner::raise) or, when it scans quietly, carries on. After
// an error the scanner is back between tokens at the top level (every open
// container is abandoned) and always moves forward, so a quiet caller cannot loop.
// The input is untrusted: every read is bounded by its length, and offsets are
// 32-bit, so inputs must be shorter than 4 GiB.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "interpreter/lexer/tables.h"

namespace zol::lexer {

// The form of a token. The values below 102 are the automaton's final states, so
// `kind - FIRST_FINAL` indexes tables kept per final state.
enum Kind : uint8_t {
  K_END = 66,          // end of input (or a NUL byte)
  K_ERROR = 67,
  K_BLOCK_OPEN = 68,   // "["; also closes as K_BLOCK_CLOSE
  K_BLOCK_CLOSE = 69,  // "]" closing a block! or a map! (type says which)
  K_PAREN_OPEN = 70,
  K_PAREN_CLOSE = 71,  // ")" closing a paren!, or a paren turned point2D!/point3D! by commas
  K_BRACED_STRING = 73,
  K_MAP_OPEN = 74,     // "#["
  K_PATH_OPEN = 75,    // head word and its "/"; type: path!, lit-path! or get-path!
  K_CONSTRUCT = 76,    // #(...): type and value are in type and aux
  K_COMMENT = 77,
  K_COMMA = 78,
  K_STRING = 79,
  K_WORD = 80,         // type: word!, set-word!, get-word! or lit-word!
  K_ISSUE = 81,
  K_INTEGER = 82,
  K_REFINEMENT = 83,
  K_CHAR = 84,
  K_FILE = 85,
  K_BINARY = 86,
  K_PERCENT = 87,
  K_FLOAT = 88,
  K_SPECIAL_FLOAT = 89,  // 1.#INF, 1.#NaN
  K_TUPLE = 90,
  K_DATE = 91,
  K_PAIR = 92,
  K_POINT = 93,        // "(x, y)" or "(x, y, z)" read as one token
  K_TIME = 94,
  K_MONEY = 95,
  K_TAG = 96,
  K_URL = 97,
  K_EMAIL = 98,
  K_HEX = 99,          // hexadecimal integer ending in h
  K_RAW_STRING = 100,  // %{...}%, %%{...}%% ...
  K_REF = 101,
  K_PATH_CLOSE = 102,  // type: the finished path's type (set-path! when it ended in ":")
};

// Token flag set when a line feed lies between the previous token and this one
// (the loaded value starts a new line). The other flag bits are the class flags
// of tables.h, ORed over the token's own bytes.
constexpr uint32_t TOKEN_NEW_LINE = 0x00020000u;

struct Token {
  Kind kind;
  uint8_t type;         // datatype id the token stands for; 0 for openers, comments, commas
  int8_t problem;       // K_ERROR: a datatype id (an invalid literal of that type) or a Problem
  char bracket;         // K_ERROR with P_MISSING / P_MISSING_AT_END: the bracket to report
  uint32_t start;       // byte offset of the first byte
  uint32_t end;         // byte offset just past the last byte (closing delimiters included)
  // The text a loader converts, without delimiters or prefixes: the characters of
  // a string, the name of a word, the digits of a binary, the coordinates of a
  // point. K_ERROR: body_start is where the reported text starts.
  uint32_t body_start;
  uint32_t body_end;
  uint32_t line;        // line of the first byte; K_ERROR: the line where it was met
  uint32_t flags;       // class flags of the token's bytes, plus TOKEN_NEW_LINE
  // K_CONSTRUCT: 1/0 for logic!, the datatype id for datatype!. Closers (block,
  // paren and path): the offset of their opener. K_ERROR for a missing or
  // mismatched bracket: the type of the container at fault (0 for other errors).
  uint32_t aux;
};

struct Options {
  // Structure only: words and issues are not checked for form, maps not for keys.
  bool prescan = false;
};

class Scanner {
 public:
  Scanner(const uint8_t* text, uint32_t length, Options options = {});

  // The next token; K_END at the end of the input and on every call after it.
  Token next();

  // An error token for a problem a loader finds in `token` (the report's text
  // starts at the token, or at the innermost opener for path, block and paren
  // problems). Like every error it leaves the scanner at the top level.
  Token error_in(const Token& token, int problem);

  // Raises the syntax error of an error token: "(line N)", the datatype or the
  // missing bracket, and up to 30 bytes of the text where the problem lies.
  [[noreturn]] void raise(const Token& error) const;
  // Raises the internal error not-done for a literal whose datatype is not built
  // yet, with the word of the datatype's name, the token's text and "(line N)".
  [[noreturn]] void raise_not_built(const Token& token, uint8_t type) const;

  uint32_t position() const { return pos_; }
  uint32_t line() const { return line_; }
  // Continues from another offset (a trace callback may move the input).
  void seek(uint32_t offset);

  // Open containers (blocks, parens, maps, paths), innermost last.
  size_t depth() const { return open_.size(); }
  uint8_t innermost_type() const { return open_.empty() ? 0 : open_.back().type; }
  bool in_path() const { return entry_ == S_PATH_ELEMENT || next_pending_ < pending_.size(); }

  const uint8_t* text() const { return text_; }
  uint32_t length() const { return length_; }
  // Where the text of an error report that starts at `from` ends: the first line
  // feed, the end of the input or 30 bytes, never inside a UTF-8 sequence.
  uint32_t report_end(uint32_t from) const;

 private:
  struct Container {
    uint8_t type;          // block!, paren!, map!, a path type, or point2D! for a paren
                           // that a comma turned into a point
    uint8_t commas;
    bool bad_key;          // a map! key of a type maps do not take
    uint32_t offset;       // where the opener starts
    uint32_t children;     // values directly inside
  };
  struct Run {             // one pass of the automaton
    uint8_t entry;         // the working state it started in
    uint8_t final_state;
    uint8_t previous;      // the working state before the final one
    bool new_line;
    uint32_t start;        // first byte after the skipped blanks
    uint32_t stop;         // the byte that ended the token (not consumed)
    uint32_t flags;
    uint32_t line;         // line of the first byte
  };

  Run run(uint8_t entry);
  bool dispatch(const Run& r, Token& out);
  Token token(Kind kind, uint8_t type, const Run& r, uint32_t end);
  Token fail(int problem, uint32_t start, uint32_t report_from, uint32_t resume,
             char bracket = 0);
  Token fail_in_token(const Run& r);
  Token missing(uint8_t type, int problem, char current, uint32_t start, uint32_t report_from,
                uint32_t resume);
  uint32_t report_start_for(int problem, uint32_t fallback) const;

  Token open_container(const Run& r, Kind kind, uint8_t type);
  Token close_container(const Run& r, char closer);
  bool open_paren_or_point(const Run& r, Token& out);
  Token end_of_input(const Run& r);
  Token braced_string(const Run& r);
  Token open_path(const Run& r);
  Token construct(const Run& r);
  Token comma(const Run& r);
  bool word(const Run& r, Token& out);
  int word_type(uint32_t start, uint32_t end, uint32_t flags) const;
  Token value(const Run& r);
  Token raw_string(const Run& r, Token t);
  void finish_value(uint8_t type);
  bool close_path(uint8_t* type);

  const uint8_t* text_;
  uint32_t length_;
  Options options_;
  uint32_t pos_ = 0;
  uint32_t line_ = 1;
  uint8_t entry_ = S_BETWEEN;
  bool finished_ = false;
  // A line feed before a run of Unicode blanks that was skipped like blanks.
  bool carried_new_line_ = false;
  // A word cut short at a Unicode blank: the rest, from that blank to the end of
  // the automaton's run, would scan again to the same stop, so the run is kept
  // rather than repeated (repeating it would make a long run of such words cost
  // the square of its length).
  static constexpr uint32_t NO_REST = UINT32_MAX;
  uint32_t word_rest_from_ = NO_REST;
  Run word_rest_{};
  // A point literal's "(" is not a token of its own: the point token starts there.
  uint32_t point_start_ = 0;
  bool point_new_line_ = false;
  std::vector<Container> open_;
  // A path element can finish its path, and that path an enclosing one (or break
  // it): those tokens wait here, in order.
  std::vector<Token> pending_;
  size_t next_pending_ = 0;
};

// The escape after a caret in strings and chars: `p` is just past the "^".
// Answers the bytes it takes (at least 1) and the code point, or -1 when invalid.
int decode_escape(const uint8_t* p, const uint8_t* end, uint32_t* code_point);

// The Unicode characters the lexer treats as blanks around words.
bool is_unicode_blank(uint32_t code_point);

// Whether a string's characters are valid UTF-8 (and, with escapes, every caret
// escape is valid).
bool valid_string_text(const uint8_t* p, const uint8_t* end, bool escapes);

}  // namespace zol::lexer
