// Output: the one road by which runtime text reaches standard output.
//
// Diagnostics, print and the console all write through here; it sits in the
// runtime's floor so that the system reports below every datatype can use it.
// Whether standard output is a terminal is decided once, at the first output: to a
// terminal the escape sequences of the text are read by the ANSI emulation and
// written as the terminal's own; to a file or pipe every byte goes out unchanged.
// Text is UTF-8 and lines end in a line feed alone (a terminal adds the carriage
// return itself). The layer keeps its own buffer, written out with write(2) before
// every call returns, so nothing waits in a stdio buffer beside it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/base/hook_list.h"

namespace zol::output {

// True when standard output is a terminal; fixed for the whole run.
bool console_mode();

// Writes UTF-8 text, with a line feed after it when `newline` is set.
void put(const char* bytes, size_t n, bool newline);
inline void write(const char* bytes, size_t n) { put(bytes, n, false); }
// Writes bytes as they are, escape sequences untranslated: the terminal's own
// sequences of the line editor.
void put_raw(const char* bytes, size_t n);
// Appends text as the terminal path writes it: escape sequences translated.
void translate(const char* bytes, size_t n, std::string& out);

// The runtime's typed printers. Each runs the raw-output hooks with the text it
// printed.
const char* print_c_string(const char* s);
void print_integer(int32_t v);
void print_hex(uint32_t v);          // eight upper-case digits
void print_hex_byte(uint8_t v);      // two upper-case digits
void print_float(double v);          // up to 16 significant digits
void print_float32(float v);         // up to 7 significant digits
// Nothing is ever left in the buffer between calls; kept for the callers that
// mark where their output must have gone out.
void flush();

// Brackets around the text `put` writes, for a program that owns the terminal's
// screen (the terminal UI): `before` runs before the text goes out, `after` once
// it has. A bracket writes its own bytes with put_raw, which runs none.
struct Brackets {
  void (*before)() = nullptr;
  void (*after)() = nullptr;
};
void set_brackets(const Brackets& brackets);

// Raw-output hooks: called with the text of each typed print.
using RawHook = void (*)(const char* bytes, size_t n);
HookList<RawHook>& raw_hooks();
inline void add_raw_hook(RawHook hook) { raw_hooks().add(hook); }
inline void remove_raw_hook(RawHook hook) { raw_hooks().remove(hook); }

}  // namespace zol::output
