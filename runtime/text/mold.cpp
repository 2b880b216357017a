// Indentation, character escapes, repeat fill and the cycle-detection stack (see
// mold.h).
#include "runtime/text/mold.h"

#include <cstring>

#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/base/system.h"

namespace zol {

int mold::indent(Cell* out, int n, int part) {
  for (int i = 0; i < n; i++) string::concatenate_literal(out, "    ");
  return part - 4 * n;
}

namespace {
// The letter after the caret for the code points below 95 that have one. 0x1E is
// absent: its letter would be "^" itself, so it is always written in hex.
constexpr char CARET_LETTERS[95] = {
    '@', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '-', '/', 'K', 'L', 'M', 'N', 'O',
    'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z', '[', '\\', ']', 0, '_',
    0, 0, '"', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '^',
};
constexpr uint32_t DEL = 0x7F;
}  // namespace

void mold::append_escaped_char(Cell* out, uint32_t cp, int mode, bool all) {
  if (cp == 0x1E || (cp >= 0x80 && cp <= 0x9F) || (all && cp > DEL)) {
    string::concatenate_literal(out, "^(");
    string::concatenate_literal(out, string::to_hex(static_cast<int32_t>(cp), true));
    string::concatenate_literal(out, ")");
    return;
  }
  if (mode == ESCAPE_MOLD) {
    char letter = cp < sizeof CARET_LETTERS ? CARET_LETTERS[cp] : cp == DEL ? '~' : 0;
    if (letter) {
      char escape[3] = {'^', letter, 0};
      string::concatenate_literal(out, escape);
      return;
    }
  }
  string::append_char(memory::buffer_of(series_cell::node(out)), cp);
}

uint8_t* runtime::fill_repeat(uint8_t* buffer, size_t chunk, size_t count) {
  size_t total = chunk * count;
  if (total == 0) return buffer;
  size_t filled = chunk;
  while (total - filled >= filled) {
    std::memcpy(buffer + filled, buffer, filled);
    filled *= 2;
  }
  if (filled < total) std::memcpy(buffer + filled, buffer, total - filled);
  return buffer + total;
}

namespace cycles {
namespace {
NodeRef* base = nullptr;
NodeRef* top = nullptr;
NodeRef* limit = nullptr;
}  // namespace

// Start-up after a cleanup allocates anew: the cleanup freed the old stack.
void init() {
  base = static_cast<NodeRef*>(system::allocate(sizeof(NodeRef) * CAPACITY));
  top = base;
  limit = base + CAPACITY;
}

void push(NodeRef node) {
  if (!base) init();
  *top++ = node;
  if (top >= limit) {
    reset();
    fire(err::internal::TOO_DEEP);
  }
}

void pop() {
  if (top > base) top--;
}

void pop_n(int n) {
  top -= n;
  if (top < base) top = base;
}

void reset() { top = base; }

bool find(NodeRef node) {
  for (NodeRef* p = base; p < top; p++)
    if (*p == node) return true;
  return false;
}

int depth() { return static_cast<int>(top - base); }

void remap(NodeRef (*map)(NodeRef)) {
  for (NodeRef* p = base; p < top; p++) *p = map(*p);
}

bool detect(const Cell* value, Cell* out, int* part, bool mold_mode) {
  uint8_t t = value->type();
  NodeRef node = t == T_OBJECT ? value->w1 : value->w2;
  if (!find(node)) return false;
  const char* text = "...";
  if (mold_mode) {
    switch (t) {
      case T_BLOCK: case T_HASH: text = "[...]"; break;
      case T_PAREN: text = "(...)"; break;
      case T_MAP: text = "#[...]"; break;
      case T_OBJECT: text = "make object! [...]"; break;
      default: text = "..."; break;
    }
  }
  string::concatenate_literal(out, text);
  *part -= static_cast<int>(std::strlen(text));
  return true;
}

}  // namespace cycles
}  // namespace zol
