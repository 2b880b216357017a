// The path family (path!, lit-path!, set-path!, get-path!) and paren!: blocks that
// evaluate differently. They share the block! cell layout and storage and inherit
// almost every action from block!; what differs is making, conversion and text.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::path {

void init();   // registers path!, lit-path!, set-path! and get-path!

// Re-types the cell as `type` (a path type or paren!) and pushes a copy of it.
Cell* push(Cell* cell, uint8_t type = T_PATH);
// An empty path! of capacity `size` (at least 1) at head 0.
Cell* make_at(Cell* cell, int32_t size);

}  // namespace zol::path

namespace zol::paren {
void init();   // registers paren!
}  // namespace zol::paren
