// The floor of the runtime: tracked allocation, the fatal runtime error report and
// the typed diagnostic printer.
//
// Every non-series block of memory the runtime takes goes through system::allocate,
// which keeps it on one doubly linked list so that it can be listed (heap_report)
// and given back at exit (free_all). Failures below the language (out of memory,
// hardware faults, a throw nobody catches) end the program through runtime_error,
// which prints the two-line report and exits with the code as status.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace zol::system {

// Fatal runtime error codes that the runtime raises itself.
enum FatalCode : int {
  FATAL_QUIT = 0,
  FATAL_ACCESS_VIOLATION = 1,
  FATAL_STACK_OVERFLOW = 19,
  FATAL_OUT_OF_MEMORY = 94,
  FATAL_NO_CATCH = 95,
  FATAL_ASSERTION = 98,
  FATAL_UNKNOWN = 99,
  FATAL_NO_CASE = 100,
  FATAL_NO_SWITCH = 101,
};

// The code of the throw in flight; QUIT_MARKER marks a quit.
constexpr uint32_t QUIT_MARKER = 0x0BADCAFE;
extern uint32_t thrown_code;

// Handler of the outermost catch: a quit ends silently with status 0, any other
// throw that nothing caught is fatal error 95.
[[noreturn]] void top_catch();

// Message of a fatal code, "unknown error code!" for codes without one.
const char* runtime_error_message(int code);

// Prints "\n*** Runtime Error <code>: <message>\n*** at: <address>h\n", frees every
// tracked block and exits with the code. Code 0 prints nothing and exits with 0.
[[noreturn]] void runtime_error(int code, uintptr_t address);

// Writes all pending output, frees every tracked block and exits with the status.
[[noreturn]] void quit(int status);

// Formats the report into buf without allocating (used from signal handlers too);
// returns its length. Code 0 gives an empty report.
size_t format_runtime_error(char* buf, size_t size, int code, uintptr_t address);

// Tracked allocation. Sizes are checked: a request that cannot be represented ends
// the program with "out of memory" rather than wrapping into a small block.
void* allocate(size_t size);
void* allocate_zeroed(size_t size);
void* resize(void* address, size_t new_size);
void free(void* address);
void free_all();
void heap_report();

// Number of tracked blocks and their real bytes (asked + header), for statistics.
size_t tracked_count();
size_t tracked_bytes();

// Typed print items: a tag and a value, printed one after another with nothing
// between them.
enum PrintTag : int { P_LOGIC = 1, P_INT = 2, P_CHAR = 3, P_FLOAT32 = 4, P_FLOAT64 = 5, P_STRING = 6, P_HEX = 7 };
struct PrintItem {
  int tag;
  union { int64_t i; double d; float f; const char* s; };
  static PrintItem logic(bool v) { PrintItem p{P_LOGIC, {}}; p.i = v; return p; }
  static PrintItem integer(int32_t v) { PrintItem p{P_INT, {}}; p.i = v; return p; }
  static PrintItem chr(char v) { PrintItem p{P_CHAR, {}}; p.i = static_cast<unsigned char>(v); return p; }
  static PrintItem float32(float v) { PrintItem p{P_FLOAT32, {}}; p.f = v; return p; }
  static PrintItem float64(double v) { PrintItem p{P_FLOAT64, {}}; p.d = v; return p; }
  static PrintItem str(const char* v) { PrintItem p{P_STRING, {}}; p.s = v; return p; }
  static PrintItem hex(uint32_t v) { PrintItem p{P_HEX, {}}; p.i = v; return p; }
};
void print(std::initializer_list<PrintItem> items);
void print_line(std::initializer_list<PrintItem> items);
void print_char(char c);
const char* print_n(const char* s, size_t n);
void print_char_molded(unsigned char c);

bool c_string_equal(const char* a, const char* b);

constexpr uint64_t align(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}

// Normalises an angle in degrees into radians for the trigonometric natives;
// mode 0 folds into -90..90 by half turns, mode 2 mirrors into it.
double normalize_angle(double degrees, int mode);

}  // namespace zol::system
