// Terminal colours: the 32-bit colour values screen cells hold, the mapping of
// tuple colours onto what the terminal can show, and the SGR text of each value.
//
// A terminal colour value keeps its kind in bits 24-31:
//   0  the terminal's default colour
//   1  a sixteen-colour palette entry, index in the low bits: 0-7 the normal
//      colours, 8 a full reset, 9 the default, 10-17 the bright colours
//   2  a 256-colour index in bits 0-7
//   4  true colour: R in bits 16-23, G in 8-15, B in 0-7
// Any other kind is written as a full reset.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zol::view::colors {

enum Kind : uint32_t { DEFAULT = 0, PALETTE = 1, INDEXED = 2, TRUE_COLOR = 4 };

constexpr uint32_t make(Kind kind, uint32_t low) { return uint32_t(kind) << 24 | (low & 0xFFFFFFu); }
constexpr Kind kind_of(uint32_t value) { return Kind(value >> 24); }

// Colour support levels: what the terminal is asked to show.
enum Level : int { SIXTEEN = 1, INDEXED_256 = 2, TRUE_COLOUR = 4 };

// The level the environment announces: true colour when COLORTERM says
// "truecolor" or "24bit", 256 colours when COLORTERM or TERM contains "256",
// else sixteen colours.
int support_level(std::string_view colorterm, std::string_view term);

struct Rgb {
  uint8_t r, g, b;
};
// Entry i of the 256-colour table (the sixteen base colours, the 6x6x6 cube, the
// grey ramp).
Rgb table_entry(int i);

// The 256-colour index nearest a colour: a cube entry, or the grey ramp's when
// that is as near or nearer.
int index_256(Rgb c);
// The palette index (0-7, 10-17) of the first sixteen table entries nearest it.
int palette_16(Rgb c);

// A tuple's colour as a terminal colour value at a support level. Alpha 255 (fully
// transparent) is the default colour; `true_colour` (image pixels) keeps the exact
// colour when the level allows it.
uint32_t from_rgba(Rgb c, uint8_t alpha, int level, bool true_colour = false);

// Whether writing the value resets every attribute and both colours ("0").
bool resets_all(uint32_t value);

// Appends the SGR sequence that selects the value as foreground or background.
void append_sgr(std::string& out, uint32_t value, bool background);

}  // namespace zol::view::colors
