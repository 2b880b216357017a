// Tracked allocation, the fatal runtime report and hardware faults.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <csignal>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "boot/runtime.h"
#include "runtime/base/assert.h"
#include "runtime/base/system.h"
#include "runtime/collector/collector.h"
#include "runtime/core/context.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/core/words.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol {
namespace {

TEST(TrackedAllocation, ResizeAndFreeFollowTheList) {
  size_t before = system::tracked_count();
  void* a = system::resize(nullptr, 40);          // null: allocates
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(system::tracked_count(), before + 1);
  void* b = system::allocate_zeroed(24);
  EXPECT_EQ(static_cast<unsigned char*>(b)[23], 0);
  a = system::resize(a, 100000);                  // moves, stays linked
  static_cast<char*>(a)[99999] = 1;
  EXPECT_EQ(system::tracked_count(), before + 2);
  EXPECT_EQ(system::resize(a, 0), nullptr);       // size 0: frees
  EXPECT_EQ(system::tracked_count(), before + 1);
  int untracked = 0;
  system::free(&untracked + 8);                   // never tracked: ignored
  system::free(b);
  EXPECT_EQ(system::tracked_count(), before);
}

TEST(TrackedAllocation, FreeAllEmptiesTheListInAChild) {
  auto r = test::run_in_child([] {
    for (int i = 0; i < 10; i++) system::allocate(16);
    system::free_all();
    std::exit(system::tracked_count() == 0 ? 0 : 1);
  });
  EXPECT_EQ(r.status, 0);
}

struct FatalCase {
  int code;
  const char* message;
};

TEST(FatalReport, PrintsTwoLinesAndExitsWithTheCode) {
  const FatalCase cases[] = {
      {7, "float divide by zero"}, {50, "unknown error code!"}, {94, "out of memory"},
      {95, "no CATCH for THROW"},  {101, "no value matched in SWITCH"}, {34, "Bus error"},
  };
  for (const FatalCase& c : cases) {
    auto r = test::run_in_child([&] { system::runtime_error(c.code, 0xABCDEF12u); });
    std::string expected = "\n*** Runtime Error " + std::to_string(c.code) + ": " + c.message +
                           "\n*** at: 00000000ABCDEF12h\n";
    EXPECT_EQ(r.out, expected) << c.code;
    EXPECT_EQ(r.status, c.code) << c.code;
  }
}

TEST(FatalReport, QuitPrintsNothing) {
  auto r = test::run_in_child([] { system::runtime_error(0, 0); });
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
}

TEST(FatalReport, AFailedAssertionNamesItsConditionInCheckedBuilds) {
  int evaluated = 0;
  auto r = test::run_in_child([&] { ZOL_ASSERT(++evaluated > 1); });
#if defined(ZOL_CHECKED)
  EXPECT_EQ(r.status, 98);
  EXPECT_NE(r.out.find("*** Assertion: ++evaluated > 1 ("), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("*** Runtime Error 98: assertion failed"), std::string::npos) << r.out;
#else
  EXPECT_EQ(r.status, 0) << "compiled out: the condition is never evaluated";
  ZOL_ASSERT(++evaluated > 1);
  EXPECT_EQ(evaluated, 0);
#endif
}

TEST(FatalReport, OversizedAllocationIsOutOfMemory) {
  for (size_t size : {SIZE_MAX - 4, size_t(1) << 50}) {
    auto r = test::run_in_child([&] { system::allocate(size); });
    EXPECT_EQ(r.status, 94);
    EXPECT_NE(r.out.find("*** Runtime Error 94: out of memory"), std::string::npos);
  }
}

TEST(HardwareFaults, SignalsMapToTheirCodes) {
  struct Case { int sig; int si_code; bool near_limit; int code; };
  const Case cases[] = {
      {SIGSEGV, SEGV_MAPERR, false, 1}, {SIGSEGV, SEGV_MAPERR, true, 19},
      {SIGSEGV, 0, false, 32},          {SIGBUS, BUS_ADRALN, false, 2},
      {SIGBUS, 0, false, 34},           {SIGFPE, FPE_INTDIV, false, 13},
      {SIGFPE, FPE_FLTDIV, false, 7},   {SIGFPE, 0, false, 33},
      {SIGILL, ILL_ILLOPC, false, 17},  {SIGILL, ILL_PRVREG, false, 31},
      {SIGTERM, 0, false, 99},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::fault_code(c.sig, c.si_code, c.near_limit), c.code) << c.sig << "/" << c.si_code;
}

volatile int divisor = 0;

// The faults are produced behind the sanitizers' backs: they would otherwise stop
// the child before the hardware does.
__attribute__((no_sanitize("undefined"))) int divide_by(int d) { return 10 / d; }

void touch_protected_page() {
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  *static_cast<volatile int*>(page) = 1;
}

TEST(HardwareFaults, ASegmentationFaultEndsThroughTheReport) {
  auto r = test::run_in_child([] {
    platform::install_fault_handlers();
    touch_protected_page();
  });
  EXPECT_EQ(r.status, 1);
  ASSERT_GT(r.out.size(), 2u);
  EXPECT_EQ(r.out.rfind("\n*** Runtime Error 1: access violation\n*** at: ", 0), 0u) << r.out;
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_EQ(r.out[r.out.size() - 2], 'h');
}

TEST(HardwareFaults, IntegerDivisionByZeroEndsThroughTheReport) {
  auto r = test::run_in_child([] {
    platform::install_fault_handlers();
    volatile int x = divide_by(divisor);
    (void)x;
  });
  EXPECT_EQ(r.status, 13);
  EXPECT_NE(r.out.find("integer divide by zero"), std::string::npos);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int recurse_forever(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  return recurse_forever(depth + 1) + pad[0];
}
#pragma GCC diagnostic pop

TEST(HardwareFaults, StackOverflowIsReportedFromTheAlternateStack) {
  auto r = test::run_in_child([] {
    platform::install_fault_handlers();
    recurse_forever(0);
  });
  EXPECT_EQ(r.status, 19) << r.out;
  EXPECT_NE(r.out.find("stack error or overflow"), std::string::npos);
}

TEST(SystemHelpers, AlignAndAngles) {
  EXPECT_EQ(system::align(13, 8), 16u);
  EXPECT_EQ(system::align(16, 8), 16u);
  const double pi = 3.141592653589793;
  EXPECT_DOUBLE_EQ(system::normalize_angle(450, 0), 90 * pi / 180);
  EXPECT_DOUBLE_EQ(system::normalize_angle(135, 0), -45 * pi / 180);
  EXPECT_DOUBLE_EQ(system::normalize_angle(135, 2), 45 * pi / 180);
  EXPECT_DOUBLE_EQ(system::normalize_angle(-135, 2), -45 * pi / 180);
  EXPECT_DOUBLE_EQ(system::normalize_angle(135, 1), 135 * pi / 180);
}

TEST(SystemHelpers, TypedPrintAndMoldedChars) {
  auto r = test::run_in_child([] {
    system::print_line({system::PrintItem::logic(true), system::PrintItem::integer(-42),
                        system::PrintItem::chr('x'), system::PrintItem::str("s"),
                        system::PrintItem::hex(0xBEEF)});
    system::print_line({system::PrintItem::float64(1.0 / 3), system::PrintItem::chr(' '),
                        system::PrintItem::float32(0.1f), system::PrintItem::chr(' '),
                        system::PrintItem::float64(1e300), system::PrintItem::chr(' '),
                        system::PrintItem::integer(INT32_MIN)});
    for (unsigned char c : {0, 1, 9, 10, 27, 65, 200}) system::print_char_molded(c);
    system::print_n("abcdef", 3);
  });
  EXPECT_EQ(r.out, "true-42xs0000BEEF\n0.3333333333333333 0.1 1e+300 -2147483648\n#\"^@\"#\"^A\"#\"^-\"#\"^/\"#\"^]\"#\"A\"#\"^(C8)\"abc");
}

}  // namespace
}  // namespace zol

