// float!: the IEEE 754 double, and the float arithmetic, comparison and rounding
// that integer!, percent! and time! go through.
//
// Cell: word 2 the low and word 3 the high half of the double; word 1 unused.
// percent! and time! keep their double the same way, so every accessor here
// works on any of the three.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/numeric/floattext.h"
#include "runtime/numeric/rounding.h"
#include "runtime/core/number_scan.h"

namespace zol::float_ {

void init();

// Switches of the system object's float options: pretty printing shortens the
// form text of binary fractions and tiny values (on at start); full support
// changes nothing yet (off at start).
extern bool pretty_print;
extern bool full_support;

// Installed by the lexer: its check that bytes form a float token (text to float!
// needs it), and the loading of a string's text into `result`, answering the
// first value: none when the lexer stopped before the end, unset when nothing
// loaded (text to percent! needs it). Until then such text raises feature-na.
extern number::FloatTokenCheck token_check;
extern Cell* (*load_string)(const Cell* string, Cell* result);

// The comparison tolerance and the pretty-print threshold: 2^-52.
constexpr double TOLERANCE = 0x1p-52;

// --- cells ------------------------------------------------------------------------------

inline double get(const Cell* c) { return cell::get_double(c); }
// A cell of a double-holding type (float!, percent!, time!).
Cell* make_at(Cell* c, double value, uint8_t type = T_FLOAT);
Cell* make_at_halves(Cell* c, uint32_t low, uint32_t high, uint8_t type = T_FLOAT);
Cell* push(double value, uint8_t type = T_FLOAT);
Cell* push64(uint32_t low, uint32_t high, uint8_t type = T_FLOAT);
void make_in(NodeRef block, uint32_t low, uint32_t high, uint8_t type = T_FLOAT);
// The current frame's first argument cell becomes the result.
Cell* box(double value, uint8_t type = T_FLOAT);

// The double of the two halves with its sign bit cleared.
double abs(uint32_t low, uint32_t high);
bool nan_q(double d);             // exponent all ones, fraction not zero
bool float32_nan_q(float f);
bool special_q(double d);         // an infinity or NaN

// Tolerant equality: never with a NaN; equal when a = b, when |a - b| < 2^-52, or
// when the two are at most 10 units in the last place apart.
bool almost_equal(double a, double b);
// The same for 32-bit coordinates: at most 10 units apart, and near the largest
// single only with the same sign and patterns less than 0x100000 apart.
bool float32_almost_equal(float a, float b);

// --- text -------------------------------------------------------------------------------

// The form text of a number of the given kind under the current pretty-print
// switch, in a static buffer that the next call overwrites.
const char* form_decimal(double value, float_text::DecimalKind kind);
// Appends that text to a string and answers the part limit left.
int append_form(Cell* buffer, double value, float_text::DecimalKind kind, int limit);

// --- arithmetic -------------------------------------------------------------------------

// One operation on two doubles for op codes 0-4 (IEEE results: a division by zero
// gives an infinity or NaN); any other op raises script cannot-use.
double math_op(double left, double right, int op);
// The math actions on the frame's two arguments (the left a float!, percent!,
// time! or integer!); the result, typed by the operands, replaces the first.
void do_math(int op);
// The power action on the frame's arguments: a float-typed base and an integer! or
// float! exponent; the result keeps the base's type.
void power();
// The frame's exponent argument of power; anything but an integer! or float! raises
// expect-arg naming it.
const Cell* exponent_arg();

// The compare action: 0 equal, -1 or 1 for order, -2 not comparable. equal? and
// not-equal? are tolerant, strict-equal? exact, same? compares the bit patterns.
int compare(const Cell* a, const Cell* b, int op);

// The round action on a float-typed value (integer! hands over here when its
// scale is not an integer!). `scale` is the /to argument or null.
Cell* round(Cell* value, const Cell* scale, rounding::Mode mode);

}  // namespace zol::float_
