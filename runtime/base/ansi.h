// ANSI escape emulation: the console output path reads the escape sequences of
// printed text into a 16-bit virtual text attribute and cursor operations, and
// writes the terminal's own standard sequences for them.
//
// Scripts and the terminal user-interface code emit a small dialect: at most two
// numeric parameters, the final letters A B C D H f J K m s u, and "H"/"f" with the
// column first, both 0-based. Keeping the attribute as the console's 16 bits (the
// colour a sequence builds on is what earlier sequences set) gives every SGR code
// the same meaning whatever the terminal; the result is then rebuilt as standard
// SGR, CUP, ED and EL sequences.
//
// Attribute bits: 0x07 foreground colour (blue 1, green 2, red 4), 0x08 foreground
// intensity, 0x70 background colour, 0x80 background intensity, 0x8000 underscore.
// The default attribute 0x07 stands for the terminal's own colours.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace zol::ansi {

constexpr uint16_t FOREGROUND = 0x07;
constexpr uint16_t FOREGROUND_INTENSITY = 0x08;
constexpr uint16_t BACKGROUND = 0x70;
constexpr uint16_t BACKGROUND_INTENSITY = 0x80;
constexpr uint16_t UNDERSCORE = 0x8000;
constexpr uint16_t DEFAULT_ATTRIBUTE = 0x07;

// What survives between sequences: the attribute the terminal shows.
struct State {
  uint16_t attribute = DEFAULT_ATTRIBUTE;
};

// The attribute after one SGR code.
uint16_t sgr_to_attribute(uint16_t attribute, uint32_t code);

// The standard sequence that shows `attribute`: "ESC[0m" for the default, else a
// reset followed by what differs from it.
std::string sgr_sequence(uint16_t attribute);

// Parses the sequence at text[0] (the escape character) within `size` bytes,
// appends the terminal's sequence for it to `out` and answers the bytes it
// consumed: 0 when the text there is no sequence taken here (the caller writes the
// escape character as text). A sequence cut off by the end of the text is
// consumed whole and does nothing.
size_t parse_escape(const char* text, size_t size, State& state, std::string& out);

}  // namespace zol::ansi
