// percent!: its text and its registration as a child of float! (see percent.h).
#include "runtime/datatypes/float/percent.h"

#include "runtime/core/action_types.h"

namespace zol::percent {
namespace {

// The fraction times 100 in the percent layout ("50%", "12.5%", "1e18%"); a
// percent text never gets ".0".
int form(const Cell* value, Cell* buffer, const Cell*, int limit) {
  return float_::append_form(buffer, get(value) * 100.0, float_text::KIND_PERCENT, limit);
}

int mold(const Cell* value, Cell* buffer, const MoldOptions& how, int limit) {
  return form(value, buffer, how.part, limit);
}

}  // namespace

void init() {
  datatype::register_type(
      T_PERCENT, T_FLOAT, "percent!",
      datatype::make_row(INHERIT, {slot_entry<A_FORM>(form), slot_entry<A_MOLD>(mold)}));
}

}  // namespace zol::percent
