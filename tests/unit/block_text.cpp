// The test reader of block_text.h: the lexer's load entry.
#include "block_text.h"

#include "interpreter/lexer/load.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "support.h"

namespace zol::test {

Cell load(const std::string& text) {
  Cell blk;
  return *lexer::load_utf8(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), &blk);
}

Cell value(const std::string& text) {
  Cell blk = load(text);
  return *block::cell_at(&blk, 0);
}

Cell at(const std::string& text, int32_t index) {
  Cell v = value(text);
  series_cell::set_head(&v, index);
  return v;
}

std::string show(const Cell& v) {
  if (!series::is_series(v.type())) return mold(v);
  return "@" + std::to_string(series_cell::head(&v) + 1) + " " + mold(v);
}

}  // namespace zol::test
