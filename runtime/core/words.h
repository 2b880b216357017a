// Symbols the runtime itself refers to, interned once at start-up.
#pragma once
#include <cstdint>

namespace zol::words {

extern uint32_t self;
extern uint32_t true_;
extern uint32_t false_;

// Interns the start-up symbols (the symbol table must exist).
void init();

}  // namespace zol::words
