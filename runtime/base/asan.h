// Marks memory that must not be touched (free frame space, abandoned buffers) so
// that AddressSanitizer builds report any stale pointer into it. No-ops otherwise.
#pragma once
#include <cstddef>

// ZOL_ASAN: built with AddressSanitizer (gcc announces it with a macro, clang as a
// feature).
#if defined(__SANITIZE_ADDRESS__)
#define ZOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZOL_ASAN 1
#endif
#endif

#if defined(ZOL_ASAN)
#include <sanitizer/asan_interface.h>
#define ZOL_POISON(addr, size) ASAN_POISON_MEMORY_REGION((addr), (size))
#define ZOL_UNPOISON(addr, size) ASAN_UNPOISON_MEMORY_REGION((addr), (size))
#define ZOL_NO_ASAN __attribute__((no_sanitize_address))
#else
#define ZOL_POISON(addr, size) ((void)(addr), (void)(size))
#define ZOL_UNPOISON(addr, size) ((void)(addr), (void)(size))
#define ZOL_NO_ASAN
#endif
