// The native that reads the clock: `now` (the date case of `difference` is among
// the set natives).
#include <cstdlib>

#include "interpreter/natives/natives.h"
#include "interpreter/natives/natives_internal.h"
#include "platform/clock.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/date/date.h"

namespace zol::natives {
namespace {

bool used(int refinement) { return refinement >= 0; }

// The current date with its time of day, local with its zone or universal.
Cell current_date(bool universal, bool precise) {
  platform::WallClock clock = platform::read_wall_clock(universal);
  int32_t offset = clock.offset_seconds;
  uint32_t zone = date::zone_bits(std::abs(offset) / 3600, std::abs(offset) % 3600 / 60,
                                  offset < 0);
  double seconds = clock.hour * 3600.0 + clock.minute * 60.0 + clock.second;
  if (precise) seconds += clock.nanoseconds * 1e-9;
  Cell c;
  date::make_at(&c, clock.year, clock.month, clock.day, seconds, zone, true);
  double stored = date::stored_time(&c);
  int32_t days = date::normalize_time(date::to_days(date::packed(&c)), &stored, zone);
  return *date::make_packed(&c, date::from_days(days, zone, true), stored);
}

}  // namespace

void now(int, int year, int month, int day, int time, int zone, int date_, int weekday,
         int yearday, int precise, int utc) {
  const int selectors[] = {year, month, day, time, zone, date_, weekday, yearday, precise};
  int selected = 0;
  for (int r : selectors) selected += used(r);
  if (selected >= 2 && !(used(time) && used(precise))) fire(err::script::BAD_REFINES);
  Cell result = current_date(used(utc), used(precise));
  if (used(date_)) {
    date::make_packed(&result, date::packed(&result) & ~date::HAS_TIME, 0.0);
  } else {
    const struct {
      int refinement;
      date::Field field;
    } fields[] = {{year, date::F_YEAR},       {month, date::F_MONTH}, {day, date::F_DAY},
                  {zone, date::F_ZONE},       {time, date::F_TIME},   {weekday, date::F_WEEKDAY},
                  {yearday, date::F_YEARDAY}};
    for (const auto& f : fields)
      if (used(f.refinement)) result = date::field_value(&result, f.field);
  }
  *stack::arguments = result;
}

}  // namespace zol::natives
