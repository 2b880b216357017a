// The natives that work on keyed collections: extend.
#include "interpreter/natives/natives_internal.h"
#include "runtime/core/error.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/map.h"

namespace zol::natives {

// A map takes the spec's pairs (the later value of a key wins). Extending an object
// is not built yet and says so.
void extend(int, int case_) {
  Cell target = *stack::arguments;
  Cell spec = stack::arguments[1];
  if (!target.is(T_MAP)) fire(err::internal::NOT_DONE);
  map::extend(&target, &spec, case_ >= 0);
  stack::set_last(&target);
}

}  // namespace zol::natives