namespace zol {
namespace {

TEST(TopCatch, QuitIsSilentAndOtherThrowsAreFatal) {
  auto quit = test::run_in_child([] {
    system::thrown_code = system::QUIT_MARKER;
    system::top_catch();
  });
  EXPECT_EQ(quit.status, 0);
  EXPECT_EQ(quit.out, "");
  auto other = test::run_in_child([] {
    system::thrown_code = 0x7FFFFFFA;
    system::top_catch();
  });
  EXPECT_EQ(other.status, 95);
  EXPECT_NE(other.out.find("*** Runtime Error 95: no CATCH for THROW"), std::string::npos);
}

}  // namespace
}  // namespace zol

namespace zol {
namespace {

// Fuzzers and embedders shut the runtime down and start it again in one process.
TEST(RuntimeLifecycle, StartsAgainAfterCleanup) {
  auto r = test::run_in_child([] {
    for (int i = 0; i < 3; i++) {
      runtime::cleanup();
      runtime::init();
      Cell b;
      block::make_at(&b, 4);
      Cell v = values::integer(i);
      block::append(&b, &v);
      collector::collect();
      if (block::length(&b) != 1) std::exit(2);
      block::append(&b, &b);   // molding a block that holds itself uses the cycle stack
      if (test::mold(b) != "[" + std::to_string(i) + " [...]]") std::exit(3);
    }
    std::exit(0);
  });
  EXPECT_EQ(r.status, 0) << r.out;
}

// The symbol table is made anew at each start, and with it the ids of the words the
// C++ code names: every start fills them again, each with its own spelling.
TEST(RuntimeLifecycle, TheKnownWordsAreInternedAgainAtEachStart) {
  auto r = test::run_in_child([] {
    for (int i = 0; i < 2; i++) {
#define ZOL_TEST_FORGET(name, spelling) words::name = 0;
      ZOL_KNOWN_WORDS(ZOL_TEST_FORGET)
#undef ZOL_TEST_FORGET
      runtime::cleanup();
      runtime::init();
#define ZOL_TEST_SPELLING(name, spelling)                                          \
  if (words::name == 0 || std::string(symbol::get_c_string(words::name)) != spelling) { \
    std::printf("%s ", spelling);                                                  \
    std::exit(2);                                                                  \
  }
      ZOL_KNOWN_WORDS(ZOL_TEST_SPELLING)
#undef ZOL_TEST_SPELLING
    }
    std::exit(0);
  });
  EXPECT_EQ(r.status, 0) << r.out;
}

// The bootstrap text defines the natives in each runtime, not once per process: a
// fuzzer that starts the runtime again every hundred inputs ran without them.
TEST(RuntimeLifecycle, TheNativesAreDefinedAgainAfterARestart) {
  auto r = test::run_in_child([] {
    for (int i = 0; i < 2; i++) {
      runtime::cleanup();
      runtime::init();
      for (const char* name : {"if", "forever", "print"})
        if (context::find_word(context::global, symbol::make(name), true) < 0 ||
            !context::global_value(symbol::make(name))->is(T_NATIVE))
          std::exit(10 + i);
    }
    std::exit(0);
  });
  EXPECT_EQ(r.status, 0) << r.out;
}

// A cleanup gives the node slots of its frames back to the system: frame numbers
// are handed out round-robin, so a process that starts again and again would
// otherwise keep the slot pages of every number it ever used.
TEST(RuntimeLifecycle, CleanupReleasesTheNodeSlotPages) {
  auto r = test::run_in_child([] {
    auto resident = [](const void* page) {
      unsigned char in_core = 0;
      mincore(const_cast<void*>(page), platform::PAGE_SIZE, &in_core);
      return (in_core & 1) != 0;
    };
    runtime::cleanup();
    runtime::init();
    const uintptr_t* slots = memory::node_frame_slots(memory::root.node_head);
    if (!resident(slots)) std::exit(2);
    runtime::cleanup();
    if (resident(slots)) std::exit(3);
    std::exit(0);
  });
  EXPECT_EQ(r.status, 0) << r.out;
}

}  // namespace
}  // namespace zol
