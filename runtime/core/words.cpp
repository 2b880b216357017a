// Start-up symbols (see words.h).
#include "runtime/core/words.h"

#include "runtime/core/stack.h"
#include "runtime/core/symbol.h"

namespace zol::words {

#define ZOL_KNOWN_WORD(name, spelling) uint32_t name = 0;
ZOL_KNOWN_WORDS(ZOL_KNOWN_WORD)
#undef ZOL_KNOWN_WORD

void init() {
#define ZOL_KNOWN_WORD(name, spelling) name = symbol::make(spelling);
  ZOL_KNOWN_WORDS(ZOL_KNOWN_WORD)
#undef ZOL_KNOWN_WORD
  // The frame walks recognise the frames that are not calls of a named function.
  stack::body_symbol = body_frame;
  stack::anon_symbol = anon_frame;
  stack::not_found_symbol = not_found_frame;
  stack::self_symbol = self;
}

}  // namespace zol::words
