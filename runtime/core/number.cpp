// Checked conversions from doubles to 32-bit integers (see number.h).
#include "runtime/core/number.h"

#include "runtime/core/error.h"

namespace zol::number {

bool fits_int32(double d) { return d >= -2147483648.0 && d <= 2147483647.0; }

bool truncate_to_int32(double d, int32_t* out) {
  if (!fits_int32(d)) return false;
  *out = static_cast<int32_t>(d);
  return true;
}

int32_t get_int_from(const Cell* value) {
  if (!holds_double(value->type())) return cell::get_int(value);
  int32_t n;
  if (!truncate_to_int32(cell::get_double(value), &n))
    fire(err::script::OUT_OF_RANGE, value);
  return n;
}

}  // namespace zol::number
