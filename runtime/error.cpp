// fire() and the provisional error! cell (see error.h).
#include "runtime/error.h"

#include "interpreter/stack.h"

namespace zol {
namespace error {

Cell last_args[3] = {{T_NONE, 0, 0, 0}, {T_NONE, 0, 0, 0}, {T_NONE, 0, 0, 0}};
Cell last_where{T_NONE, 0, 0, 0};

Cell create(int category, int id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
  const Cell* args[3] = {arg1, arg2, arg3};
  for (int i = 0; i < 3; i++) last_args[i] = args[i] ? *args[i] : Cell{T_NONE, 0, 0, 0};
  return Cell{T_ERROR, static_cast<uint32_t>(category), static_cast<uint32_t>(id), 0};
}

int category_of(const Cell* e) { return static_cast<int>(e->w1); }
int id_of(const Cell* e) { return static_cast<int>(e->w2); }
int code_of(const Cell* e) { return category_of(e) * 100 + id_of(e) - 2; }

}  // namespace error

void fire(int category, int id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
  Cell e = error::create(category, id, arg1, arg2, arg3);
  stack::throw_error(e);
}

}  // namespace zol
