// string! as a datatype: comparing text, its molded and formed text, and the
// action implementations that file!, url!, tag!, email! and ref! inherit or build
// on. Storage and the editing primitives are in string.h.
//
// Implementations answer in the cell of their first argument (the frame's result
// cell when an action entry calls them) or answer the shared none, as the block
// actions do. Every edit is announced to the owner of an owned string before and
// after it happens; the owner's handler may edit the string, so positions are
// read again afterwards.
#pragma once
#include <cstdint>

#include "runtime/core/action_types.h"
#include "runtime/core/cell.h"

namespace zol::string {

// Registers string!; called by init() once the scratch area exists.
void register_type();

// --- reading text ---------------------------------------------------------------------

// The characters of a text from its head, read in place. The address stays valid
// while nothing grows that buffer (a collection neither moves nor frees it while
// a view on the native stack points into it).
struct Text {
  const uint8_t* at;
  uint32_t unit;
  int32_t length;
  uint32_t operator[](int32_t i) const;
};
// A string-family cell (or binary!) from its clipped head; a word-family cell or a
// symbol! record by its spelling.
Text view(const Cell* c);

// A code point as case-insensitive comparison sees it (its upper case), or itself
// when comparing exactly.
uint32_t fold(uint32_t cp, bool exact);

// --- comparison ---------------------------------------------------------------------

// Orders the texts of two string-family cells, symbol! records or word-family
// cells (their spelling) from their heads under a comparison code: 0 equal, -1 the
// first sorts before the second, 1 after it or not equal. Codes 2 and 8 compare
// exactly, the others fold case. In match mode only the second's length of the
// first is compared (a prefix test: an empty second matches except under code 12).
int equal(const Cell* a, const Cell* b, int op, bool match);
// The compare action: -2 for a second value of another type, except a
// string-family value under equal? and not-equal?.
int compare(const Cell* a, const Cell* b, int op);

// Tests at the string's head (the parse engine's matching): a string-family value
// as a prefix, a char! as the head character, a tag! as "<" text ">"; other values
// never match. Code 2 compares exactly, the others fold case.
bool match_value(const Cell* s, const Cell* value, int op);
// The head character is "<" and the one after the tag's length is ">".
bool tag_delimited(const Cell* s, const Cell* tag);
// Membership of a code point in a bitset! (bit n is byte n >> 3, mask 128 >> (n & 7));
// past the bitset's bytes the complement flag answers.
bool bitset_has(const Cell* bitset, uint32_t cp);
// The head character of the string is in the bitset (false at the tail).
bool char_in_bitset(const Cell* s, const Cell* bitset);

// --- text -------------------------------------------------------------------------------

// form: the text from the head, at most `limit` characters when a /part argument
// is given; answers the budget left.
int form(const Cell* s, Cell* out, const Cell* part_arg, int limit);
// mold: the text between double quotes or braces with caret escapes (see
// string/mold.cpp); answers the budget left.
int mold(const Cell* s, Cell* out, const MoldOptions& how, int limit);

// --- actions others build on -----------------------------------------------------------

// to: the conversion of any value into a new string, typed `type`.
Cell* to(Cell* proto, Cell* spec, int type);
// find and select (/only does not apply to text).
Cell* select(Cell* s, const Cell* value, const FindOptions& how);
Cell* find(Cell* s, const Cell* value, const FindOptions& how);
// change: replaces `part` characters from the head (-1: as many as are written)
// with the value, `dup` times; answers the series after the change.
Cell* change(Cell* s, Cell* value, int32_t part, bool only, int32_t dup);
// The path step of string!: an integer! picks or pokes, another selector selects,
// or when setting, pokes the character after its match.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path);

Cell* sort(Cell* s, const SortOptions& how);
Cell* trim(Cell* s, const TrimOptions& how);

// The set operations (unique, union, intersect, exclude, difference by op code) on
// the frame's two strings (one for unique), record by record of /skip characters;
// the new string! replaces the first argument.
void do_set_op(bool case_, const Cell* skip, int op);

}  // namespace zol::string
