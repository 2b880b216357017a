// The escape-sequence reader of the console output path: a four-state machine over
// the parameters, the SGR table on the virtual attribute, and the standard
// sequences written for each operation.
#include "runtime/base/ansi.h"

namespace zol::ansi {
namespace {

constexpr char ESC = 27;
constexpr uint32_t NUMBER_MODULUS = 65535;

// ANSI colour index i is the console colour COLOUR_OF[i] (red and blue swapped);
// the table is its own inverse.
constexpr uint16_t COLOUR_OF[8] = {0, 4, 2, 6, 1, 5, 3, 7};

void append_number(std::string& out, uint32_t n) { out += std::to_string(n); }

void csi(std::string& out, uint32_t n, char final) {
  out += "\x1b[";
  append_number(out, n);
  out += final;
}

// Erase regions, each as the standard sequences that cover it. ED 1 and EL 1 also
// clear the cursor's own cell, where the region named stops before it: the nearest
// standard erase.
enum Erase { BELOW_ROW_START, ABOVE_ROW, SCREEN, ROW, TO_ROW_END, ROW_TO_CURSOR };
constexpr const char* ERASE_SEQUENCE[] = {
    "\x1b[2K\x1b[J",   // from column 0 of the cursor's row to the end of the screen
    "\x1b[1J",         // the rows above the cursor's
    "\x1b[2J\x1b[H",   // the whole screen, cursor home
    "\x1b[2K\x1b[G",   // the cursor's row, cursor to its column 0
    "\x1b[K",          // from the cursor to the end of its row
    "\x1b[1K\x1b[G",   // the row up to the cursor, cursor to column 0
};

bool digit(char c) { return c >= '0' && c <= '9'; }
uint32_t accumulate(uint32_t n, char c) { return (n * 10 + uint32_t(c - '0')) % NUMBER_MODULUS; }

// One parse: the text, the position of the next character and the parameters.
struct Parser {
  const char* text;
  size_t size;
  size_t at;
  State& state;
  std::string& out;
  uint32_t first = 0;
  uint32_t second = 0;
  uint16_t attribute;

  bool more() const { return at < size; }
  char next() { return text[at++]; }

