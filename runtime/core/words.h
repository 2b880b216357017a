// Symbols the runtime itself refers to, interned once at start-up.
#pragma once
#include <cstdint>

#include "runtime/core/known_words.h"

namespace zol::words {

// One variable per word of known_words.h (words::self, words::local, ...): the
// word's symbol id, valid once init() has run.
#define ZOL_KNOWN_WORD(name, spelling) extern uint32_t name;
ZOL_KNOWN_WORDS(ZOL_KNOWN_WORD)
#undef ZOL_KNOWN_WORD

// Interns the start-up symbols (the symbol table must exist).
void init();

}  // namespace zol::words
