// time!: a duration or a time of day in seconds, a child of float!.
//
// Cell: word 0 the header (type time!), words 2-3 the seconds as a double, low
// word first, as float! keeps it; word 1 unused. The value is signed, not bounded
// by a day, and keeps fractions of a second. date! shares the text form and the
// hour/minute/second fields for its own time of day.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::time {

void init();

double get(const Cell* c);
Cell* make_at(Cell* c, double seconds);
Cell* push(double seconds);
Cell* box(double seconds);            // into the current frame's first argument cell
void make_in(NodeRef block, double seconds);

// The fields a path or pick names, 1-based; NO_FIELD for a word that names none.
enum Field : int { NO_FIELD = -1, HOUR = 1, MINUTE = 2, SECOND = 3 };
Field field_index(uint32_t symbol);

int32_t get_hours(double seconds);    // whole hours, truncated toward zero
int32_t get_minutes(double seconds);  // minute within the hour of the magnitude
// The value of a field as a cell (integer! hour and minute, float! second).
Cell field_value(double seconds, Field field);
// The seconds after setting a field; false when the value's type does not fit it.
bool set_field(double* seconds, Field field, const Cell* value);

// Appends the text form ("1:02:03", "-0:00:00.5") and answers the part limit left.
int form_text(double seconds, Cell* buffer, int limit);

[[noreturn]] void fire_cannot_make(const Cell* value);

}  // namespace zol::time
