// The lexer's tables, built at compile time from readable descriptions: the class
// of every byte from the class rules, and the transition table from one line per
// working state written as "most frequent target, then the classes that go
// elsewhere", e.g. "blank LF ctrl→0; 1-9 0→23" sends blanks, line feeds and
// control characters to state 0 and digits to state 23. A label the builder does
// not know stops the compilation.
#include "interpreter/lexer/tables.h"

#include <string_view>

#include "runtime/core/cell.h"

namespace zol::lexer {
namespace {

constexpr uint32_t class_entry(int b) {
  if (b == 0) return C_END | F_END;
  if (b == '\t' || b == '\r' || b == ' ') return C_BLANK;
  if (b == '\n') return C_LF;
  if (b < 0x20) return C_CONTROL;
  if (b >= '1' && b <= '9') return C_DIGIT;
  if (b >= 0x7F && b <= 0xBF) return C_HIGH;
  if (b == 0xC0 || b == 0xC1 || b >= 0xF8) return C_ILLEGAL;
  if (b >= 0xF0) return C_WORD | F_LEAD_4;
  if (b >= 0xC2) return C_WORD | F_LEAD_2_3;
  switch (b) {
    case '0': return C_ZERO;
    case '[': return C_BLOCK_OPEN;
    case ']': return C_BLOCK_CLOSE;
    case '(': return C_PAREN_OPEN;
    case ')': return C_PAREN_CLOSE;
    case '{': return C_BRACE_OPEN;
    case '}': return C_BRACE_CLOSE;
    case '"': return C_DOUBLE_QUOTE;
    case '#': return C_HASH | F_HASH;
    case '\'': return C_QUOTE | F_QUOTE;
    case ':': return C_COLON | F_COLON;
    case 'x': case 'X': return C_X;
    case 'T': return C_T;
    case 'h': return C_H;
    case 'e': return C_LOWER_E | F_EXPONENT;
    case 'E': return C_UPPER_E | F_EXPONENT;
    case 'a': case 'b': case 'c': case 'd': case 'f': return C_LOWER_HEX;
    case 'A': case 'B': case 'C': case 'D': case 'F': return C_UPPER_HEX;
    case '/': return C_SLASH;
    case '\\': return C_BACKSLASH;
    case '<': return C_LESS | F_LESS;
    case '>': return C_GREATER | F_GREATER;
    case '=': return C_EQUAL;
    case '%': return C_PERCENT | F_PERCENT;
    case ',': return C_COMMA | F_COMMA;
    case ';': return C_SEMICOLON;
    case '@': return C_AT;
    case '.': return C_DOT | F_DOT;
    case '$': return C_DOLLAR;
    case '+': return C_PLUS | F_SIGN;
    case '-': return C_MINUS | F_SIGN;
    case '^': return C_CARET | F_CARET;
    default: return C_WORD;   // the remaining letters and ! & * ? _ ` | ~
  }
}

// The label of each class in the row descriptions, indexed by class number.
constexpr std::string_view class_labels[CLASS_COUNT] = {
    "blank", "LF", "1-9", "0", "[", "]", "(", ")", "{", "}", "\"", "#", "'", ":",
    "x", "T", "h", "e", "E", "a-d/f", "A-D/F", "/", "\\", "<", ">", "=", "%", ",",
    ";", "@", ".", "$", "+", "-", "^", "ctrl", "hi", "word", "bad", "end"};

struct RowText {
  uint8_t fallback;
  const char* others;
};

// One line per working state.
constexpr RowText rows[WORKING_STATES] = {
    /*  0 */ {52, "blank LF ctrl→0; 1-9 0→23; [→68; ]→69; (→70; )→71; {→72; } \\ hi bad→67; "
                  "\"→2; #→16; ' :→51; E A-D/F→40; /→13; <→43; =→58; %→6; ,→78; ;→1; @→57; "
                  ".→49; $→36; + -→47; end→66"},
    /*  1 */ {1, "LF end→77; bad→67"},
    /*  2 */ {2, "LF bad end→67; \"→79; ^→3"},
    /*  3 */ {2, "bad end→67"},
    /*  4 */ {4, "{→72; }→73; ^→5; bad end→67"},
    /*  5 */ {4, "bad end→67"},
    /*  6 */ {7, "blank LF [ ] ( ) } ; @ ctrl end→80; {→10; \"→8; :→54; %→9; bad→67"},
    /*  7 */ {7, "blank LF [ ] ( ) { } : ; @ end→85; \" bad→67"},
    /*  8 */ {8, "LF bad end→67; \"→85"},
    /*  9 */ {7, "blank LF [ ] ( ) } \" \\ ; ctrl end→80; {→10; %→9; bad→67"},
    /* 10 */ {10, "}→11; bad end→67"},
    /* 11 */ {10, "}→11; %→12; bad end→67"},
    /* 12 */ {67, "blank LF [ ] ( ) { \" < ; ctrl end→100; %→12"},
    /* 13 */ {14, "blank LF [ ] ( ) { } \" # ; @ ctrl end→80; :→53; /→15; , bad→67"},
    /* 14 */ {14, "blank LF [ ] ( ) { } \" / ; @ ctrl end→83; : , bad→67"},
    /* 15 */ {52, "blank LF [ ] ( ) { } \" # ; @ ctrl end→80; /→15; % , $ bad→67"},
    /* 16 */ {22, "blank LF ] ) } : < > , bad→67; [→74; (→21; {→17; \"→19; ; @ ctrl end→81"},
    /* 17 */ {67, "blank LF 1-9 0 x T h e E a-d/f A-D/F / = + word→17; }→86; ;→18"},
    /* 18 */ {18, "LF→17; bad end→67"},
    /* 19 */ {19, "\"→84; ^→20; bad end→67"},
    /* 20 */ {19, "bad end→67"},
    /* 21 */ {21, ")→76; bad end→67"},
    /* 22 */ {22, "blank LF [ ] ( ) { } \" ; @ ctrl end→81; : / bad→67"},
    /* 23 */ {82, "1-9 0 '→23; #→16; :→31; x→33; T / -→30; h→42; e→26; E→27; "
                  "a-d/f \\ > = $ + ^ hi word bad→67; A-D/F→39; %→87; @→56; .→24"},
    /* 24 */ {67, "blank LF [ ] ( ) { } \" / < , ; ctrl end→88; 1-9 0 '→25; #→28; x→33; "
                  "e E→26; %→87"},
    /* 25 */ {88, "1-9 0 '→25; # T h a-d/f A-D/F \\ > = $ + - ^ hi word bad→67; x→33; "
                  "e E→26; %→87; @→56; .→29"},
    /* 26 */ {67, "blank LF [ ] ( ) { } \" : / < , ; ctrl end→88; 1-9 0 + -→26; @→56"},
    /* 27 */ {88, "1-9 0→27; # ' x T e a-d/f \\ > = ; $ ^ hi word bad→67; h→42; E A-D/F→40; "
                  "%→87; @→56; .→29; + -→26"},
    /* 28 */ {89, "1-9→88; # ' : % @ $ ^ bad→67; x T h e E a-d/f A-D/F > = . + - hi word→28"},
    /* 29 */ {67, "blank LF [ ] ( ) { } \" : / < ; ctrl end→90; 1-9 0 .→29"},
    /* 30 */ {30, "blank LF [ ] ( ) { } \" < ; $ ctrl end→91; % , @ ^ hi bad→67"},
    /* 31 */ {67, "1-9 0→32"},
    /* 32 */ {67, "blank LF [ ] ( ) { } \" / < ; ctrl end→94; 1-9 0 : .→32"},
    /* 33 */ {67, "1-9 0 + -→34; @→56"},
    /* 34 */ {67, "blank LF [ ] ( ) { } \" : / < ; ctrl end→92; 1-9 0 e E .→34; @→56"},
    /* 35 */ {67, "blank 1-9 0 ] # e E a-d/f A-D/F , . + - word→35; )→93"},
    /* 36 */ {67, "1-9 0→37"},
    /* 37 */ {67, "blank LF [ ] ( ) { } \" # : / < ; ctrl end→95; 1-9 0 '→37; .→38"},
    /* 38 */ {67, "blank LF [ ] ( ) { } \" # : / < ; ctrl end→95; 1-9 0 '→38"},
    /* 39 */ {67, "1-9 0 E A-D/F→39; h→41; @→56"},
    /* 40 */ {80, "1-9 0 E A-D/F→40; ' x T e a-d/f < > = . + - ^ hi word→52; :→53; h→41; "
                  "/→75; % , bad→67; @→56; $→37"},
    /* 41 */ {52, "blank LF [ ] ( ) { } \" \\ ; ctrl end→99; # % , bad→67; :→53; /→75; "
                  "@→56; $→37"},
    /* 42 */ {67, "blank LF [ ] ( ) { } \" \\ < ; ctrl end→99; /→75; @→56; $→37"},
    /* 43 */ {44, "blank LF [ ] ( ) { } \" ; ctrl end→80; '→46; :→53; <→43; > = -→52; bad→67"},
    /* 44 */ {44, "\"→45; '→46; >→96; bad end→67"},
    /* 45 */ {45, "\"→44; bad end→67"},
    /* 46 */ {46, "'→44; bad end→67"},
    /* 47 */ {52, "blank LF [ ] ( ) { } \" # \\ ; ctrl end→80; 1-9 0→23; ' % ^ bad→67; "
                  "/→75; .→49; $→37"},
    /* 48 */ {52, "blank LF [ ] ( ) { } \" # \\ ; ctrl end→80; ' % $ ^ bad→67; /→75"},
    /* 49 */ {52, "blank LF [ ] ( ) { } \" # \\ ; ctrl end→80; 1-9 0 + -→50; :→53; /→75; "
                  "% , $ bad→67; @→56"},
    /* 50 */ {67, "blank LF [ ] ( ) { } \" : / < ctrl end→88; 1-9 0 e E + -→50; x→33; %→87; "
                  "@→56"},
    /* 51 */ {67, "x T h e E a-d/f A-D/F > . ^ hi word→52; /→13; <→43; =→58; %→54; + -→48"},
    /* 52 */ {52, "blank LF [ ] ( ) { } \" # \\ < ; ctrl end→80; :→53; /→75; % , bad→67; "
                  "@→56; $→36"},
    /* 53 */ {55, "blank LF [ ] ( ) { } \" \\ ; ctrl end→80; < bad→67"},
    /* 54 */ {67, "blank LF [ ] ( ) { } \\ ; ctrl end→80; %→54"},
    /* 55 */ {55, "blank LF [ ] ( ) { } \" \\ < ; ctrl end→97; > ^ bad→67"},
    /* 56 */ {98, "1-9 0 x T h e E a-d/f A-D/F % . + - hi word→56; # ' : > = , @ $ ^ bad→67"},
    /* 57 */ {57, "blank LF [ ] ( ) { } \" < ; ctrl end→101; # ' \\ > = , @ $ ^ bad→67"},
    /* 58 */ {52, "blank LF [ ] ( ) { } \" : \\ ; ctrl end→80; # % , @ $ bad→67; /→75"},
    /* 59 */ {67, "1-9 0→60; (→70; )→71; \"→2; #→63; ' :→61; "
                  "x T h e E a-d/f A-D/F > = . hi word→62; <→43; @→57; $→36; + -→64"},
    /* 60 */ {67, "blank LF [ ] ( ) { } \" : / < ; ctrl end→82; 1-9 0 '→60; x→33; e E→26; "
                  "%→87; @→56; .→24"},
    /* 61 */ {67, "x T h e E a-d/f A-D/F < > = . + - hi word→62"},
    /* 62 */ {62, "blank LF [ ] ( ) { } \" : / \\ ; ctrl end→80; # % , bad→67; @→56; $→36"},
    /* 63 */ {22, "blank LF ] ( ) { } : / < > = , ; @ ctrl bad end→67; [→21; \"→19"},
    /* 64 */ {80, "1-9 0→60; # ' < % , ^ bad→67; x T h e E a-d/f A-D/F > = . hi word→62; "
                  "@→56; $→36; + -→64"},
};

constexpr std::string_view ARROW = "→";

constexpr int class_of_label(std::string_view label) {
  for (int c = 0; c < CLASS_COUNT; c++)
    if (class_labels[c] == label) return c;
  throw "unknown class label in a transition row";
}

constexpr int parse_target(std::string_view digits) {
  int n = 0;
  for (char ch : digits) {
    if (ch == ';') break;
    if (ch < '0' || ch > '9') throw "malformed target in a transition row";
    n = n * 10 + (ch - '0');
  }
  if (n == 65 || n > LAST_FINAL) throw "target out of range in a transition row";
  return n;
}

// Fills one row: labels pile up until a word carrying the arrow, whose target
// then applies to every label since the previous target.
constexpr void parse_row(std::string_view text, uint8_t row[CLASS_COUNT]) {
  int pending[CLASS_COUNT] = {};
  int n_pending = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t space = text.find(' ', at);
    std::string_view word = text.substr(at, space == std::string_view::npos ? text.npos : space - at);
    at = space == std::string_view::npos ? text.size() : space + 1;
    if (word.empty()) continue;
    size_t arrow = word.find(ARROW);
    if (arrow == std::string_view::npos) {
      pending[n_pending++] = class_of_label(word);
      continue;
    }
    pending[n_pending++] = class_of_label(word.substr(0, arrow));
    int target = parse_target(word.substr(arrow + ARROW.size()));
    for (int i = 0; i < n_pending; i++) row[pending[i]] = static_cast<uint8_t>(target);
    n_pending = 0;
  }
  if (n_pending != 0) throw "labels without a target in a transition row";
}

constexpr TransitionTable build_transitions() {
  TransitionTable t{};
  for (int s = 0; s < WORKING_STATES; s++) {
    for (int c = 0; c < CLASS_COUNT; c++) t.next[s][c] = rows[s].fallback;
    parse_row(rows[s].others, t.next[s]);
  }
  return t;
}

constexpr ClassTable build_classes() {
  ClassTable t{};
  for (int b = 0; b < 256; b++) t.entry[b] = class_entry(b);
  return t;
}

}  // namespace

