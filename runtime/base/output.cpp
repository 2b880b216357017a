// Console output to standard output, with the raw-output hook list.
#include "runtime/base/output.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/numeric/floattext.h"

namespace zol::output {
namespace {
constexpr int MAX_RAW_HOOKS = 16;
RawHook raw_hooks[MAX_RAW_HOOKS];
int raw_hook_count = 0;

// "%.Ng" through the program's own float text, independent of the C locale.
void print_float_digits(double v, int precision) {
  if (!std::isfinite(v)) {
    print_c_string(std::isnan(v) ? "nan" : v < 0 ? "-inf" : "inf");
    return;
  }
  char buf[64];
  write(buf, static_cast<size_t>(float_text::format_general(buf, v, precision)));
}
}  // namespace

void write(const char* bytes, size_t n) {
  if (n == 0) return;
  std::fwrite(bytes, 1, n, stdout);
  for (int i = 0; i < raw_hook_count; i++)
    if (raw_hooks[i]) raw_hooks[i](bytes, n);
}

const char* print_c_string(const char* s) {
  write(s, std::strlen(s));
  return s;
}

void print_integer(int32_t v) {
  char buf[16];
  int n = 0;
  uint32_t u = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
  do buf[15 - n++] = char('0' + u % 10); while ((u /= 10) != 0);
  if (v < 0) buf[15 - n++] = '-';
  write(buf + 16 - n, size_t(n));
}

void print_hex(uint32_t v) {
  static const char digits[] = "0123456789ABCDEF";
  char buf[8];
  for (int i = 7; i >= 0; i--, v >>= 4) buf[i] = digits[v & 15];
  write(buf, 8);
}

void print_float(double v) { print_float_digits(v, 16); }
void print_float32(float v) { print_float_digits(static_cast<double>(v), 7); }

void flush() { std::fflush(nullptr); }

void add_raw_hook(RawHook hook) {
  if (raw_hook_count < MAX_RAW_HOOKS) raw_hooks[raw_hook_count++] = hook;
}

void remove_raw_hook(RawHook hook) {
  for (int i = 0; i < raw_hook_count; i++)
    if (raw_hooks[i] == hook) raw_hooks[i] = nullptr;
}

}  // namespace zol::output
