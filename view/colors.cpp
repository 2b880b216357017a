// Terminal colours (see colors.h): the table, the nearest-entry searches and the
// SGR text.
#include "view/colors.h"


namespace zol::view::colors {
namespace {

constexpr Rgb BASE_16[16] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};
constexpr uint8_t CUBE_LEVELS[6] = {0, 95, 135, 175, 215, 255};

int cube_level(int v) {
  if (v < 48) return 0;
  if (v < 115) return 1;
  return (v - 35) / 40;
}

int distance(Rgb a, Rgb b) {
  int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
  return dr * dr + dg * dg + db * db;
}

// Palette entry strings, background then foreground, by index 0-17.
const char* palette_code(uint32_t index, bool background) {
  static const char* const BG[18] = {"40", "41", "42", "43", "44", "45", "46", "47", "0",
                                     "49", "100", "101", "102", "103", "104", "105", "106", "107"};
  static const char* const FG[18] = {"30", "31", "32", "33", "34", "35", "36", "37", "0",
                                     "39", "90", "91", "92", "93", "94", "95", "96", "97"};
  if (index > 17) return "0";
  return background ? BG[index] : FG[index];
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

int support_level(std::string_view colorterm, std::string_view term) {
  if (contains(colorterm, "truecolor") || contains(colorterm, "24bit")) return TRUE_COLOUR;
  if (contains(colorterm, "256") || contains(term, "256")) return INDEXED_256;
  return SIXTEEN;
}

Rgb table_entry(int i) {
  if (i < 16) return BASE_16[i];
  if (i < 232) {
    int n = i - 16;
    return {CUBE_LEVELS[n / 36], CUBE_LEVELS[n / 6 % 6], CUBE_LEVELS[n % 6]};
  }
  uint8_t grey = uint8_t(8 + 10 * (i - 232));
  return {grey, grey, grey};
}

int index_256(Rgb c) {
  int cube = 16 + 36 * cube_level(c.r) + 6 * cube_level(c.g) + cube_level(c.b);
  int average = (c.r + c.g + c.b) / 3;
  // Averages below 3 would give a negative step: they take the darkest grey.
  int step = average > 238 ? 23 : average < 3 ? 0 : (average - 3) / 10;
  int grey = 232 + step;
  return distance(table_entry(cube), c) < distance(table_entry(grey), c) ? cube : grey;
}

int palette_16(Rgb c) {
  int best = 0;
  for (int i = 1; i < 16; i++)
    if (distance(BASE_16[i], c) < distance(BASE_16[best], c)) best = i;
  return best < 8 ? best : best + 2;
}

uint32_t from_rgba(Rgb c, uint8_t alpha, int level, bool true_colour) {
  if (alpha == 255) return make(DEFAULT, 0);
  if (true_colour && level == TRUE_COLOUR)
    return make(TRUE_COLOR, uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
  if (level == SIXTEEN) return make(PALETTE, uint32_t(palette_16(c)));
  return make(INDEXED, uint32_t(index_256(c)));
}

bool resets_all(uint32_t value) {
  switch (kind_of(value)) {
    case DEFAULT: case INDEXED: case TRUE_COLOR: return false;
    case PALETTE: {
      uint32_t index = value & 0xFFFFFFu;
      return index == 8 || index > 17;
    }
    default: return true;
  }
}

namespace {

// Decimal digits of 0-255 without snprintf: a frame writes tens of thousands.
void append_byte(std::string& out, uint32_t v) {
  if (v >= 100) out += char('0' + v / 100);
  if (v >= 10) out += char('0' + v / 10 % 10);
  out += char('0' + v % 10);
}

}  // namespace

void append_sgr(std::string& out, uint32_t value, bool background) {
  out += "\033[";
  switch (kind_of(value)) {
    case DEFAULT: out += background ? "49" : "39"; break;
    case PALETTE: out += palette_code(value & 0xFFFFFFu, background); break;
    case INDEXED:
      out += background ? "48;5;" : "38;5;";
      append_byte(out, value & 0xFFu);
      break;
    case TRUE_COLOR:
      out += background ? "48;2;" : "38;2;";
      append_byte(out, value >> 16 & 0xFFu);
      out += ';';
      append_byte(out, value >> 8 & 0xFFu);
      out += ';';
      append_byte(out, value & 0xFFu);
      break;
    default: out += '0';
  }
  out += 'm';
}

}  // namespace zol::view::colors
