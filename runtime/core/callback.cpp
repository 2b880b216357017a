// The entry of callbacks into Zol functions (see callback.h).
#include "runtime/core/callback.h"

namespace zol::interpreter {

void (*call_function)(const Cell*, NodeRef, const Cell*, int) = nullptr;
Cell (*do_block_hook)(const Cell*) = nullptr;
Cell (*near_position_hook)() = nullptr;
void (*error_raised_hook)(Cell*) = nullptr;

}  // namespace zol::interpreter
