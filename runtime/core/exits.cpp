// Raising exits (see exits.h for the rules).
#include "runtime/core/exits.h"

namespace zol::exits {

Cell value{T_UNSET, 0, 0, 0};
uint32_t pending = 0;

void raise(uint32_t code) { throw Unwind{code}; }

void raise_with(uint32_t code, const Cell& carried) {
  value = carried;
  throw Unwind{code};
}

}  // namespace zol::exits
