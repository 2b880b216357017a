// Shared services of the printers and walkers of nested values: indentation of
// molded blocks, the caret escapes of molded characters, repeat fill, and the
// cycle-detection stack that keeps form, mold, compare, deep copy and ownership
// walks from looping on a series that contains itself.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol {

namespace mold {
// Appends n times four spaces; returns part - 4n.
int indent(Cell* out, int n, int part);

// The escaping mode of molded text: control characters, the double quote, the
// caret and DEL get their caret letter (^/ for a line feed, ^- for a tab, ^" ...).
constexpr int ESCAPE_MOLD = 0xFD;
// Appends one code point to a string as mold writes it: 0x1E, 0x80-0x9F and, with
// `all`, everything above 0x7F as "^(" hex digits ")"; then, in ESCAPE_MOLD, the
// caret letters; anything else as itself.
void append_escaped_char(Cell* out, uint32_t cp, int mode, bool all);
}  // namespace mold

namespace runtime {
// The first `chunk` bytes of buffer are the chunk; fills chunk * count bytes with
// copies of it by doubling. Returns the address past the filled area.
uint8_t* fill_repeat(uint8_t* buffer, size_t chunk, size_t count);
}  // namespace runtime

// The cycle-detection stack holds the nodes (context nodes for objects) of the
// series being walked, innermost last.
namespace cycles {
constexpr int CAPACITY = 1000;

void init();
void push(NodeRef node);          // raises internal too-deep when it fills up
void pop();
void pop_n(int n);
void reset();
bool find(NodeRef node);
int depth();
// After the collector moved nodes: replaces every entry through `map`.
void remap(NodeRef (*map)(NodeRef));
// When the value's series is being walked, appends its placeholder ("[...]",
// "(...)", "#[...]", "make object! [...]", "..." for paths, "..." for everything in
// form mode), lowers *part by its length and answers true.
bool detect(const Cell* value, Cell* out, int* part, bool mold_mode);
}  // namespace cycles

}  // namespace zol
