// The lexer's automaton: character classes, the transition table and what each
// state means.
//
// Every input byte maps to one of 40 classes. A class entry is 32 bits: the class
// number in the low byte, and in the upper bits flags that the scanner ORs over
// all bytes of a token, so that a token's flags tell at once whether it holds a
// colon, a quote, a caret escape, a multi-byte UTF-8 sequence and so on.
//
// States 0-64 are working states; reaching a state of 66 or more ends a token
// (the final state names the token's form, see lexer::Kind). State 65 is never
// produced.
#pragma once
#include <cstdint>

namespace zol::lexer {

enum CharClass : uint8_t {
  C_BLANK, C_LF, C_DIGIT, C_ZERO, C_BLOCK_OPEN, C_BLOCK_CLOSE, C_PAREN_OPEN, C_PAREN_CLOSE,
  C_BRACE_OPEN, C_BRACE_CLOSE, C_DOUBLE_QUOTE, C_HASH, C_QUOTE, C_COLON, C_X, C_T, C_H,
  C_LOWER_E, C_UPPER_E, C_LOWER_HEX, C_UPPER_HEX, C_SLASH, C_BACKSLASH, C_LESS, C_GREATER,
  C_EQUAL, C_PERCENT, C_COMMA, C_SEMICOLON, C_AT, C_DOT, C_DOLLAR, C_PLUS, C_MINUS, C_CARET,
  C_CONTROL, C_HIGH, C_WORD, C_ILLEGAL, C_END,
};
constexpr int CLASS_COUNT = 40;

// Flag bits of a class entry (and of a token's flags).
constexpr uint32_t CLASS_MASK = 0xFFu;
constexpr uint32_t F_GREATER = 0x00080000u;
constexpr uint32_t F_PERCENT = 0x00040000u;
constexpr uint32_t F_LESS = 0x00100000u;
constexpr uint32_t F_SIGN = 0x00200000u;
constexpr uint32_t F_END = 0x00400000u;
constexpr uint32_t F_HASH = 0x00800000u;
constexpr uint32_t F_EXPONENT = 0x01000000u;
constexpr uint32_t F_QUOTE = 0x02000000u;
constexpr uint32_t F_COLON = 0x04000000u;
constexpr uint32_t F_COMMA = 0x08000000u;
constexpr uint32_t F_DOT = 0x10000000u;
constexpr uint32_t F_CARET = 0x20000000u;
constexpr uint32_t F_LEAD_2_3 = 0x40000000u;   // a lead byte of a 2- or 3-byte sequence
constexpr uint32_t F_LEAD_4 = 0x80000000u;     // a lead byte of a 4-byte sequence

// The widest string unit (1, 2 or 4 bytes) the flags of a token call for.
constexpr uint32_t unit_of_flags(uint32_t flags) {
  uint32_t unit = 1u << (flags >> 30);
  return unit > 4 ? 4 : unit;
}

constexpr int WORKING_STATES = 65;
constexpr int FIRST_FINAL = 66;
constexpr int LAST_FINAL = 101;

// Working states a scanner chooses as the start of the next token.
enum EntryState : uint8_t {
  S_BETWEEN = 0,      // between tokens: blanks are skipped
  S_BRACED = 4,       // inside a braced string
  S_POINT = 35,       // inside a point literal, after "("
  S_PATH_ELEMENT = 59 // a path element follows, after "/"
};

struct ClassTable {
  uint32_t entry[256];
};
struct TransitionTable {
  uint8_t next[WORKING_STATES][CLASS_COUNT];
};
extern const ClassTable char_classes;
extern const TransitionTable transitions;

// Errors that name no datatype.
enum Problem : int8_t {
  P_BAD_CHAR = -1,
  P_BAD_CONSTRUCT = -2,
  P_MISSING = -3,          // a closer without its opener, or of the wrong kind
  P_MISSING_AT_END = -4,   // the input ends inside an open block, paren or map
};

// What an error met in a working state reports: the datatype id of the token being
// read, or a Problem.
extern const int8_t working_state_problems[WORKING_STATES];

// The datatype id of the token each final state ends (0 for structural tokens).
extern const uint8_t final_state_types[LAST_FINAL - FIRST_FINAL + 1];

}  // namespace zol::lexer
