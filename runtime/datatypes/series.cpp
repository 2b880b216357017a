// series!: the abstract parent datatype of every series type. No value has this
// type; its row is what the series types inherit, and no action is shared yet.
#include "runtime/datatype.h"
#include "runtime/values.h"

namespace zol::series {

void init() { datatype::register_type(T_SERIES, 0, "series!", datatype::make_row(nullptr, {})); }

}  // namespace zol::series
