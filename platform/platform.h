// The Linux layer beneath the runtime: hardware-fault reporting, the native stack,
// page-granular memory for frames, the current directory, sleeping, the
// environment, the cache folder, start-up, and the program's argument vector.
// Files and directories are in files.h, the clock in clock.h. Thread and console
// wrappers are left out: nothing in the system would call them.
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
// Resizes a block from allocate_pages to new_bytes (page multiples both), keeping
// its contents: the kernel extends the mapping where it lies or moves its pages to
// another address without copying them. With `move` the block always lands at a
// fresh address, so that the old one faults when used. Returns the block's address,
// or nullptr on failure (the block is then unchanged).
void* resize_pages(void* address, size_t old_bytes, size_t new_bytes, bool move);
// Gives the physical pages of a range back to the OS; the range stays mapped and
// reads as zeros. The range must be page-aligned.
void discard_pages(void* address, size_t bytes);
constexpr size_t PAGE_SIZE = 4096;

// The process's current directory as UTF-8 (empty when it cannot be read).
std::string current_directory();
bool set_current_directory(const char* path);

// Platform start-up, once, early in the runtime's start, before the first output.
// On Linux it only starts the output layer.
void init();

// Environment variables. get_env answers false when the variable is not set;
// set_env with a null value removes the variable.
bool get_env(const char* name, std::string* value);
bool set_env(const char* name, const char* value);

// The folder for the program's cached files: $XDG_CACHE_HOME/zol/, or
// $HOME/.cache/zol/ when XDG_CACHE_HOME is unset or empty; ends in "/". Empty when
// neither variable is set.
std::string cache_directory();

// The argument vector, already UTF-8 on this system.
void init_argv(int argc, char** argv);
int arg_count();
char** arg_vector();

}  // namespace zol::platform
