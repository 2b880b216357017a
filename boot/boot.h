// Start-up from the bootstrap text: the specs of the natives and actions, the
// typesets those specs use, and the first definitions of the library (the logic
// words, the operators), written in Zol in boot/bootstrap.zol and embedded in the
// program at build time.
//
// The text holds four sections, each a word followed by a block:
//   typesets [name [type names...] ...]   a typeset! per name; type names that no
//                                         datatype of this build has are skipped
//   natives [name [spec] ...]             in any order; bound by name to the
//                                         natives table
//   actions [name [spec] ...]             bound by name to the action slots
//   do [code]                             evaluated once the above are set
// Before them every datatype's name word gets its datatype! value.
#pragma once
#include <cstddef>

#include "runtime/core/cell.h"

namespace zol::boot {

// Installed by start-up (boot/runtime.cpp) once the lexer is up: the values of a
// UTF-8 text as a new block!.
extern Cell (*load_text)(const char* utf8, size_t length);

// The embedded bootstrap text.
extern const char bootstrap_text[];
extern const size_t bootstrap_size;

// Loads and applies the bootstrap text once per start of the runtime; does nothing
// without load_text.
void init();
// A fresh runtime is starting (runtime::init after a cleanup): the text applies to
// it again, since everything it defined went with the old one.
void restart();
bool done();

}  // namespace zol::boot
