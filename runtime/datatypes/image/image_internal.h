// What the parts of image! share among themselves: the textual form and the
// change notice every write ends with.
#pragma once
#include <cstdint>

#include "runtime/core/action_types.h"
#include "runtime/core/cell.h"
#include "runtime/datatypes/series/series.h"

namespace zol::image {

int form(const Cell* image, Cell* buffer, const Cell* part, int limit);
int mold(const Cell* image, Cell* buffer, const MoldOptions& how, int limit);

// Tells the owner of the image (if it has one), after the write, that `count`
// pixels changed at `at`: E_CHANGE from the change action, E_POKE from poke and
// the channel writes.
void tell_owner(Cell* image, series::Edit edit, const Cell* value, int64_t at, int64_t count);

}  // namespace zol::image
