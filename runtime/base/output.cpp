// Console output to standard output: the write buffer, the terminal path through
// the ANSI emulation, the typed printers and the raw-output hook list.
#include "runtime/base/output.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/base/ansi.h"
#include "runtime/numeric/floattext.h"

namespace zol::output {
namespace {

constexpr char ESC = 27;

// Bytes waiting for write(2); always empty when `put` returns.
struct Buffer {
  static constexpr size_t CAPACITY = 4096;
  char bytes[CAPACITY];
  size_t used = 0;
};
Buffer buffer;
ansi::State terminal;

void write_all(const char* bytes, size_t n) {
  while (n > 0) {
    ssize_t written = ::write(STDOUT_FILENO, bytes, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;   // text that cannot be written is lost
    bytes += written;
    n -= size_t(written);
  }
}

void drain() {
  write_all(buffer.bytes, buffer.used);
  buffer.used = 0;
}

void append(const char* bytes, size_t n) {
  if (buffer.used + n > Buffer::CAPACITY) drain();
  if (n > Buffer::CAPACITY) {
    write_all(bytes, n);
    return;
  }
  std::memcpy(buffer.bytes + buffer.used, bytes, n);
  buffer.used += n;
}

// The terminal path: the text between escape characters as it is, each sequence
// as the emulation translates it.
template <class Sink>
void each_translated(const char* bytes, size_t n, Sink sink) {
  std::string sequence;
  while (n > 0) {
    const char* esc = static_cast<const char*>(std::memchr(bytes, ESC, n));
    size_t plain = esc ? size_t(esc - bytes) : n;
    sink(bytes, plain);
    bytes += plain;
    n -= plain;
    if (n == 0) break;
    sequence.clear();
    size_t consumed = ansi::parse_escape(bytes, n, terminal, sequence);
    if (consumed == 0) consumed = 1, sequence.assign(1, ESC);
    sink(sequence.data(), sequence.size());
    bytes += consumed;
    n -= consumed;
  }
}

void append_translated(const char* bytes, size_t n) { each_translated(bytes, n, append); }

// "%.Ng" through the program's own float text, independent of the C locale.
void print_float_digits(double v, int precision) {
  if (!std::isfinite(v)) {
    print_c_string(std::isnan(v) ? "nan" : v < 0 ? "-inf" : "inf");
    return;
  }
  char buf[64];
  int n = float_text::format_general(buf, v, precision);
  put(buf, size_t(n), false);
  raw_hooks().run(static_cast<const char*>(buf), size_t(n));
}

void print_typed(const char* text, size_t n) {
  put(text, n, false);
  raw_hooks().run(text, n);
}

}  // namespace

bool console_mode() {
  static const bool terminal_output = isatty(STDOUT_FILENO) == 1;
  return terminal_output;
}

Brackets brackets;

void set_brackets(const Brackets& b) { brackets = b; }

void put(const char* bytes, size_t n, bool newline) {
  // A bracket that printed through here would run the brackets again.
  static bool bracketing = false;
  bool bracket = !bracketing;
  bracketing = true;
  if (bracket && brackets.before) brackets.before();
  if (console_mode()) append_translated(bytes, n);
  else append(bytes, n);
  if (newline) append("\n", 1);
  drain();
  if (bracket && brackets.after) brackets.after();
  if (bracket) bracketing = false;
}

void put_raw(const char* bytes, size_t n) {
  append(bytes, n);
  drain();
}

void translate(const char* bytes, size_t n, std::string& out) {
  each_translated(bytes, n, [&out](const char* b, size_t k) { out.append(b, k); });
}

const char* print_c_string(const char* s) {
  print_typed(s, std::strlen(s));
  return s;
}

void print_integer(int32_t v) {
  char buf[16];
  int n = 0;
  uint32_t u = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
  do buf[15 - n++] = char('0' + u % 10); while ((u /= 10) != 0);
  if (v < 0) buf[15 - n++] = '-';
  print_typed(buf + 16 - n, size_t(n));
}

namespace {
void print_hex_digits(uint32_t v, int digits) {
  static const char hex[] = "0123456789ABCDEF";
  char buf[8];
  for (int i = digits - 1; i >= 0; i--, v >>= 4) buf[i] = hex[v & 15];
  print_typed(buf, size_t(digits));
}
}  // namespace

void print_hex(uint32_t v) { print_hex_digits(v, 8); }
void print_hex_byte(uint8_t v) { print_hex_digits(v, 2); }
void print_float(double v) { print_float_digits(v, 16); }
void print_float32(float v) { print_float_digits(static_cast<double>(v), 7); }

void flush() { drain(); }

HookList<RawHook>& raw_hooks() {
  static HookList<RawHook> list;
  return list;
}

}  // namespace zol::output
