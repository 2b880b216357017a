// Terminal input decoding: bytes to keys, mouse reports and cursor reports, each
// row also fed split at every byte boundary; the lone ESC's wait; mouse report
// meanings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/event.h"
#include "view/input.h"

namespace zol::view::input {
namespace {

Item key(int32_t k, uint32_t flags = 0) {
  Item i;
  i.key = k;
  i.flags = flags;
  return i;
}
Item special(int32_t k) { return key(k, event::SPECIAL_KEY); }
Item mouse(int32_t code, int32_t column, int32_t row, bool release) {
  Item i;
  i.kind = Kind::MOUSE;
  i.code = code;
  i.column = column;
  i.row = row;
  i.release = release;
  return i;
}
Item cursor(int32_t row, int32_t column) {
  Item i;
  i.kind = Kind::CURSOR;
  i.row = row;
  i.column = column;
  return i;
}

std::vector<Item> decode_parts(const std::vector<std::string>& parts, int64_t step_ms = 0) {
  Decoder d;
  std::vector<Item> out;
  int64_t now = 0;
  for (const std::string& p : parts) {
    d.feed(reinterpret_cast<const uint8_t*>(p.data()), p.size());
    d.process(now, out);
    now += step_ms;
  }
  return out;
}

std::string describe(const std::vector<Item>& items) {
  std::string s;
  for (const Item& i : items)
    s += "{" + std::to_string(int(i.kind)) + " " + std::to_string(i.key) + " " +
         std::to_string(i.flags) + " " + std::to_string(i.code) + " " + std::to_string(i.column) +
         " " + std::to_string(i.row) + " " + std::to_string(i.release) + "}";
  return s;
}

struct Row {
  std::string bytes;
  std::vector<Item> items;
};

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      {"a", {key('a')}},
      {"\xC3\xA9", {key(0xE9)}},
      {"\xF0\x9F\x98\x80", {key(0x1F600)}},
      {"\x1B[A", {special(event::K_UP)}},
      {"\x1B[B\x1B[C\x1B[D", {special(-21), special(-22), special(-23)}},
      {"\x1B[F\x1B[H", {special(-24), special(-25)}},
      {"\x1B[3~\x1B[5~\x1B[6~", {special(-27), special(-28), special(-29)}},
      {"\x1BOP\x1BOQ\x1BOR\x1BOS", {special(-31), special(-32), special(-33), special(-34)}},
      {"\x1B[15~\x1B[17~\x1B[18~\x1B[19~", {special(-35), special(-36), special(-37), special(-38)}},
      {"\x1B[20~\x1B[21~\x1B[23~\x1B[24~", {special(-39), special(-40), special(-41), special(-42)}},
      {"\x1B[Z", {key(9, event::SHIFT)}},
      // Sequences outside the table give nothing: modified arrows, insert, home's
      // other form, an ESC pair.
      {"\x1B[1;5A" "x", {key('x')}},
      {"\x1B[2~\x1B[1~\x1Bx" "y", {key('y')}},
      {"\x08\x0A\x03\x7F\x09\x0D", {key(127), key(13), key(3), key(127), key(9), key(13)}},
      // Strings are skipped whole: a DCS and OSC with either terminator.
      {"\x1BPq#0;1\x1B\\z", {key('z')}},
      {"\x1B]0;title\x1B\\" "z" "\x1B]2;t\x07" "w", {key('z'), key('w')}},
      // SGR mouse: press, release, motion, wheel, modifiers.
      {"\x1B[<0;5;7M", {mouse(0, 5, 7, false)}},
      {"\x1B[<0;5;7m", {mouse(0, 5, 7, true)}},
      {"\x1B[<35;12;3M", {mouse(35, 12, 3, false)}},
      {"\x1B[<64;1;1M\x1B[<65;1;1M", {mouse(64, 1, 1, false), mouse(65, 1, 1, false)}},
      {"\x1B[<30;100;200M", {mouse(30, 100, 200, false)}},
      {"\x1B[12;40R", {cursor(12, 40)}},
      // An ESC inside a sequence ends it; the ESC starts the next.
      {"\x1B[12\x1B[A", {special(-20)}},
      // Bytes no character starts with are the replacement character.
      {"\x80" "a", {key(0xFFFD), key('a')}},
      {"\xC3" "a", {key(0xFFFD), key('a')}},
  };
  return table;
}

TEST(ViewInput, EachRowDecodesWholeAndSplitAtEveryByte) {
  for (const Row& r : rows()) {
    EXPECT_EQ(describe(decode_parts({r.bytes})), describe(r.items)) << r.bytes;
    for (size_t cut = 1; cut < r.bytes.size(); cut++)
      EXPECT_EQ(describe(decode_parts({r.bytes.substr(0, cut), r.bytes.substr(cut)})),
                describe(r.items))
          << r.bytes << " cut at " << cut;
  }
}

TEST(ViewInput, ByteByByteFeedingGivesTheSameItems) {
  for (const Row& r : rows()) {
    std::vector<std::string> parts;
    for (char c : r.bytes) parts.push_back(std::string(1, c));
    EXPECT_EQ(describe(decode_parts(parts, 1)), describe(r.items)) << r.bytes;
  }
}

TEST(ViewInput, LoneEscapeWaitsForMoreBytesThenIsEscape) {
  Decoder d;
  std::vector<Item> out;
  const uint8_t esc = 27;
  d.feed(&esc, 1);
  d.process(1000, out);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(d.escape_waiting());
  d.process(1000 + ESCAPE_WAIT_MS - 1, out);
  EXPECT_TRUE(out.empty());
  // The rest of an arrow arriving in time makes it the arrow.
  d.feed(reinterpret_cast<const uint8_t*>("[A"), 2);
  d.process(1000 + ESCAPE_WAIT_MS - 1, out);
  EXPECT_EQ(describe(out), describe({special(-20)}));
  EXPECT_FALSE(d.escape_waiting());

  out.clear();
  d.feed(&esc, 1);
  d.process(5000, out);
  d.process(5000 + ESCAPE_WAIT_MS, out);
  EXPECT_EQ(describe(out), describe({key(27)}));
  EXPECT_FALSE(d.escape_waiting());
}

TEST(ViewInput, AnUnendingSequenceIsDroppedAtTheLimit) {
  Decoder d;
  std::vector<Item> out;
  std::string noise = "\x1B[" + std::string(SEQUENCE_LIMIT + 10, '1');
  d.feed(reinterpret_cast<const uint8_t*>(noise.data()), noise.size());
  d.process(0, out);
  d.feed(reinterpret_cast<const uint8_t*>("q"), 1);
  d.process(0, out);
  EXPECT_EQ(describe(out), describe({key('q')}));
}

TEST(ViewInput, MouseCodesGiveButtonAndModifiers) {
  struct Case {
    int32_t code;
    int base;
    uint32_t modifiers;
  };
  const Case cases[] = {
      {0, 0, 0},  {1, 1, 0},   {2, 2, 0},  {35, 3, 0},  {32, 0, 0},
      {64, 4, 0}, {65, 5, 0},  {4, 0, event::SHIFT},   {8, 0, event::ALT},
      {16, 0, event::CONTROL}, {28, 0, event::SHIFT | event::ALT | event::CONTROL},
      {69, 5, event::SHIFT},   {51, 3, event::CONTROL},
  };
  for (const Case& c : cases) {
    Mouse m = mouse_of(c.code);
    EXPECT_EQ(m.base, c.base) << c.code;
    EXPECT_EQ(m.modifiers, c.modifiers) << c.code;
  }
}

}  // namespace
}  // namespace zol::view::input
