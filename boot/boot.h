// Start-up from the bootstrap text and the library's source. The bootstrap text
// (boot/bootstrap.zol) holds what must come first: the specs of the natives and
// actions, the typesets those specs use, and the system object with the error
// catalogue. The library's source (library/*.zol, in the order the build's list
// gives) is evaluated after it, file by file, with the collector on; it defines the
// routines, constants, functions and operators. Both are embedded in the program
// at build time.
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

// One embedded file of the library's source: the name its reports give it, its text.
struct SourceText {
  const char* name;
  const char* text;
  size_t size;
};
extern const SourceText library_texts[];
extern const size_t library_texts_count;

// Loads and applies the bootstrap text, then evaluates the library's source, once
// per start of the runtime; does nothing without load_text. An error in the
// library's source (loading or evaluating it) is a fault of the build: its report
// and the file's name go to standard error and the process ends with status 1.
void init();
// Loads and evaluates one file of the library's source; an error in it is reported
// with the file's name and ends the process with status 1.
void evaluate_library_file(const SourceText& file);
// A fresh runtime is starting (runtime::init after a cleanup): the text applies to
// it again, since everything it defined went with the old one.
void restart();
bool done();

}  // namespace zol::boot