  void set_attribute() {
    state.attribute = attribute;
    out += sgr_sequence(attribute);
  }
  void erase(Erase mode) { out += ERASE_SEQUENCE[mode]; }
  void move(char final) {
    if (first != 0) csi(out, first, final);
  }
  // "ESC[?" then a number and h or l is a terminal mode switch, passed through; any
  // other "ESC[?" is dropped and what follows is text.
  size_t private_mode(size_t start) {
    size_t end = at;
    while (end < size && (digit(text[end]) || text[end] == ';')) end++;
    if (end == size) return size;   // cut off
    if (end > at && (text[end] == 'h' || text[end] == 'l')) {
      out.append(text + start, end + 1 - start);
      return end + 1;
    }
    return at;
  }
};

}  // namespace

uint16_t sgr_to_attribute(uint16_t a, uint32_t code) {
  if (code >= 30 && code <= 37) return uint16_t((a & 0xF8) | COLOUR_OF[code - 30]);
  if (code >= 40 && code <= 47) return uint16_t((a & 0x8F) | COLOUR_OF[code - 40] << 4);
  if (code >= 90 && code <= 97)
    return uint16_t((a & 0xF8) | COLOUR_OF[code - 90] | FOREGROUND_INTENSITY);
  if (code >= 100 && code <= 107)
    return uint16_t((a & 0x8F) | COLOUR_OF[code - 100] << 4 | BACKGROUND_INTENSITY);
  switch (code) {
    case 0: return DEFAULT_ATTRIBUTE;
    case 1: return a | FOREGROUND_INTENSITY;
    case 4: return a | UNDERSCORE;
    case 7: return uint16_t(((a & 0xF0) >> 4) | ((a & 0x0F) << 4));
    case 22: return uint16_t(a & ~FOREGROUND_INTENSITY);
    case 39:
      return uint16_t((a & ~(FOREGROUND | FOREGROUND_INTENSITY)) |
                      (DEFAULT_ATTRIBUTE & (FOREGROUND | FOREGROUND_INTENSITY)));
    case 49:
      return uint16_t((a & ~(BACKGROUND | BACKGROUND_INTENSITY)) |
                      (DEFAULT_ATTRIBUTE & (BACKGROUND | BACKGROUND_INTENSITY)));
    default: return a;
  }
}

std::string sgr_sequence(uint16_t attribute) {
  std::string s = "\x1b[0";
  if (attribute != DEFAULT_ATTRIBUTE) {
    if (attribute & UNDERSCORE) s += ";4";
    uint16_t fg = attribute & (FOREGROUND | FOREGROUND_INTENSITY);
    if (fg != (DEFAULT_ATTRIBUTE & (FOREGROUND | FOREGROUND_INTENSITY))) {
      s += ';';
      append_number(s, ((fg & FOREGROUND_INTENSITY) ? 90u : 30u) + COLOUR_OF[fg & FOREGROUND]);
    }
    uint16_t bg = (attribute & (BACKGROUND | BACKGROUND_INTENSITY)) >> 4;
    if (bg != ((DEFAULT_ATTRIBUTE & (BACKGROUND | BACKGROUND_INTENSITY)) >> 4)) {
      s += ';';
      append_number(s, ((bg & 0x08) ? 100u : 40u) + COLOUR_OF[bg & 0x07]);
    }
  }
  return s + "m";
}

size_t parse_escape(const char* text, size_t size, State& state, std::string& out) {
  if (size < 2) return size;                 // the escape character alone: cut off
  if (text[1] != '[') return 0;
  Parser p{text, size, 2, state, out, 0, 0, state.attribute};
  int phase = 1;
  while (p.more()) {
    char c = p.next();
    switch (phase) {
      case 1:
        if (digit(c)) { p.first = uint32_t(c - '0'); phase = 2; continue; }
        switch (c) {
          case ';': continue;
          case 's': out += "\x1b[s"; break;
          case 'u': out += "\x1b[u"; break;
          case 'K': p.erase(TO_ROW_END); break;
          case 'J': p.erase(BELOW_ROW_START); break;
          case 'H': case 'f': out += "\x1b[H"; break;
          case '?': return p.private_mode(0);
          default: break;
        }
        return p.at;
      case 2:
        if (digit(c)) { p.first = accumulate(p.first, c); continue; }
        switch (c) {
          case ';': phase = 3; continue;
          case 'm':
            p.attribute = sgr_to_attribute(p.attribute, p.first);
            p.set_attribute();
            break;
          case 'A': case 'B': case 'C': case 'D': p.move(c); break;
          case 'J':
            if (p.first == 1) p.erase(ABOVE_ROW);
            if (p.first == 2) p.erase(SCREEN);
            break;
          case 'K':
            if (p.first == 1) p.erase(ROW_TO_CURSOR);
            if (p.first == 2) p.erase(ROW);
            break;
          default: break;
        }
        return p.at;
      case 3:
        if (digit(c)) { p.second = uint32_t(c - '0'); phase = 4; continue; }
        if (c == ';') continue;
        return p.at;
      default:
        if (digit(c)) { p.second = accumulate(p.second, c); continue; }
        switch (c) {
          case 'm':
            p.attribute = sgr_to_attribute(sgr_to_attribute(p.attribute, p.first), p.second);
            p.set_attribute();
            break;
          case ';':
            p.attribute = sgr_to_attribute(sgr_to_attribute(p.attribute, p.first), p.second);
            p.first = p.second = 0;
            phase = 1;
            continue;
          case 'H': case 'f':
            // Column first and 0-based here; the terminal takes the row first, from 1.
            out += "\x1b[";
            append_number(out, p.second + 1);
            out += ';';
            append_number(out, p.first + 1);
            out += 'H';
            break;
          default: break;
        }
        return p.at;
    }
  }
  return size;   // the text ends inside the sequence: drop it
}

}  // namespace zol::ansi
