// Start-up symbols (see words.h).
#include "runtime/core/words.h"

#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"

namespace zol::words {

uint32_t self = 0;
uint32_t true_ = 0;
uint32_t false_ = 0;

void init() {
  self = symbol::make("self");
  true_ = symbol::make("true");
  false_ = symbol::make("false");
  // The frame walks recognise the frames that are not calls of a named function.
  stack::body_symbol = symbol::make("<body>");
  stack::anon_symbol = symbol::make("<anon>");
  stack::not_found_symbol = symbol::make("<not-found>");
  stack::self_symbol = self;
}

}  // namespace zol::words
