// Output: the one road by which runtime text reaches the terminal.
//
// Diagnostics, print and the console all write through here so that the raw-output
// hooks see every byte; it sits in the runtime's floor so that the system reports
// below every datatype can use it. The terminal layer (line editor, ANSI handling) plugs in
// below this interface later; for now text goes to standard output.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zol::output {

void write(const char* bytes, size_t n);
const char* print_c_string(const char* s);
void print_integer(int32_t v);
void print_hex(uint32_t v);          // eight upper-case digits
void print_float(double v);          // up to 16 significant digits
void print_float32(float v);         // up to 7 significant digits
void flush();

// Raw-output hooks run after every write with the bytes written.
using RawHook = void (*)(const char* bytes, size_t n);
void add_raw_hook(RawHook hook);
void remove_raw_hook(RawHook hook);

}  // namespace zol::output
