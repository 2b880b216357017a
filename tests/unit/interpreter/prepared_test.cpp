// The link from a block's buffer to its prepared form, the barrier that clears it
// and the registry that owns the forms: which writers clear a link and which
// readers keep it, how the collector treats links (moves keep them, rewritten
// cells and dead buffers drop them), pinned forms across a drop, id reuse, and the
// verify mode's report of a missed barrier.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "interpreter/eval.h"
#include "interpreter/prepared.h"
#include "runtime/collector/collector.h"
#include "runtime/core/actions.h"
#include "runtime/core/context.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/series/series.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/memory.h"
#include "support.h"

namespace zol {
namespace {

namespace prepared = interpreter::prepared;

// Forms in these tests are ints the registry frees through `release_form`, which
// records what it freed.
std::vector<int*> freed;
void release_form(void* form) { freed.push_back(static_cast<int*>(form)); }

bool was_freed(const int* form) { return std::find(freed.begin(), freed.end(), form) != freed.end(); }

// Installs the recording free function for one test; the interpreter's own (none)
// comes back at the end.
class Prepared : public ::testing::Test {
 protected:
  void SetUp() override {
    freed.clear();
    prepared::init(release_form);
  }
  void TearDown() override { prepared::init(nullptr); }
};

SeriesBuffer* buffer_of(const Cell& blk) { return memory::buffer_of(series_cell::node(&blk)); }

TEST_F(Prepared, AttachNamesTheFormUntilItsLinkIsDropped) {
  Cell blk = test::load("1 + 2");
  int form = 0;
  size_t live = prepared::live_forms();
  uint32_t id = prepared::attach(buffer_of(blk), &form);
  EXPECT_GE(id, LINK_FIRST_ID);
  EXPECT_EQ(buffer_of(blk)->link, id);
  EXPECT_EQ(prepared::form_of(id), &form);
  EXPECT_EQ(prepared::live_forms(), live + 1);
  memory::drop_link(buffer_of(blk));
  EXPECT_EQ(buffer_of(blk)->link, LINK_NONE);
  EXPECT_EQ(prepared::form_of(id), nullptr);
  EXPECT_TRUE(was_freed(&form));
  EXPECT_EQ(prepared::live_forms(), live);
  EXPECT_EQ(prepared::form_of(LINK_NONE), nullptr);
  EXPECT_EQ(prepared::form_of(LINK_RAN_ONCE), nullptr);
  // A second form attached to the same buffer replaces the first, which is freed.
  int first = 0, second = 0;
  uint32_t old_id = prepared::attach(buffer_of(blk), &first);
  uint32_t new_id = prepared::attach(buffer_of(blk), &second);
  EXPECT_TRUE(was_freed(&first));
  EXPECT_EQ(buffer_of(blk)->link, new_id);
  EXPECT_EQ(prepared::form_of(new_id), &second);
  if (old_id != new_id) {
    EXPECT_EQ(prepared::form_of(old_id), nullptr);
  }
  EXPECT_EQ(prepared::live_forms(), live + 1);
  memory::drop_link(buffer_of(blk));
}

// A form being run survives its drop until the last runner lets go of it.
TEST_F(Prepared, APinnedFormIsFreedAtTheLastUnpinAfterADrop) {
  Cell blk = test::load("1 + 2");
  int form = 0;
  uint32_t id = prepared::attach(buffer_of(blk), &form);
  prepared::pin(id);
  prepared::pin(id);
  block::cell_at(&blk, 0)->w1 = 5;   // a write: the link goes
  EXPECT_EQ(buffer_of(blk)->link, LINK_NONE);
  EXPECT_EQ(prepared::form_of(id), nullptr) << "a dropped form is no longer named";
  prepared::unpin(id);
  EXPECT_FALSE(was_freed(&form)) << "still pinned once";
  prepared::unpin(id);
  EXPECT_TRUE(was_freed(&form));
  // Unpinning without a drop frees nothing.
  int kept = 0;
  uint32_t other = prepared::attach(buffer_of(blk), &kept);
  prepared::pin(other);
  prepared::unpin(other);
  EXPECT_FALSE(was_freed(&kept));
  EXPECT_EQ(prepared::form_of(other), &kept);
  memory::drop_link(buffer_of(blk));
}

TEST_F(Prepared, IdsOfFreedEntriesAreHandedOutAgain) {
  Cell a = test::load("1");
  Cell b = test::load("2");
  int fa = 0, fb = 0;
  uint32_t first = prepared::attach(buffer_of(a), &fa);
  memory::drop_link(buffer_of(a));
  uint32_t again = prepared::attach(buffer_of(b), &fb);
  EXPECT_EQ(again, first);
  EXPECT_EQ(prepared::form_of(again), &fb);
  // While pinned, a dropped entry keeps its id.
  prepared::pin(again);
  memory::drop_link(buffer_of(b));
  uint32_t third = prepared::attach(buffer_of(a), &fa);
  EXPECT_NE(third, again);
  prepared::unpin(again);
  memory::drop_link(buffer_of(a));
}

// Each writer of a block's cells, at the C++ level, drops the block's form.
TEST_F(Prepared, EveryWriterClearsTheLink) {
  Cell ten = values::integer(10);
  Cell obj = test::eval_value("context [x: 1]");
  test::HeldCells hold_obj(&obj);
  struct Writer {
    const char* name;
    std::function<void(Cell&)> write;
  };
  const std::vector<Writer> writers = {
      {"a write through a cell pointer", [](Cell& b) { block::cell_at(&b, 0)->w2 = 7; }},
      {"append", [&](Cell& b) { block::append(&b, &ten); }},
      {"insert", [&](Cell& b) { block::insert_value(&b, &ten, false, true); }},
      {"remove the last", [](Cell& b) { block::remove_last(&b); }},
      {"truncate", [](Cell& b) { block::truncate_at(&b, 1); }},
      {"cut", [](Cell& b) { series::cut(&b, 0, 1); }},
      {"open a gap", [](Cell& b) {
         bool rebuild = false;
         series::open_gap(&b, 1, 1, false, &rebuild);
       }},
      {"open the tail", [](Cell& b) { series::open_tail(&b, 1); }},
      {"the append action", [&](Cell& b) {
         Cell target = b;
         actions::append_typed(&target, &ten, -1, false, 1);
       }},
      {"truncate at the head", [](Cell& b) {
         Cell at_one = b;
         series_cell::set_head(&at_one, 1);
         block::truncate_at_head(&at_one);
       }},
      {"move the tail", [](Cell& b) { buffer_of(b)->set_tail(buffer_of(b)->offset); }},
      {"raw bytes", [](Cell& b) { buffer_of(b)->head()[0] = 0; }},
      {"bind", [&](Cell& b) { context::bind(&b, obj.w1, false); }},
  };
  // A block just loaded has no room to spare, so an append grows it; one with room
  // takes the append's short path.
  for (const char* shape : {"[x 2 3]", "append make block! 10 [x 2 3]"})
    for (const Writer& w : writers) {
      Cell blk = test::eval_value(shape);
      test::HeldCells hold(&blk);
      uint32_t id = prepared::attach(buffer_of(blk), nullptr);
      w.write(blk);
      EXPECT_EQ(buffer_of(blk)->link, LINK_NONE) << w.name << " on " << shape;
      EXPECT_EQ(prepared::form_of(id), nullptr) << w.name << " on " << shape;
    }
}

// Growing a block gives it a new buffer without a link; the old buffer's form dies.
// A big block grows in its own pages, and its form dies all the same.
TEST_F(Prepared, ExpansionStartsTheNewBufferWithoutALink) {
  for (const char* code : {"[1 2 3]", "append make block! 200000 [1 2 3]"}) {
    Cell blk = test::eval_value(code);
    test::HeldCells hold(&blk);
    int form = 0;
    prepared::attach(buffer_of(blk), &form);
    SeriesBuffer* grown = memory::expand_series_copy(buffer_of(blk), 0);
    EXPECT_EQ(grown, buffer_of(blk)) << code;
    EXPECT_EQ(grown->link, LINK_NONE) << code;
    EXPECT_TRUE(was_freed(&form)) << code;
    EXPECT_EQ(grown->cell_count(), 3u) << code;
    EXPECT_EQ(memory::is_big(grown), code[0] == 'a') << code;
  }
}

// What only reads a block keeps its form: the evaluator's view of code, const
// access, a copy of the block, and a collection that marks it without moving it.
TEST_F(Prepared, ReadersKeepTheLink) {
  Cell blk = test::load("1 + 2");
  test::HeldCells hold(&blk);
  int form = 0;
  uint32_t id = prepared::attach(buffer_of(blk), &form);
  interpreter::Code code = interpreter::code_of(&blk);
  EXPECT_EQ(code.at(0)->w2, 1u);
  EXPECT_NE(code.peek(2), nullptr);
  const SeriesBuffer& read = *buffer_of(blk);
  EXPECT_EQ(read.cells()[2].w2, 2u);
  memory::copy_series(buffer_of(blk));
  collector::collect();
  EXPECT_EQ(buffer_of(blk)->link, id);
  EXPECT_EQ(prepared::form_of(id), &form);
  memory::drop_link(buffer_of(blk));
}

// A loop that walks a block only reads it, whether it sets one word or several: a
// block that is data to one loop may be code elsewhere, and keeps its form.
TEST_F(Prepared, ALoopWalkingABlockKeepsItsLink) {
  Cell blk = test::eval_value("walked: [1 + 2]");
  test::HeldCells hold(&blk);
  int form = 0;
  uint32_t id = prepared::attach(buffer_of(blk), &form);
  EXPECT_EQ(test::eval("n: 0 foreach x walked [n: n + 1] foreach [a b] walked [n: n + 10] n"),
            "23");
  EXPECT_EQ(buffer_of(blk)->link, id);
  EXPECT_EQ(prepared::form_of(id), &form);
  memory::drop_link(buffer_of(blk));
}

// --- the collector ----------------------------------------------------------------------

[[gnu::noinline]] Cell block_of_numbers() { return test::load("1 2 3 4"); }

// A buffer that moves keeps its header, link included; the registry hears nothing.
TEST_F(Prepared, ALinkSurvivesABufferMove) {
  Cell blk = block_of_numbers();
  test::HeldCells hold(&blk);
  int form = 0;
  uint32_t id = prepared::attach(buffer_of(blk), &form);
  auto before = reinterpret_cast<uintptr_t>(buffer_of(blk)) ^ 0x5A5A5A5A5A5A5A5Au;
  std::thread([] { collector::collect_moving_all(); }).join();
  auto after = reinterpret_cast<uintptr_t>(buffer_of(blk)) ^ 0x5A5A5A5A5A5A5A5Au;
  EXPECT_NE(before, after) << "the moving collection moved the block";
  EXPECT_EQ(buffer_of(blk)->link, id);
  EXPECT_EQ(prepared::form_of(id), &form);
  EXPECT_FALSE(was_freed(&form));
  memory::drop_link(buffer_of(blk));
}

// Blocks each holding a string: a moving collection moves the strings' nodes and
// rewrites the blocks' cells. Each block loses its link exactly when its cell
// changed (a stray stack word may pin a string's node in place).
[[gnu::noinline]] void make_blocks_of_strings(Cell* out, int n) {
  for (int i = 0; i < n; i++) {
    block::make_at(&out[i], 2);
    Cell s = test::utf8_text("held by a block only");
    block::append(&out[i], &s);
  }
}

TEST_F(Prepared, RewrittenNodeWordsClearTheLink) {
  constexpr int N = 16;
  Cell blocks[N];
  make_blocks_of_strings(blocks, N);
  test::HeldCells hold(blocks, N);
  uint32_t ids[N];
  uint32_t words[N];
  for (int i = 0; i < N; i++) {
    ids[i] = prepared::attach(buffer_of(blocks[i]), nullptr);
    words[i] = std::as_const(*buffer_of(blocks[i])).cells()[0].w2;
  }
  std::thread([] { collector::collect_moving_all(); }).join();
  int changed = 0;
  for (int i = 0; i < N; i++) {
    const SeriesBuffer& b = *buffer_of(blocks[i]);
    bool moved = b.cells()[0].w2 != words[i];
    changed += moved;
    EXPECT_EQ(b.link, moved ? LINK_NONE : ids[i]) << "block " << i;
    EXPECT_EQ(string::to_utf8(&b.cells()[0]), "held by a block only");
  }
  EXPECT_GT(changed, 0) << "nodes reached only through cells move";
  for (Cell& blk : blocks) memory::drop_link(buffer_of(blk));
}

// A block nothing refers to dies in the next collection, and its form with it.
[[gnu::noinline]] void attach_to_garbage(int* form) {
  Cell blk = test::load("1 2 3");
  prepared::attach(buffer_of(blk), form);
}

TEST_F(Prepared, AFormDiesWithItsBuffer) {
  int form = 0;
  attach_to_garbage(&form);
  std::thread([] { collector::collect(); }).join();
  EXPECT_TRUE(was_freed(&form));
}

// --- verify mode ---------------------------------------------------------------------------

// A write that bypasses the barrier (raw_data is the memory manager's own access)
// is what verify mode is there to catch.
TEST_F(Prepared, VerifyModeAbortsOnAMissedBarrier) {
  Cell blk = test::load("1 + 2");
  EXPECT_DEATH(
      {
        prepared::verify = true;
        SeriesBuffer* b = buffer_of(blk);
        prepared::attach(b, nullptr);
        prepared::check(b);   // unchanged: passes
        reinterpret_cast<Cell*>(b->raw_data() + b->offset)[2].w2 = 3;
        prepared::check(b);
      },
      "missed barrier.*position 3: [0-9a-f]+ 00000000 00000002 00000000 -> [0-9a-f]+ 00000000 00000003");
  EXPECT_DEATH(
      {
        prepared::verify = true;
        SeriesBuffer* b = buffer_of(blk);
        prepared::attach(b, nullptr);
        b->tail -= sizeof(Cell);
        prepared::check(b);
      },
      "missed barrier.*length 3 -> 2");
}

}  // namespace
}  // namespace zol
