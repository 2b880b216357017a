// Runtime start-up order (see runtime.h). Services that do not exist yet join the
// sequence at their place as they are built.
#include "runtime/runtime.h"

#include "interpreter/stack.h"
#include "runtime/collector.h"
#include "runtime/datatype.h"
#include "runtime/extref.h"
#include "runtime/memory.h"
#include "runtime/mold.h"
#include "runtime/random.h"
#include "runtime/system.h"
#include "runtime/values.h"

namespace zol::runtime {

NodeRef root_block = 0;
namespace {
bool initialized = false;

void register_datatypes() {
  datatype::reset();
  datatype::init();
  unset::init();
  none::init();
  logic::init();
}

void append_block_ref(NodeRef block, NodeRef series) {
  Cell* c = memory::alloc_tail_cell(block);
  cell::set(c, T_BLOCK, 0, series, 0);
}
}  // namespace

void init() {
  if (initialized) return;
  random::init();
  memory::init();
  extref::init();
  register_datatypes();
  memory::new_node_frame(NODE_FRAME_CAPACITY);
  memory::new_series_frame();
  root_block = memory::alloc_cells(ROOT_BLOCK_CELLS);
  stack::init();
  append_block_ref(root_block, stack::value_stack_node);
  cycles::init();
  collector::init();
  collector::enabled = 1;
  initialized = true;
}

void cleanup() {
  collector::enabled = 0;
  memory::free_all_frames();
  system::free_all();
  root_block = 0;
  initialized = false;
}

bool is_initialized() { return initialized; }

}  // namespace zol::runtime
