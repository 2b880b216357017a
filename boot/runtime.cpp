// Runtime start-up order (see runtime.h). Services that do not exist yet join the
// sequence at their place as they are built.
#include "boot/runtime.h"

#include "boot/boot.h"
#include "console/line_editor.h"
#include "view/event.h"
#include "view/routines.h"
#include "platform/platform.h"
#include "runtime/core/actions.h"
#include "interpreter/interpreter.h"
#include "interpreter/lexer/load.h"
#include "interpreter/natives/natives.h"
#include "library/routines.h"
#include "runtime/core/stack.h"
#include "runtime/text/casefold.h"
#include "runtime/collector/collector.h"
#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/binary/binary.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/float/float.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/hash.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/money/money.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/port/port.h"
#include "runtime/datatypes/path.h"
#include "runtime/datatypes/float/percent.h"
#include "runtime/datatypes/date/date.h"
#include "runtime/datatypes/time/time.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/tag.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/http.h"
#include "runtime/datatypes/simple_io.h"
#include "runtime/datatypes/vector.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/extref.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/memory/memory.h"
#include "runtime/text/mold.h"
#include "runtime/core/ownership.h"
#include "runtime/core/random.h"
#include "runtime/core/symbol.h"
#include "runtime/base/system.h"
#include "runtime/text/unicode.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"

namespace zol::runtime {

namespace {

// Datatypes whose modules are not built yet still take their id, parent and name,
// so that every id from datatype! to image! has its name word. A module registered
// above takes precedence: its entry is left alone.
struct Reserved {
  uint8_t id;
  uint8_t parent;
  const char* name;
};
constexpr Reserved UNBUILT[] = {
    {T_BINARY, T_SERIES, "binary!"}, {T_BITSET, 0, "bitset!"},   {T_TRIPLE, 0, "triple!"},
    {T_PAIR, 0, "pair!"},
    {T_TUPLE, 0, "tuple!"},          {T_TIME, 0, "time!"},       {T_HANDLE, 0, "handle!"},
    {T_DATE, 0, "date!"},            {T_PORT, T_OBJECT, "port!"}, {T_MONEY, 0, "money!"},
    {T_POINT2D, 0, "point2D!"},      {T_POINT3D, 0, "point3D!"}, {T_IMAGE, T_SERIES, "image!"},
};

void reserve_unbuilt() {
  for (const Reserved& r : UNBUILT)
    if (!datatype::info(r.id).registered)
      datatype::register_type(r.id, r.parent, r.name, datatype::make_row(nullptr, {}));
}

void register_datatypes() {
  datatype::reset();
  datatype::init();
  unset::init();
  none::init();
  logic::init();
  series::init();
  block::init();
  string::init();
  binary::init();
  bitset::init();
  integer::init();
  symbol::init();
  context::init();
  word::init();
  char_::init();
  native::init();
  path::init();
  function::init();
  routine::init();
  paren::init();
  issue::init();
  url::init();
  file::init();
  simple_io::install();
  http::install();
  object::init();
  float_::init();
  typeset::init();
  error::init();
  port::init();
  hash::init();
  map::init();
  vector::init();
  percent::init();
  time::init();
  date::init();
  money::init();
  tag::init();
  email::init();
  ref::init();
  pair::init();
  tuple::init();
  image::init();
  handle::init();
  triple::init();
  view::event::init();
  reserve_unbuilt();
}

void append_block_ref(NodeRef block, NodeRef series) {
  Cell* c = memory::alloc_tail_cell(block);
  cell::set(c, T_BLOCK, 0, series, 0);
}

// The load of the raw texts (a build that embeds them) and of test texts.
Cell load_bootstrap(const char* utf8, size_t length) {
  Cell out;
  lexer::load_utf8(reinterpret_cast<const uint8_t*>(utf8), static_cast<uint32_t>(length), &out);
  return out;
}
}  // namespace

void init() {
  if (initialized) return;
  word::startup = true;
  platform::init();
  random::init();
  memory::init();
  extref::init();
  register_datatypes();
  actions::init();
  memory::new_node_frame(NODE_FRAME_CAPACITY);
  memory::new_series_frame();
  root_block = memory::alloc_cells(ROOT_BLOCK_CELLS);
  stack::init();
  append_block_ref(root_block, stack::value_stack_node);
  append_block_ref(root_block, stack::frame_stack_node);
  case_folding::init();
  unicode::init();
  hashtable::init_engine();
  context::init_global();
  symbol::init_table();
  datatype::init_words();
  words::init();
  append_block_ref(root_block, natives::init());
  ownership::init();
  cycles::init();
  lexer::init();
  boot::load_text = load_bootstrap;
  library::init();
  slots::init();
  interpreter::init();
  console::editor::register_routines();
  view::register_routines();
  collector::init();
  // The library last: the boot image is read with the collector off, its files
  // evaluated with it on.
  word::startup = false;
  collector::enabled = 1;
  initialized = true;
  boot::restart();
  boot::init();
  collector::start_test_modes();
}

}  // namespace zol::runtime