constexpr ClassTable char_classes = build_classes();
constexpr TransitionTable transitions = build_transitions();

// A working state's problem is the datatype of the form being read there.
constexpr int8_t BAD = P_BAD_CHAR;              // no form yet
constexpr int8_t CONSTRUCT = P_BAD_CONSTRUCT;   // inside #( ... )
constexpr int8_t working_state_problems[WORKING_STATES] = {
    /*  0 */ BAD, BAD, T_STRING, T_STRING, T_STRING, T_STRING,
    /*  6 */ T_FILE, T_FILE, T_FILE, T_FILE, T_STRING, T_STRING, T_STRING,
    /* 13 */ T_REFINEMENT, T_REFINEMENT, T_WORD, T_ISSUE, T_BINARY, T_BINARY, T_CHAR, T_CHAR,
    /* 21 */ CONSTRUCT, T_ISSUE, T_INTEGER, T_FLOAT, T_FLOAT, T_FLOAT, T_FLOAT, T_FLOAT,
    /* 29 */ T_TUPLE, T_DATE, T_TIME, T_TIME, T_PAIR, T_PAIR, T_POINT2D,
    /* 36 */ T_MONEY, T_MONEY, T_MONEY, T_INTEGER, T_WORD, T_WORD, T_INTEGER,
    /* 43 */ T_TAG, T_TAG, T_TAG, T_TAG, T_WORD, T_WORD, T_WORD, T_FLOAT,
    /* 51 */ T_WORD, T_WORD, T_WORD, T_WORD, T_URL, T_EMAIL, T_REF, T_WORD,
    /* 59 */ T_PATH, T_INTEGER, T_WORD, T_WORD, T_ISSUE, T_WORD,
};

constexpr uint8_t final_state_types[LAST_FINAL - FIRST_FINAL + 1] = {
    /* 66 end of input */ 0, /* 67 error */ T_ERROR,
    /* 68-72 [ ] ( ) { */ 0, 0, 0, 0, 0, /* 73 } */ T_STRING,
    /* 74-78 #[ path-head/ #(...) ;comment , */ 0, 0, 0, 0, 0,
    /* 79 */ T_STRING, T_WORD, T_ISSUE, T_INTEGER, T_REFINEMENT, T_CHAR, T_FILE, T_BINARY,
    /* 87 */ T_PERCENT, T_FLOAT, T_FLOAT, T_TUPLE, T_DATE, T_PAIR, T_POINT2D, T_TIME,
    /* 95 */ T_MONEY, T_TAG, T_URL, T_EMAIL, T_INTEGER, T_STRING, T_REF,
};

}  // namespace zol::lexer
