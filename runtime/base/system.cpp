// Tracked allocation, the fatal runtime error report and the typed printer.
#include "runtime/base/system.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/base/asan.h"
#include "runtime/base/assert.h"
#include "runtime/base/output.h"

namespace zol::system {
namespace {

// Header in front of every tracked block; the caller sees the address just past it.
// 32 bytes on a 64-bit build keeps the caller's memory 16-byte aligned.
struct TrackedBlock {
  TrackedBlock* prev;
  TrackedBlock* next;
  size_t size;       // bytes the caller asked for
  size_t reserved;   // always 0
};
static_assert(sizeof(TrackedBlock) == 32);

struct AllocationList {
  TrackedBlock* head = nullptr;
  TrackedBlock* tail = nullptr;
} allocations;

constexpr size_t MAX_TRACKED_SIZE = SIZE_MAX / 2;

const char* const messages[] = {
    nullptr,                              // 0: quit
    "access violation", "invalid alignment", "breakpoint", "single step",
    "bounds exceeded", "float denormal operan", "float divide by zero",
    "float inexact result", "float invalid operation", "float overflow",
    "float stack check", "float underflow", "integer divide by zero",
    "integer overflow", "privileged instruction", "invalid virtual address",
    "illegal instruction", "non-continuable exception", "stack error or overflow",
    "invalid disposition", "guard page", "invalid handle", "illegal operand",
    "illegal addressing mode", "illegal trap", "coprocessor error",
    "non-existent physical address", "object specific hardware error",
    "hardware memory error consumed AR", "hardware memory error consumed AO",
    "privileged register", "segmentation fault", "FPU error", "Bus error",
};

[[noreturn]] void out_of_memory() {
  runtime_error(FATAL_OUT_OF_MEMORY, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

TrackedBlock* header_of(void* address) {
  return reinterpret_cast<TrackedBlock*>(static_cast<char*>(address) - sizeof(TrackedBlock));
}

void link_at_tail(TrackedBlock* b) {
  b->prev = allocations.tail;
  b->next = nullptr;
  if (allocations.tail) allocations.tail->next = b; else allocations.head = b;
  allocations.tail = b;
}

void unlink(TrackedBlock* b) {
  if (b->prev) b->prev->next = b->next; else allocations.head = b->next;
  if (b->next) b->next->prev = b->prev; else allocations.tail = b->prev;
}

bool is_tracked(TrackedBlock* b) {
  for (TrackedBlock* p = allocations.head; p; p = p->next)
    if (p == b) return true;
  return false;
}

// Appends text to a fixed buffer without allocating (signal-safe).
struct Writer {
  char* buf;
  size_t size;
  size_t len = 0;
  void put(const char* s) { while (*s) put(*s++); }
  void put(char c) { if (len + 1 < size) buf[len++] = c; }
  void decimal(long v) {
    char tmp[24];
    int n = 0;
    unsigned long u = v < 0 ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    do { tmp[n++] = static_cast<char>('0' + u % 10); u /= 10; } while (u);
    if (v < 0) put('-');
    while (n) put(tmp[--n]);
  }
  void hex(uint64_t v, int digits) {
    static const char hexdigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; i--) put(hexdigits[(v >> (i * 4)) & 15]);
  }
};

}  // namespace

const char* runtime_error_message(int code) {
  if (code >= 1 && code <= 34) return messages[code];
  switch (code) {
    case FATAL_OUT_OF_MEMORY: return "out of memory";
    case FATAL_NO_CATCH: return "no CATCH for THROW";
    case FATAL_ASSERTION: return "assertion failed";
    case FATAL_UNKNOWN: return "unknown error";
    case FATAL_NO_CASE: return "no value matched in CASE";
    case FATAL_NO_SWITCH: return "no value matched in SWITCH";
    default: return "unknown error code!";
  }
}

size_t format_runtime_error(char* buf, size_t size, int code, uintptr_t address) {
  Writer w{buf, size};
  if (code != FATAL_QUIT) {
    w.put("\n*** Runtime Error ");
    w.decimal(code);
    w.put(": ");
    w.put(runtime_error_message(code));
    w.put("\n*** at: ");
    w.hex(address, static_cast<int>(sizeof(uintptr_t) * 2));
    w.put("h\n");
  }
  if (size) buf[w.len] = '\0';
  return w.len;
}

void runtime_error(int code, uintptr_t address) {
  if (code != FATAL_QUIT) {
    char report[160];
    size_t n = format_runtime_error(report, sizeof report, code, address);
    output::write(report, n);
  }
  quit(code);
}

void quit(int status) {
  output::flush();
  free_all();
  std::exit(status);
}

void assertion_failed(const char* condition, const char* file, int line) {
  print_line({PrintItem::str("*** Assertion: "), PrintItem::str(condition), PrintItem::str(" ("),
              PrintItem::str(file), PrintItem::str(":"), PrintItem::integer(line),
              PrintItem::str(")")});
  runtime_error(FATAL_ASSERTION, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

uint32_t thrown_code = 0;

void top_catch() {
  if (thrown_code == QUIT_MARKER) runtime_error(FATAL_QUIT, 0);
  runtime_error(FATAL_NO_CATCH, reinterpret_cast<uintptr_t>(&top_catch));
}

void* allocate(size_t size) {
  if (size > MAX_TRACKED_SIZE) out_of_memory();
  auto* b = static_cast<TrackedBlock*>(std::malloc(size + sizeof(TrackedBlock)));
  if (!b) out_of_memory();
  b->size = size;
  b->reserved = 0;
  link_at_tail(b);
  return b + 1;
}

void* allocate_zeroed(size_t size) {
  void* p = allocate(size);
  std::memset(p, 0, size);
  return p;
}

void* resize(void* address, size_t new_size) {
  if (!address) return allocate(new_size);
  if (new_size == 0) {
    free(address);
    return nullptr;
  }
  if (new_size > MAX_TRACKED_SIZE) out_of_memory();
  TrackedBlock* old = header_of(address);
  TrackedBlock* prev = old->prev;
  TrackedBlock* next = old->next;
  auto* b = static_cast<TrackedBlock*>(std::realloc(old, new_size + sizeof(TrackedBlock)));
  if (!b) out_of_memory();
  b->size = new_size;
  if (prev) prev->next = b; else allocations.head = b;
  if (next) next->prev = b; else allocations.tail = b;
  return b + 1;
}

void free(void* address) {
  if (!address) return;
  TrackedBlock* b = header_of(address);
  // Only blocks on the list are released; anything else is ignored rather than
  // handed to the C library.
  if (!is_tracked(b)) return;
  unlink(b);
  std::free(b);
}

void free_all() {
  TrackedBlock* b = allocations.head;
  while (b) {
    TrackedBlock* next = b->next;
    std::free(b);
    b = next;
  }
  allocations.head = allocations.tail = nullptr;
}

size_t tracked_count() {
  size_t n = 0;
  for (TrackedBlock* b = allocations.head; b; b = b->next) n++;
  return n;
}

size_t tracked_bytes() {
  size_t n = 0;
  for (TrackedBlock* b = allocations.head; b; b = b->next) n += b->size + sizeof(TrackedBlock);
  return n;
}

void heap_report() {
  output::print_c_string("-- Heap-allocations --\nAsked   Real\n");
  size_t sum = 0;
  char line[64];
  for (TrackedBlock* b = allocations.head; b; b = b->next) {
    size_t real = b->size + sizeof(TrackedBlock);
    std::snprintf(line, sizeof line, "%zu\t%zu\n", b->size, real);
    output::print_c_string(line);
    sum += real;
  }
  std::snprintf(line, sizeof line, "-- Sum: %zu --\n", sum);
  output::print_c_string(line);
}

namespace {
void print_item(const PrintItem& item) {
  switch (item.tag) {
    case P_LOGIC: output::print_c_string(item.i ? "true" : "false"); break;
    case P_INT: output::print_integer(static_cast<int32_t>(item.i)); break;
    case P_CHAR: print_char(static_cast<char>(item.i)); break;
    case P_FLOAT32: output::print_float32(item.f); break;
    case P_FLOAT64: output::print_float(item.d); break;
    case P_STRING: output::print_c_string(item.s ? item.s : ""); break;
    default: output::print_hex(static_cast<uint32_t>(item.i)); break;
  }
}

void print_typed(std::initializer_list<PrintItem> items, bool line) {
  for (const PrintItem& item : items) print_item(item);
  if (line) output::write("\n", 1);
  output::flush();
}
}  // namespace

void print(std::initializer_list<PrintItem> items) { print_typed(items, false); }
void print_line(std::initializer_list<PrintItem> items) { print_typed(items, true); }

void print_char(char c) { output::write(&c, 1); }

const char* print_n(const char* s, size_t n) {
  output::write(s, strnlen(s, n));
  return s;
}

void print_char_molded(unsigned char c) {
  char buf[8];
  size_t n = 0;
  buf[n++] = '#';
  buf[n++] = '"';
  if (c == 0) { buf[n++] = '^'; buf[n++] = '@'; }
  else if (c == 9) { buf[n++] = '^'; buf[n++] = '-'; }
  else if (c == 10) { buf[n++] = '^'; buf[n++] = '/'; }
  else if (c == 27) { buf[n++] = '^'; buf[n++] = ']'; }
  else if (c < 32) { buf[n++] = '^'; buf[n++] = static_cast<char>('@' + c); }
  else if (c < 128) { buf[n++] = static_cast<char>(c); }
  else {
    static const char hex[] = "0123456789ABCDEF";
    output::write(buf, n);
    char esc[5] = {'^', '(', hex[c >> 4], hex[c & 15], ')'};
    output::write(esc, 5);
    n = 0;
  }
  buf[n++] = '"';
  output::write(buf, n);
}

bool c_string_equal(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

double normalize_angle(double x, int mode) {
  x = std::fmod(x, 360.0);
  if (x > 180.0 || x < -180.0) x += x < 0 ? 360.0 : -360.0;
  if (x > 90.0 || x < -90.0) {
    if (mode == 0) x += x < 0 ? 180.0 : -180.0;
    else if (mode == 2) x = x < 0 ? -180.0 - x : 180.0 - x;
  }
  return x * 3.141592653589793 / 180.0;
}

}  // namespace zol::system

#if defined(ZOL_ASAN)
// Allocation failures must reach our own out-of-memory report rather than
// AddressSanitizer's abort, and the collector's stack scan needs locals on the real
// stack (no fake stacks).
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:detect_stack_use_after_return=0";
}
#endif
