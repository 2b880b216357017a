// series!: the abstract parent of every series type, and the helpers its actions
// share with the block and string actions.
//
// A series cell holds its head index in units (word 1), the node of its buffer
// (word 2) and a per-type word 3 (the hash table of a hash!). The shared actions
// work on raw units of the buffer, whatever their width (1, 2 or 4 bytes of text,
// 16-byte cells), so every series type inherits them.
//
// Every in-place edit is announced to the owner of an owned series before and
// after it happens (`editing` / `edited`). The owner's handler runs Zol code that
// may grow, move, shorten or collect the series: after `editing` returns, every
// buffer address and position must be read again.
#pragma once
#include <cstdint>

#include "runtime/core/action_types.h"
#include "runtime/core/cell.h"
#include "runtime/core/words.h"
#include "runtime/memory/memory.h"
#include "runtime/numeric/sort.h"

namespace zol::series {

inline SeriesBuffer* buffer(const Cell* s) { return memory::buffer_of(series_cell::node(s)); }

inline bool is_any_string(uint8_t t) {
  return t == T_STRING || t == T_FILE || t == T_URL || t == T_TAG || t == T_EMAIL || t == T_REF;
}
bool is_series(uint8_t t);   // any-block, any-string, binary!, vector!, image!

// Units from the buffer's first used unit to its tail.
int32_t buffer_length(const Cell* s);
// The head clipped into [0, buffer length].
int32_t head_index(const Cell* s);
bool at_tail(const Cell* s);
// The unit `index` names in pick/poke numbering (1 is the head, -1 the unit before
// it, 0 none), or -1 when it lies outside the series.
int32_t element_position(const Cell* s, int32_t index);
// Advances the head by n units when that does not pass the tail; answers whether
// the head is then at or past the tail.
bool get_position(Cell* s, int32_t n);
// The head at/skip give for an integer! index (anything else raises invalid-arg),
// clipped into [0, buffer length]. `at` counts index 1 (and 0) as the head.
int32_t get_offset(const Cell* s, const Cell* index, bool at);
// Units from the head (or the buffer start) to the tail; a head past the tail is
// moved back to it.
int32_t get_length(Cell* s, bool from_start);

// A run of units: [start, start + count) of the buffer.
struct Range {
  int32_t start, count;
};
// The units a count selects at `head`: a count of zero or more takes that many from
// the head, at most `available`; a negative one as many of the units before the
// head as it names, clipped at the buffer start. Any 32-bit count is safe, the most
// negative included.
Range counted_at(int32_t head, int32_t count, int32_t available);

// The count a /part argument gives against the series: an integer!, or a position
// in the same series (its head minus the series head). Another series raises
// invalid-refine-arg naming the refinement.
int32_t part_count(const Cell* s, const Cell* part, uint32_t refinement = words::part);
[[noreturn]] void fire_refine_arg(uint32_t refinement, const Cell* value);

// A new buffer for `units` units of the source's unit (at least one unit of room).
NodeRef new_like(const Cell* source, int32_t units);
// The element stored at `at` as a value: the cell of an any-block, an integer! for
// a binary! byte, a char! for text.
Cell element_at(const Cell* s, const uint8_t* at);

// Layout edits that keep a hash! table in step. cut removes `count` units at
// `index`. open_gap opens `count` units at `index` (growing the buffer, to twice
// the needed size when double_room) and answers their address; the caller fills
// them and, for a hash!, enters them, or rebuilds the table when *rebuild is set.
void cut(const Cell* s, int32_t index, int32_t count);
uint8_t* open_gap(Cell* s, int32_t index, int32_t count, bool double_room, bool* rebuild);
// open_gap at the tail of a series without a hash table (room doubled when it
// grows): nothing to move, nothing to re-index. Inline, as appending one value is
// the commonest edit; grow_tail makes the room and answers the new buffer.
SeriesBuffer* grow_tail(const Cell* s, int32_t count);
inline uint8_t* open_tail(Cell* s, int32_t count) {
  SeriesBuffer* b = buffer(s);
  uint32_t bytes = uint32_t(count) * b->unit();
  if (b->size - b->tail < bytes) b = grow_tail(s, count);
  uint8_t* at = b->tail_ptr();
  b->tail += bytes;
  return at;
}

// The shared take and copy on raw units. take_units answers in s the taken units
// as a new series of the same type with /part, else the element (the shared none
// when nothing is left); copy_units answers the units /part selects (all from the
// head without it) as a new series of the source's type and new-line flag.
Cell* take_units(Cell* s, const Cell* part, bool last);
Cell copy_units(const Cell* s, const Cell* part);

// --- find and select, shared by blocks and text -------------------------------------

// The /skip step of a search: 1 without it; not an integer! raises
// invalid-refine-arg, a size below 1 out-of-range.
int32_t search_step(const Cell* skip);

// The positions a search visits, in units from the buffer start: forward from
// `from` while at most `limit` (the last unit a match may start at), or backwards
// from `from` down to 0, `step` units at a time.
struct Walk {
  int32_t head;   // the series head, clipped
  int32_t limit;
  int32_t step;
  int32_t from;
  bool backwards;
};

// Plans the search for a match `span` units long under /part, /skip, /last and
// /reverse. With `fit_part` a match must end inside the /part range, else only start
// inside it. Answers false when nothing can match: an empty series, a head at the
// tail searched forwards, an empty range, no room before the head. A bad /skip or
// /part raises.
bool plan_search(const Cell* s, const Cell* part, const Cell* skip, bool last, bool reverse,
                 int32_t span, bool fit_part, Walk* walk);

// The first position of the walk that `accept` takes, or -1; with `match_only` only
// the first position is tried.
template <class Accept>
int32_t walk_search(const Walk& w, bool match_only, Accept accept) {
  // Widened: a /skip step near the largest count would overflow the position.
  for (int64_t pos = w.from; w.backwards ? pos >= 0 : pos <= w.limit;
       pos += w.backwards ? -w.step : w.step) {
    if (accept(int32_t(pos))) return int32_t(pos);
    if (match_only) break;
  }
  return -1;
}

// --- sort and the set operations, shared by blocks and text ------------------------------

// From the head to the tail, or /part of it (a negative count: the units before
// the head).
Range sort_range(const Cell* s, const Cell* part);

// How records are ordered: `size` units each, compared at `offset` or whole (/all),
// or by a Zol function named `name` in its calls.
struct SortRecords {
  int32_t size = 1;
  int32_t offset = 0;
  bool all = false;
  const Cell* function = nullptr;
  Cell name;
};
// Reads /skip, /compare and /all for a sort over `count` units: /all or a field
// without /skip (or a field with /all) raise bad-refines; a /skip that does not
// divide the count and a /compare that is neither a function! nor an integer!
// raise invalid-refine-arg; a field outside the record out-of-range.
SortRecords sort_records(const Cell* skip, const Cell* compare, bool all, int32_t count);

// Raises the error of a sort the engine could not run (script size-limit when its
// buffer would be too large, internal no-memory when it could not be had).
void check_sort(zol::sort::Outcome outcome);

// Calls a Zol comparator with the two values in that order and answers its result.
// Without an interpreter it raises internal feature-na.
Cell call_comparator(const SortRecords& records, const Cell* first, const Cell* second);

// One run of the sort engine over a range: `records` records of `record_bytes`,
// ordered by `compare`, which gets `order` as its first context; stable runs merge.
struct SortRun {
  int32_t records;
  size_t record_bytes;
  bool stable;
  zol::sort::Comparator compare;
  const void* order;
};
// Runs the engine over the range in place or, `on_copy` (a Zol comparator may grow,
// move or empty the series meanwhile), over a private copy written back afterwards
// over whatever the series then holds. Block and string sort share it.
void run_sort(Cell* s, Range range, const SortRun& run, bool on_copy);

// The frame of every sort: the range, the records /skip, /compare and /all give,
// and the owner's notices before and after. `body` sorts the settled range, whole
// records only, re-read after the owner's handler had its chance to edit.
using SortBody = void (*)(Cell* s, Range range, const SortRecords& records,
                          const SortOptions& how);
Cell* sort_series(Cell* s, const SortOptions& how, SortBody body);

// The operands of a set operation on the frame (the second is the first again for
// unique), their heads clipped, and the record size /skip gives: 1 without it;
// anything but an integer! of at least 1 raises invalid-refine-arg.
struct SetOperands {
  Cell first, second;
  int32_t step;
};
SetOperands set_operands(const Cell* skip, int op);

// The path step of an integer! element: pick, or poke when a value is given.
Cell* index_step(Cell* parent, Cell* element, Cell* value);

// Change notification around an in-place edit.
enum Edit : int {
  E_APPEND, E_INSERT, E_CHANGE, E_CLEAR, E_POKE, E_REMOVE, E_REVERSE, E_TAKE, E_MOVE,
  E_PUT, E_SORT, E_SWAP, E_TRIM, E_RANDOM,
};
// Whether the series' buffer is owned, so that its edits are announced.
inline bool owned(const Cell* s) {
  NodeRef node = series_cell::node(s);
  return node && (memory::buffer_of(node)->flags & FLAG_OWNED) != 0;
}
// Tells the owner of an owned series; the test stays inline because almost no
// series is owned and every edit asks.
bool tell_editing(Cell* s, Edit edit, const Cell* value, int32_t index, int32_t part);
inline bool editing(Cell* s, Edit edit, const Cell* value, int32_t index, int32_t part) {
  return owned(s) && tell_editing(s, edit, value, index, part);
}
void edited(Cell* s, Edit edit, const Cell* value, int32_t index, int32_t part);

}  // namespace zol::series
