// What the parts of image! share among themselves: the textual form and the
// change notice every write ends with.
#pragma once
#include <cstdint>

#include "runtime/core/action_types.h"
#include "runtime/core/cell.h"

namespace zol::image {

int form(const Cell* image, Cell* buffer, const Cell* part, int limit);
int mold(const Cell* image, Cell* buffer, const MoldOptions& how, int limit);

// Tells the owner of the image (if it has one) that `count` pixels changed at `at`.
void tell_owner(Cell* image, const Cell* value, int64_t at, int64_t count);

}  // namespace zol::image
