// Page-granular memory for the memory manager's frames, and the argument vector.
#include <sys/mman.h>

#include "platform/platform.h"

namespace zol::platform {

void* allocate_pages(size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

bool free_pages(void* address, size_t bytes) { return munmap(address, bytes) == 0; }

void* resize_pages(void* address, size_t old_bytes, size_t new_bytes, bool move) {
  if (!move) {
    void* p = mremap(address, old_bytes, new_bytes, MREMAP_MAYMOVE);
    return p == MAP_FAILED ? nullptr : p;
  }
  // A fresh mapping reserves the new place; MREMAP_FIXED replaces it with the pages.
  void* fresh = allocate_pages(new_bytes);
  if (!fresh) return nullptr;
  void* p = mremap(address, old_bytes, new_bytes, MREMAP_MAYMOVE | MREMAP_FIXED, fresh);
  if (p != MAP_FAILED) return p;
  free_pages(fresh, new_bytes);
  return nullptr;
}

void discard_pages(void* address, size_t bytes) {
  if (bytes) madvise(address, bytes, MADV_DONTNEED);
}

namespace {
int saved_argc = 0;
char** saved_argv = nullptr;
}  // namespace

void init_argv(int argc, char** argv) {
  saved_argc = argc;
  saved_argv = argv;
}
int arg_count() { return saved_argc; }
char** arg_vector() { return saved_argv; }

}  // namespace zol::platform
