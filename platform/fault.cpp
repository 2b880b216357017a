// Hardware faults end the program through the fatal runtime report.
//
// The handlers run on an alternate signal stack so that a stack overflow can still
// be reported. They only format into a fixed buffer and write(2) it: the report must
// come out even when the heap or stdio is in an unknown state, so nothing here
// allocates or takes locks. The exit status is the mapped code.
#include <signal.h>
#include <unistd.h>
#include <ucontext.h>

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/terminal.h"
#include "runtime/base/system.h"

namespace zol::platform {
namespace {

constexpr size_t ALT_STACK_BYTES = 64 * 1024;
thread_local bool handlers_on_thread = false;
thread_local StackBounds thread_stack;

uintptr_t fault_pc(void* context, [[maybe_unused]] const siginfo_t* info) {
#if defined(__x86_64__)
  auto* uc = static_cast<ucontext_t*>(context);
  return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
  auto* uc = static_cast<ucontext_t*>(context);
  return static_cast<uintptr_t>(uc->uc_mcontext.pc);
#else
  (void)context;
  return reinterpret_cast<uintptr_t>(info->si_addr);
#endif
}

// A fault within the lowest 64 KiB of the stack (or just below it, in the guard
// page) is a stack overflow.
bool near_limit(uintptr_t address) {
  const StackBounds& s = thread_stack;
  if (s.low == 0) return false;
  return address + 65536 >= s.low && address < s.low + 65536;
}

void on_fault(int sig, siginfo_t* info, void* context) {
  uintptr_t data_address = reinterpret_cast<uintptr_t>(info->si_addr);
  int code = fault_code(sig, info->si_code, sig == SIGSEGV && near_limit(data_address));
  // The terminal first: a full-screen program's screen is left before the report,
  // which would otherwise vanish with it.
  terminal::restore_mode();
  char report[160];
  size_t n = system::format_runtime_error(report, sizeof report, code, fault_pc(context, info));
  ssize_t ignored = ::write(STDOUT_FILENO, report, n);
  (void)ignored;
  _exit(code);
}

}  // namespace

int fault_code(int sig, int si_code, bool near_stack_limit) {
  switch (sig) {
    case SIGSEGV:
      if (near_stack_limit) return 19;          // stack error or overflow
      if (si_code == SEGV_MAPERR || si_code == SEGV_ACCERR) return 1;  // access violation
      return 32;                                // segmentation fault
    case SIGBUS:
      switch (si_code) {
        case BUS_ADRALN: return 2;              // invalid alignment
        case BUS_ADRERR: return 27;
        case BUS_OBJERR: return 28;
#ifdef BUS_MCEERR_AR
        case BUS_MCEERR_AR: return 29;
        case BUS_MCEERR_AO: return 30;
#endif
        default: return 34;                     // Bus error
      }
    case SIGFPE:
      switch (si_code) {
        case FPE_INTDIV: return 13;
        case FPE_INTOVF: return 14;
        case FPE_FLTDIV: return 7;
        case FPE_FLTOVF: return 10;
        case FPE_FLTUND: return 12;
        case FPE_FLTRES: return 8;
        case FPE_FLTINV: return 9;
        case FPE_FLTSUB: return 5;
        default: return 33;                     // FPU error
      }
    case SIGILL:
      switch (si_code) {
        case ILL_ILLOPC: return 17;
        case ILL_ILLOPN: return 23;
        case ILL_ILLADR: return 24;
        case ILL_ILLTRP: return 25;
        case ILL_PRVOPC: return 15;
        case ILL_PRVREG: return 31;
        case ILL_COPROC: return 26;
        case ILL_BADSTK: return 19;
        default: return 17;
      }
    default:
      return 99;                                // unknown error
  }
}

void install_fault_handlers() {
  if (handlers_on_thread) return;
  handlers_on_thread = true;
  thread_stack = current_stack_bounds();

  // A thread that already has an alternate stack (the sanitizers give every thread
  // one, and free it themselves when the thread ends) keeps it. Otherwise one is
  // allocated and kept for the thread's life: the handler may run at any time.
  stack_t current{};
  if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE)) {
    stack_t alt{};
    alt.ss_sp = std::malloc(ALT_STACK_BYTES);
    alt.ss_size = ALT_STACK_BYTES;
    alt.ss_flags = 0;
    if (alt.ss_sp) sigaltstack(&alt, nullptr);
  }

  struct sigaction sa{};
  sa.sa_sigaction = on_fault;
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) sigaction(sig, &sa, nullptr);
}

}  // namespace zol::platform
