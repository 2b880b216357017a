// Indentation, repeat fill and the cycle-detection stack (see mold.h).
#include "runtime/mold.h"

#include <cstring>

#include "runtime/datatypes/string.h"
#include "runtime/error.h"
#include "runtime/system.h"

namespace zol {

int mold::indent(Cell* out, int n, int part) {
  for (int i = 0; i < n; i++) string::concatenate_literal(out, "    ");
  return part - 4 * n;
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

void init() {
  if (!base) base = static_cast<NodeRef*>(system::allocate(sizeof(NodeRef) * CAPACITY));
  top = base;
  limit = base + CAPACITY;
}

void push(NodeRef node) {
  if (!base) init();
  *top++ = node;
  if (top >= limit) {
    reset();
    fire(err::INTERNAL, err::internal::TOO_DEEP);
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
