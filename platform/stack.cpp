// The native stack: its bounds, and a thread with a stack large enough for deep
// interpretation (12000 nested calls of Zol functions, each a few C++ frames).
#include <pthread.h>

#include <cstdio>

#include "platform/platform.h"

namespace zol::platform {

StackBounds current_stack_bounds() {
  StackBounds b;
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return b;
  void* addr = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attr, &addr, &size) == 0) {
    b.low = reinterpret_cast<uintptr_t>(addr);
    b.high = b.low + size;
  }
  pthread_attr_destroy(&attr);
  return b;
}

namespace {
struct ThreadCall {
  int (*fn)(void*);
  void* arg;
  int result;
};

void* thread_main(void* p) {
  auto* call = static_cast<ThreadCall*>(p);
  install_fault_handlers();
  call->result = call->fn(call->arg);
  return nullptr;
}
}  // namespace

int run_on_large_stack(int (*fn)(void*), void* arg, size_t stack_bytes) {
  ThreadCall call{fn, arg, 0};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_t thread;
  bool started = pthread_attr_setstacksize(&attr, stack_bytes) == 0 &&
                 pthread_create(&thread, &attr, thread_main, &call) == 0;
  pthread_attr_destroy(&attr);
  if (!started) {
    // No large stack to be had: run on this thread, with its own limits.
    install_fault_handlers();
    return fn(arg);
  }
  pthread_join(thread, nullptr);
  return call.result;
}

}  // namespace zol::platform
