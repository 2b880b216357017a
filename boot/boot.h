// Start-up from the bootstrap text and the library's source. The bootstrap text
// (boot/bootstrap.zol) holds what must come first: the specs of the natives and
// actions, the typesets those specs use, and the system object with the error
// catalogue. The library's source (library/*.zol, in the order the build's list
// gives) is evaluated after it, file by file, with the collector on; it defines the
// routines, constants, functions and operators. Both reach the program already
// lexed, in the boot image the build writes and embeds.
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
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::boot {

// Installed by start-up (boot/runtime.cpp) once the lexer is up: the values of a
// UTF-8 text as a new block!.
extern Cell (*load_text)(const char* utf8, size_t length);

// One embedded file of the library's source: the name its reports give it, its text.
struct SourceText {
  const char* name;
  const char* text;
  size_t size;
};

// The library as the build embedded it: the boot image, or (a build configured with
// ZOL_LIBRARY_AS_TEXT) the raw texts, the bootstrap text first. The boot image tool
// links neither, and start-up then brings up a runtime without a library.
//
// The boot image is a compact ZOLBIN image (version 1, flags 0x05) whose one root
// value is a block of pairs: each file's name as a file! (`%boot/bootstrap.zol`,
// `%library/base.zol`, in the build's list order), then the block of its values as
// the lexer gave them, new-line markers included.
struct EmbeddedLibrary {
  const uint8_t* image;
  size_t image_size;
  const SourceText* texts;
  size_t text_count;
};
extern const EmbeddedLibrary embedded_library;

// Applies the bootstrap text, then evaluates the library's source, once per start
// of the runtime; does nothing without load_text. An error in the library's source
// (loading or evaluating it) is a fault of the build: its report and the file's
// name go to standard error and the process ends with status 1.
void init();

// Reads a boot image in boot mode (collector off, words bound to the global context
// as read) and answers its block of name and code pairs, held by the root block.
// An image that does not decode is reported on standard error ("Error: Not a
// Zolbin file!", "Error: Zolbin compressed data corrupted!", or the reader's error
// for a malformed record) and ends the process with status 1.
Cell load_image(const uint8_t* image, size_t length);

// Evaluates one file's block; an error in it is reported with the file's name and
// ends the process with status 1. A throw or other exit that no catch in the file
// takes goes on to the caller (the program's top catch).
void evaluate_library_file(const char* name, const Cell* code);
// The same for a text, lexed first (a syntax error is reported the same way).
void evaluate_library_file(const SourceText& file);

// A fresh runtime is starting (runtime::init after a cleanup): the text applies to
// it again, since everything it defined went with the old one.
void restart();
bool done();

}  // namespace zol::boot
