// What the collector's files share: which words of a cell refer to nodes, the
// marking primitives, and the phases of a cycle that live in their own files
// (stack_scan.cpp scans the native stack, compact.cpp moves nodes and
// buffers).
#pragma once
#include <array>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace zol::collector::detail {

// How a cell word that refers to something is followed.
enum class Follow : uint8_t {
  NONE,
  NODE,     // a series: marked, and its cells too when its unit is 16
  TABLE,    // a hash table: marked, then handed to the hash-table engine's hook
  EXTREF,   // an index into the external-reference table
};

struct Layout {
  Follow w1, w2, w3;
};

constexpr uint32_t HEADER_CONTEXT_ON_STACK = 0x400000u;  // context!: values on the stack
constexpr uint32_t HEADER_EVENT_HAS_BLOCK = 0x1000u;     // event!: word 2 is a block
constexpr int HEADER_OP_KIND_SHIFT = 16;                 // op!: type of the wrapped code

// The words each datatype's cell uses for references; the conditional ones are
// settled in for_each_reference.
constexpr std::array<Layout, 256> make_layouts() {
  std::array<Layout, 256> t{};
  constexpr Follow N = Follow::NODE, T = Follow::TABLE, X = Follow::EXTREF, _ = Follow::NONE;
  for (uint8_t id : {T_BLOCK, T_PAREN, T_PATH, T_LIT_PATH, T_SET_PATH, T_GET_PATH, T_BITSET,
                     T_VECTOR, T_BINARY, T_IMAGE, T_EVENT})
    t[id] = {_, N, _};
  for (uint8_t id : {T_STRING, T_FILE, T_URL, T_TAG, T_EMAIL, T_REF, T_SYMBOL}) t[id] = {_, N, N};
  t[T_CONTEXT] = {T, N, _};
  for (uint8_t id : {T_WORD, T_SET_WORD, T_LIT_WORD, T_GET_WORD, T_REFINEMENT}) t[id] = {N, _, _};
  t[T_NATIVE] = t[T_ACTION] = {_, N, N};
  t[T_OP] = t[T_FUNCTION] = t[T_ROUTINE] = {N, N, N};
  t[T_OBJECT] = t[T_ERROR] = t[T_PORT] = {N, _, N};
  t[T_HASH] = t[T_MAP] = {_, N, T};
  t[T_HANDLE] = {_, _, X};
  return t;
}
inline constexpr std::array<Layout, 256> LAYOUTS = make_layouts();

// Whether a datatype's cell may refer to anything: most cells of a big block are
// scalars, and one byte tells so.
constexpr std::array<bool, 256> make_refers() {
  std::array<bool, 256> t{};
  for (size_t i = 0; i < t.size(); i++)
    t[i] = LAYOUTS[i].w1 != Follow::NONE || LAYOUTS[i].w2 != Follow::NONE ||
           LAYOUTS[i].w3 != Follow::NONE;
  return t;
}
inline constexpr std::array<bool, 256> REFERS = make_refers();

// Calls fn(word, follow) for each reference word of the cell. `container_flags`
// are the flags of the buffer holding the cell (0 elsewhere): a context record
// marked as keeping its values on the stack has no values block to follow.
template <class CellT, class Fn>
inline void for_each_reference(CellT* c, uint32_t container_flags, Fn&& fn) {
  uint8_t type = c->type();
  if (!REFERS[type]) return;
  Layout l = LAYOUTS[type];
  if (type == T_CONTEXT &&
      ((c->header & HEADER_CONTEXT_ON_STACK) || (container_flags & FLAG_STACK_CONTEXT)))
    l.w2 = Follow::NONE;
  if (type == T_OP) {
    uint8_t kind = static_cast<uint8_t>(c->header >> HEADER_OP_KIND_SHIFT);
    if (kind != T_FUNCTION && kind != T_ROUTINE) l.w1 = Follow::NONE;
  }
  if (type == T_EVENT && !(c->header & HEADER_EVENT_HAS_BLOCK)) l.w2 = Follow::NONE;
  if (l.w1 != Follow::NONE) fn(c->w1, l.w1);
  if (l.w2 != Follow::NONE) fn(c->w2, l.w2);
  if (l.w3 != Follow::NONE) fn(c->w3, l.w3);
}

// Marking. `pin` keeps the node in place (its holder is outside the cells the
// collector rewrites). Cells of newly marked 16-byte-unit buffers are queued;
// drain() walks the queue.
bool mark_ref(NodeRef ref, bool pin);
void mark_cells(const Cell* first, const Cell* end, uint32_t container_flags, bool pin);
// A buffer found through a pointer on the native stack: marked, and pinned when it
// lives in a series frame.
void mark_found_buffer(SeriesBuffer* b, bool pin);
void drain();
bool frame_pinned(uint32_t frame_number);

// Phases.
void scan_native_stack();
// Moves the live nodes of sparse node frames (of every frame when `all`) and
// rewrites every reference to them. Answers whether any node moved.
bool move_nodes(bool all);
// Slides live buffers down (evacuates every movable one when `all`), frees dead
// buffers' nodes and empty frames.
void compact_series_frames(bool all);
// Rewrites the node words of the root cells that the collector itself walks.
void rewrite_root_cells(NodeRef (*forward)(NodeRef));

}  // namespace zol::collector::detail
