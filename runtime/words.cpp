// Start-up symbols (see words.h).
#include "runtime/words.h"

#include "runtime/symbol.h"

namespace zol::words {

uint32_t self = 0;
uint32_t true_ = 0;
uint32_t false_ = 0;

void init() {
  self = symbol::make("self");
  true_ = symbol::make("true");
  false_ = symbol::make("false");
}

}  // namespace zol::words
