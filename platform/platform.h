// The Linux layer beneath the runtime: hardware-fault reporting, the native stack,
// page-granular memory for frames, the current directory, directories and file
// existence, and the program's argument vector.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace zol::platform {

// Installs SIGSEGV, SIGBUS, SIGFPE and SIGILL handlers that run on an alternate
// signal stack and end the program through the fatal runtime report with the code
// the fault maps to. Must be called on every thread that runs Zol code (the
// alternate stack is per thread). Idempotent per thread.
void install_fault_handlers();

// Maps a hardware signal and its si_code to a fatal runtime error code.
int fault_code(int signal, int si_code, bool near_stack_limit);

// Bounds of the calling thread's stack: [low, high).
struct StackBounds {
  uintptr_t low = 0;
  uintptr_t high = 0;
};
StackBounds current_stack_bounds();

// Runs fn(arg) on a new thread whose stack is `stack_bytes` large (reserved, not
// committed up front) and returns its result once it finishes.
int run_on_large_stack(int (*fn)(void*), void* arg, size_t stack_bytes);

// Stack size the runtime thread gets: deep enough for the interpreter's nesting
// limits, also under AddressSanitizer, whose frames are much larger.
constexpr size_t RUNTIME_STACK_BYTES = size_t(1) << 30;

// Page-granular blocks for memory frames. Returns nullptr on failure.
void* allocate_pages(size_t bytes);
bool free_pages(void* address, size_t bytes);
// Gives the physical pages of a range back to the OS; the range stays mapped and
// reads as zeros. The range must be page-aligned.
void discard_pages(void* address, size_t bytes);
constexpr size_t PAGE_SIZE = 4096;

// The process's current directory as UTF-8 (empty when it cannot be read).
std::string current_directory();
// Each false when the OS refuses.
bool set_current_directory(const std::string& path);
bool create_directory(const std::string& path);   // one level, mode 0777 less the umask
bool path_exists(const std::string& path);          // a file or directory

// The argument vector, already UTF-8 on this system.
void init_argv(int argc, char** argv);
int arg_count();
char** arg_vector();

}  // namespace zol::platform
