// The parse engine's leaf operations: whether one rule value matches at the
// input's position and how many units it covers, a literal repeated without
// frames, and the forward search of `to` and `thru`.
//
// Every function takes the input as a series cell whose head is the position, and
// `end`, the absolute index at which the input counts as ended (its tail or the
// /part limit). Units are cells for any-block input, characters for any-string
// input and bytes for binary! input.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::parse {

enum class InputKind { BLOCK, TEXT, BYTES };
InputKind kind_of(const Cell& input);

// The units a literal rule value covers at the head, or -1 when it does not match.
// At the end only an empty string!, file! or url! matches text input (covering 0).
int32_t match_literal(const Cell& input, int32_t end, const Cell& value, bool exact);

// A datatype! or typeset! rule: the units the value at the head covers when its
// type is in the rule, else -1. Text input raises parse-unsupported; binary! input
// is scanned for one value.
int32_t match_type(const Cell& input, int32_t end, const Cell& rule);

// Matches a literal again and again from the head, at most `max` times (-1: no
// bound), moving the head past what matched; answers the number of matches.
int32_t repeat_literal(Cell& input, int32_t end, const Cell& value, bool exact, int32_t max);

// The first place at or after the head where a literal matches, as an absolute
// index and the units the match covers; `at` is -1 when there is none.
struct Found {
  int32_t at;
  int32_t length;
};
Found search_literal(const Cell& input, int32_t end, const Cell& value, bool exact);

// Absolute index of the next word `|` of a rule block at or after `from`, or -1.
int32_t next_alternative(const Cell& rules, int32_t from);

}  // namespace zol::parse
