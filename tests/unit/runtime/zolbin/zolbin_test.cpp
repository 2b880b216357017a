// ZOLBIN: the exact bytes both writers give for small values, round trips of every
// datatype in both encodings (sharing and cycles included), the reader's refusals
// of hand-made malformed images with their positions, the LZ codec, and the boot
// load.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/context.h"
#include "runtime/core/error.h"
#include "runtime/core/root.h"
#include "runtime/core/symbol.h"
#include "runtime/core/values.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/memory/memory.h"
#include "runtime/zolbin/zolbin.h"
#include "support.h"

namespace zol {
namespace {

using Bytes = std::vector<uint8_t>;
using zolbin::Encoding;

Bytes bytes_of(const Cell& binary) {
  SeriesBuffer* b = test::buffer(binary);
  return Bytes(b->head(), b->tail_ptr());
}

Bytes encode(const Cell& v, Encoding e) {
  Cell copy = v;
  return bytes_of(zolbin::encode(&copy, e));
}

// The block a decode into an empty block fills.
Cell decode(const Bytes& image) {
  Cell target = test::load("");
  zolbin::decode(image.data(), image.size(), &target, &values::none);
  return target;
}

Cell first_of(const Cell& block) { return *block::cell_at(&block, 0); }

void set_global(const char* name, const Cell& value) {
  Cell w = context::add_global(symbol::make(name));
  context::set(&w, &value);
}

void le32(Bytes* out, uint32_t v) {
  for (int i = 0; i < 4; i++) out->push_back(uint8_t(v >> (8 * i)));
}

Bytes standard_words(std::initializer_list<uint32_t> words) {
  Bytes out;
  for (uint32_t w : words) le32(&out, w);
  return out;
}

const Bytes MAGIC = {'Z', 'O', 'L', 'B', 'I', 'N'};

// A standard image without symbols around the given record words.
Bytes standard_image(std::initializer_list<uint32_t> records) {
  Bytes out = MAGIC;
  out.push_back(2);
  out.push_back(0);
  le32(&out, 1);
  le32(&out, uint32_t(records.size() * 4));
  for (uint32_t w : records) le32(&out, w);
  return out;
}

// A compact image without symbols around the given records (payload below 128).
Bytes compact_image(const Bytes& records, uint8_t flags = zolbin::FLAG_COMPACT) {
  Bytes out = MAGIC;
  out.push_back(2);
  out.push_back(flags);
  out.push_back(1);
  out.push_back(uint8_t(records.size()));
  out.insert(out.end(), records.begin(), records.end());
  return out;
}

// The records of a compact image written without symbols: after the 10 header
// bytes.
Bytes compact_records(const Bytes& image) {
  EXPECT_EQ(image[7], zolbin::FLAG_COMPACT);
  return Bytes(image.begin() + 10, image.end());
}

std::string raised_with_position(const Bytes& image, int32_t* position) {
  std::string e = test::raised([&] { decode(image); });
  *position = error::last_args[0].is(T_INTEGER) ? cell::get_int(&error::last_args[0]) : -1;
  return e;
}

class Zolbin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { test::boot(); }
};

// --- exact bytes --------------------------------------------------------------------------

TEST_F(Zolbin, StandardImagesOfSmallValues) {
  Bytes five = encode(values::integer(5), Encoding::STANDARD);
  EXPECT_EQ(five, standard_image({11, 5}));
  EXPECT_EQ(five.size(), 24u);
  EXPECT_EQ(encode(test::value("[1 2]"), Encoding::STANDARD),
            standard_image({5, 0, 2, 11, 1, 11, 2}));
  EXPECT_EQ(encode(test::value("1.0"), Encoding::STANDARD), standard_image({12, 0x3FF00000, 0}));
  // The records before the float take 20 bytes: one zero word pads it to 8.
  EXPECT_EQ(encode(test::value("[1 1.0]"), Encoding::STANDARD),
            standard_image({5, 0, 2, 11, 1, 0, 12, 0x3FF00000, 0}));
  Cell itself = test::eval_value("b: [] append/only b b b");
  EXPECT_EQ(encode(itself, Encoding::STANDARD),
            standard_image({5, 0, 1, 5 | 1u << 19, 0, 255, 1, 0}));
}

TEST_F(Zolbin, StandardStringsAreWrittenOncePerBuffer) {
  const uint32_t ab = 'a' | 'b' << 8;
  const uint32_t string1 = 7 | 1u << 8;
  EXPECT_EQ(encode(test::eval_value("s: \"ab\" reduce [s s]"), Encoding::STANDARD),
            standard_image({5, 0, 2, string1, 0, 2, ab, string1 | 1u << 19, 0, 255, 2, 0, 0}));
  EXPECT_EQ(encode(test::eval_value("reduce [\"ab\" \"ab\"]"), Encoding::STANDARD),
            standard_image({5, 0, 2, string1, 0, 2, ab, string1, 0, 2, ab}));
  // A file! over the string's buffer, at its own head.
  Cell pair = test::eval_value("s: \"ab\" reduce [s s]");
  Cell* file = block::cell_at(&pair, 1);
  cell::set_type(file, T_FILE);
  series_cell::set_head(file, 1);
  Bytes image = encode(pair, Encoding::STANDARD);
  EXPECT_EQ(image, standard_image({5, 0, 2, string1, 0, 2, ab, (8 | 1u << 8) | 1u << 19, 1, 255, 2,
                                   0, 0}));
  Cell back = decode(image);
  Cell inner = first_of(back);
  Cell f = *block::cell_at(&inner, 1);
  EXPECT_TRUE(f.is(T_FILE));
  EXPECT_EQ(series_cell::head(&f), 1);
  EXPECT_EQ(series_cell::node(&f), series_cell::node(block::cell_at(&inner, 0)));
}

TEST_F(Zolbin, StandardSymbolTable) {
  Cell a = test::eval_value("[a]");
  Cell global_a = context::add_global(symbol::make("a"));
  Bytes expected = MAGIC;
  expected.push_back(2);
  expected.push_back(zolbin::FLAG_SYMBOLS);
  for (uint32_t w : {1u, 24u, 1u, 8u, 0u}) le32(&expected, w);
  expected.insert(expected.end(), {'a', 0, 0, 0, 0, 0, 0, 0});
  for (uint32_t w : {5u, 0u, 1u, 15u | 1u << 25, 0u, global_a.w3}) le32(&expected, w);
  EXPECT_EQ(encode(a, Encoding::STANDARD), expected);
  // Names of 2 and 1 letters: offsets 0 and 8 in 16 bytes of names.
  Bytes two = encode(test::value("[ab c]"), Encoding::STANDARD);
  EXPECT_EQ(two[7], zolbin::FLAG_SYMBOLS);
  EXPECT_EQ(Bytes(two.begin() + 16, two.begin() + 32), standard_words({2, 16, 0, 8}));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(two.data() + 32), 2), "ab");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(two.data() + 40), 1), "c");
}

TEST_F(Zolbin, CompactRecordsOfScalars) {
  struct Case { const char* source; Bytes records; };
  const double minus_zero = -0.0, half = 0.5, eighth_percent = 0.00125;
  auto raw = [](uint8_t header, double d) {
    Bytes out{header};
    uint8_t b[8];
    std::memcpy(b, &d, 8);
    out.insert(out.end(), b, b + 8);
    return out;
  };
  const Case cases[] = {
      {"0", {0x80}},
      {"63", {0xBF}},
      {"64", {0x0B, 0x80, 0x01}},
      {"-1", {0x0B, 0x01}},
      {"3.0", {0x4C, 0x06}},
      {"-0.0", raw(0x0C, minus_zero)},
      {"0.5", raw(0x0C, half)},
      {"15%", {0x66, 0x1E}},
      {"0.125%", raw(0x26, eighth_percent)},
      {"1.2.3", {0x27, 1, 2, 3}},
      {"1.2.3.4", {0x67, 4, 1, 2, 3, 4}},
      {"make typeset! []", {0x21, 0x00}},
      {"\"abc\"", {0x07, 0x0C, 'a', 'b', 'c'}},
      {"skip \"abc\" 2", {0x47, 0x02, 0x0C, 'a', 'b', 'c'}},
      {"true", {0xC2}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(compact_records(encode(test::eval_value(c.source), Encoding::COMPACT)), c.records)
        << c.source;
}

TEST_F(Zolbin, CompactSharedInnerBlocks) {
  Cell v = test::eval_value("b: [1 2] reduce [b b]");
  Bytes expected = MAGIC;
  expected.insert(expected.end(), {2, 1, 1, 11, 5, 2, 5, 2, 0x81, 0x82, 0xC1, 5, 2, 0, 0});
  Bytes image = encode(v, Encoding::COMPACT);
  EXPECT_EQ(image, expected);
  Cell outer = first_of(decode(image));
  EXPECT_EQ(series_cell::node(block::cell_at(&outer, 0)), series_cell::node(block::cell_at(&outer, 1)));
  // A block that contains itself names the path [0].
  EXPECT_EQ(compact_records(encode(test::eval_value("b: [] append/only b b b"), Encoding::COMPACT)),
            (Bytes{5, 1, 0xC1, 5, 1, 0}));
}

TEST_F(Zolbin, CompactVarintLimits) {
  // Zigzag 0xFFFFFFFF is the smallest integer; a fifth byte above 0x0F is invalid.
  Cell v = first_of(decode(compact_image({0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F})));
  EXPECT_EQ(cell::get_int(&v), INT32_MIN);
  int32_t at = 0;
  EXPECT_EQ(raised_with_position(compact_image({0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0x10}), &at),
            test::error_name(err::script::ZB_INVALID_RECORD));
  EXPECT_EQ(at, 12);
}

// --- round trips --------------------------------------------------------------------------

// Each row is Zol source; its value comes back equal, with its datatype, head and
// new-line markers, from both encodings.
TEST_F(Zolbin, RoundTripsOfEveryDatatype) {
  const char* sources[] = {
      "()", "none", "true", "false", "integer!", "42", "-2147483648", "#\"a\"", "#\"^(1F600)\"",
      "1.5", "-0.0", "1e300", "3.0", "50%", "0.125%", "12:30:15.5", "-1:00", "1-Jan-2000",
      "1-Jan-2000/10:00:30+2:00", "3x-4", "(1.5, -2)", "(1.5, -2, 3e2)", "1.2.3",
      "1.2.3.4.5.6.7.8.9.10.11.12", "make typeset! [integer! string!]", "#issue", "'lit",
      "pick [:get] 1", "/ref", "pick [set:] 1", "[a b: 'c :d /e #f]", "[1 [2 [3]] (4)]",
      "next [1 2 3]", "[1\n2 [\n3]]", "pick [a/b/c] 1", "pick ['a/b] 1", "pick [a/b:] 1",
      "pick [:a/b] 1", "\"abc\"", "next \"h\u00e9llo\"", "\"\u0100B\"", "\"x\U0001F600\"",
      "%dir/file.txt", "http://example.org/x", "<tag a=1>", "me@host.org", "#{DEADBEEF}",
      "skip #{0102} 1", "make vector! [integer! 16 [1 -2 3]]", "make vector! [float! 64 [1.5]]",
      "next make vector! [integer! 8 [65 66]]", "make bitset! \"abc\"", "complement make bitset! \"abc\"",
      "make hash! [a 1 b 2]", "#[a 1 \"b\" [2]]", "make object! [a: 1 b: [x y] c: \"s\"]",
      "func [x /y z] [x + 1]", ":if", ":add", ":+", "make op! func [a b] [a - b]",
      "reduce [:append :append :+ :+]",
      "try [1 / 0]", "make error! [user message \"boom\"]", "$1.5", "-USD$1'000.00001",
      "EUR$0", "-$99999999999999999.99999",
      "make image! [3x2 #{000102030405060708090A0B0C0D0E0F1011} #{00FF7F80FE01}]",
      "skip make image! [2x2 1.2.3.4] 3", "tail make image! [2x1 1.2.3]", "make image! 0x0",
      "make image! 0x5", "make image! 7x0",
  };
  for (const char* source : sources) {
    Cell v = test::eval_value(source);
    for (Encoding e : {Encoding::STANDARD, Encoding::COMPACT}) {
      Cell back = first_of(decode(encode(v, e)));
      EXPECT_EQ(back.type(), v.type()) << source;
      EXPECT_EQ(test::show(back), test::show(v)) << source;
      EXPECT_EQ(test::mold(back, true), test::mold(v, true)) << source;
    }
  }
}

// What the values do after the trip: run, find, share, close their cycles.
TEST_F(Zolbin, RoundTripsKeepBehaviour) {
  struct Case { const char* make; const char* check; const char* expected; };
  const Case cases[] = {
      {"func [x] [x * 2]", "got 21", "42"},
      {"make op! func [a b] [a - b]", "10 got 4", "6"},
      {":append", "got [1] 2", "[1 2]"},
      {"make hash! [a 1 b 2]", "select got 'b", "2"},
      {"m: #[a 1 b 2 c 3] remove/key m 'b m", "reduce [length? got select got 'c]", "[2 3]"},
      {"complement make bitset! \"a\"", "reduce [find got #\"a\" find got #\"z\"]", "[none true]"},
      {"b: [1 2] reduce [b b]", "append got/1 3 got/2", "[1 2 3]"},
      {"s: \"ab\" reduce [s s]", "append got/1 \"c\" got/2", "\"abc\""},
      {"b: [] append/only b b b", "same? got got/1", "true"},
      {"o: make object! [a: 1] o/a: o o", "same? got got/a", "true"},
      {"o: make object! [a: 1 b: 2] reduce [in o 'a in o 'b]",
       "set got/1 5 get got/2 set got/2 7 reduce [get got/1 get got/2]", "[5 7]"},
      {"o: make object! [n: 1 f: func [] [n + 1]] o", "got/f", "2"},
      {"f: func [x] [reduce [x]] :f", "got 3", "[3]"},
      {"o: make object! [a: 1] reduce [o o]", "got/1/a: 9 got/2/a", "9"},
      {"i: make image! [2x1 1.2.3] reduce [i next i]", "poke got/1 2 9.8.7.6 pick got/2 1",
       "9.8.7.6"},
      {"i: make image! [2x1 1.2.3] reduce [i next i]", "reduce [index? got/1 index? got/2]",
       "[1 2]"},
      {"i: make image! 0x3 reduce [i i]", "reduce [got/1/size got/2/size empty? got/2]",
       "[0x3 0x3 true]"},
      {"i: make image! [1x1 1.2.3] reduce [i [x] i]", "poke got/3 1 4.5.6 got/1",
       "make image! [1x1 #{040506}]"},
  };
  for (const Case& c : cases) {
    Cell v = test::eval_value(c.make);
    for (Encoding e : {Encoding::STANDARD, Encoding::COMPACT}) {
      Cell back = first_of(decode(encode(v, e)));
      set_global("got", back);
      EXPECT_EQ(test::eval(c.check), c.expected) << c.make << " / " << c.check;
    }
  }
}

// The bindings of the first two cells after the trip. Two words bound to one
// object: the first carries the object, the second a reference, and both come back
// bound to one new context. A word referring to an op! made from a function takes
// the function's context. A word bound to a context that has no object or function
// to rebuild it from (an error's) comes back global every time.
TEST_F(Zolbin, BindingsComeBackAsTheyWere) {
  struct Case { const char* source; bool one_new_context; };
  const Case cases[] = {
      {"o: make object! [a: 1 b: 2] reduce [in o 'a in o 'b]", true},
      {"f: func [a b] [a - b] o: make op! :f reduce [:o pick body-of :f 1]", true},
      {"e: try [1 / 0] w: bind 'arg1 e reduce [w w]", false},
  };
  for (const Case& c : cases) {
    Cell v = test::eval_value(c.source);
    ASSERT_NE(block::cell_at(&v, 1)->w1, context::global) << c.source;
    for (Encoding e : {Encoding::STANDARD, Encoding::COMPACT}) {
      Cell back = first_of(decode(encode(v, e)));
      NodeRef first = block::cell_at(&back, 0)->w1;
      NodeRef second = block::cell_at(&back, 1)->w1;
      if (c.one_new_context) {
        EXPECT_EQ(first, second) << c.source;
        EXPECT_NE(first, context::global) << c.source;
      } else {
        EXPECT_EQ(first, context::global) << c.source;
        EXPECT_EQ(second, context::global) << c.source;
      }
    }
  }
}

// Settling a pending error! allocates in the middle of the walk, after the shared
// block was recorded: under the collector's stress mode that collection would move
// the block's node, and the reference table would no longer find it, unless the
// table keeps its nodes.
TEST_F(Zolbin, TheReferenceTableKeepsItsNodesAcrossACollection) {
  Cell v = test::eval_value("b: [1 2] reduce [b none b]");
  *block::cell_at(&v, 1) = error::raised(err::math::ZERO_DIVIDE, nullptr, nullptr, nullptr);
  for (Encoding e : {Encoding::STANDARD, Encoding::COMPACT}) {
    Cell back = first_of(decode(encode(v, e)));
    EXPECT_TRUE(block::cell_at(&back, 1)->is(T_ERROR));
    EXPECT_EQ(series_cell::node(block::cell_at(&back, 0)), series_cell::node(block::cell_at(&back, 2)));
  }
}

// Records of the standard encoding that the writer never makes but the reader
// takes: padding runs, a bare context record, a global word's own index ignored,
// a top-level reference record.
TEST_F(Zolbin, StandardRecordsTheWriterDoesNotMake) {
  Cell global_a = context::add_global(symbol::make("a"));
  Bytes words = MAGIC;
  words.insert(words.end(), {2, zolbin::FLAG_SYMBOLS});
  for (uint32_t w : {1u, 24u, 1u, 8u, 0u}) le32(&words, w);
  words.insert(words.end(), {'a', 0, 0, 0, 0, 0, 0, 0});
  for (uint32_t w : {14u, 1u, 0u, 15u | 1u << 25, 0u, 99999u}) le32(&words, w);
  Cell read = decode(words);
  Cell obj = *block::cell_at(&read, 0);
  ASSERT_TRUE(obj.is(T_OBJECT));
  set_global("got", obj);
  EXPECT_EQ(test::eval("reduce [words-of got value? in got 'a]"), "[[a] false]");
  Cell a = *block::cell_at(&read, 1);
  EXPECT_EQ(a.w1, context::global);
  EXPECT_EQ(a.w3, global_a.w3);
  EXPECT_EQ(test::show(decode(standard_image({0, 0, 12, 0x3FF00000, 0, 5, 0, 1, 11, 7, 255, 2, 1, 0}))),
            "@1 [1.0 [7] 7]");
  EXPECT_EQ(test::show(decode(compact_image({0x05, 0x02, 0x81, 0xC0, 0xFF, 0x02, 0x00, 0x00}))),
            "@1 [[1\n1]]");
}

// An image record carries its size and the pixel words as stored (opacity in the
// top byte, so 1.2.3.4 is 0xFB010203); a second cell of the same image is a
// reference with its own head.
TEST_F(Zolbin, ImageRecords) {
  EXPECT_EQ(encode(test::eval_value("make image! [1x1 1.2.3.4]"), Encoding::STANDARD),
            standard_image({53, 0, 0x00010001, 0xFB010203}));
  EXPECT_EQ(compact_records(encode(test::eval_value("make image! [1x1 1.2.3.4]"), Encoding::COMPACT)),
            (Bytes{0x35, 1, 1, 0x03, 0x02, 0x01, 0xFB}));
  EXPECT_EQ(compact_records(encode(test::eval_value("i: make image! [1x1 1.2.3] reduce [i tail i]"),
                                   Encoding::COMPACT)),
            (Bytes{5, 2, 0x35, 1, 1, 0x03, 0x02, 0x01, 0xFF, 0xC1, 0x75, 1, 2, 0, 0}));
  EXPECT_EQ(encode(test::eval_value("make image! 0x2"), Encoding::STANDARD),
            standard_image({53, 0, 0x00020000}));
}

// --- refusals -----------------------------------------------------------------------------

TEST_F(Zolbin, RefusedDatatypesLeaveTheWriterReady) {
  for (uint8_t type : {T_HANDLE, T_ROUTINE, T_TRIPLE, T_PORT, T_CONTEXT}) {
    Cell inside = test::eval_value("reduce [[1 2] none]");
    *block::cell_at(&inside, 1) = Cell{type, 0, 0, 0};
    for (Encoding e : {Encoding::STANDARD, Encoding::COMPACT}) {
      EXPECT_EQ(test::raised([&] { encode(inside, e); }), test::error_name(err::access::NO_CODEC))
          << int(type);
      Cell v = test::eval_value("b: [1 2] reduce [b b]");
      Cell outer = first_of(decode(encode(v, e)));
      EXPECT_EQ(series_cell::node(block::cell_at(&outer, 0)),
                series_cell::node(block::cell_at(&outer, 1)));
    }
  }
  EXPECT_EQ(test::raised([&] { decode(standard_image({T_HANDLE})); }),
            test::error_name(err::access::NO_CODEC));
  EXPECT_EQ(test::raised([&] { decode(compact_image({T_PORT})); }),
            test::error_name(err::access::NO_CODEC));
}

TEST_F(Zolbin, MalformedImagesNameTheirPosition) {
  struct Case { const char* what; Bytes image; int32_t position; };
  const Case cases[] = {
      {"definition prefix in user mode", compact_image({0x80, 0xC4, 0x10, 0}), 12},
      {"lead byte C5", compact_image({0xC5}), 11},
      {"lead byte FE", compact_image({0x80, 0xFE}), 12},
      {"already written before a small integer", compact_image({0xC1, 0x81}), 11},
      {"header id 0", compact_image({0x00}), 11},
      {"logic! as a header byte", compact_image({0x04}), 11},
      {"path of count 0", compact_image({0xFF, 0x00}), 12},
      {"path longer than 65536", compact_image({0xFF, 0x81, 0x80, 0x04, 0}), 12},
      {"path past the cells", compact_image({0x05, 0x01, 0xFF, 0x01, 0x05}), 14},
      {"block count past the input", compact_image({0x05, 0x7F}), 12},
      {"string length past the input", compact_image({0x07, 0x40, 'a'}), 11},
      {"string unit code 3", compact_image({0x07, 0x07, 'a'}), 11},
      {"map with an odd count", compact_image({0x28, 0x01, 0x80}), 12},
      {"symbol without a table", compact_image({0x0F, 0x00}), 12},
      {"tuple of 13", compact_image({0x67, 13, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}), 11},
      {"typeset of 13 bytes", compact_image({0x21, 13}), 11},
      {"money digit above 9", compact_image({0x31, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1A}), 11},
      {"date flag without time", compact_image({0x6F, 0x81, 0x10, 0x00, 0x00}), 11},
      {"image of 0x8000 by 0x8000 (compact)", compact_image({0x35, 0x80, 0x80, 0x02, 0x80, 0x80, 0x02}), 11},
      {"image of 0x8000 by 0x8000", standard_image({53, 0, 0x80008000}), 17},
      {"image pixels past the input", standard_image({53, 0, 0x00010002, 0}), 17},
      {"image side above 65535", compact_image({0x35, 0x80, 0x80, 0x04, 0x00}), 11},
      {"image head past its pixels", compact_image({0x75, 0x02, 0x01, 0x01, 1, 2, 3, 4}), 11},
      {"image sharing a block's series",
       compact_image({0x05, 0x02, 0x05, 0x00, 0xC1, 0x35, 0x02, 0x00, 0x00}), 15},
      {"unknown standard type", standard_image({60}), 17},
      {"standard block count past the input", standard_image({5, 0, 1000}), 17},
      {"context with values on the stack and in the record",
       standard_image({14 | 1u << 29 | 1u << 30, 0}), 17},
      {"native index 0", standard_image({21, 0, 5, 0, 0}), 17},
      {"action index 63", compact_image({0x16, 63, 0x05, 0x00}), 11},
  };
  for (const Case& c : cases) {
    int32_t at = 0;
    EXPECT_EQ(raised_with_position(c.image, &at), test::error_name(err::script::ZB_INVALID_RECORD))
        << c.what;
    EXPECT_EQ(at, c.position) << c.what;
  }
}

TEST_F(Zolbin, BadHeadersAreNotData) {
  const Bytes images[] = {
      {'Z', 'O', 'L', 'B', 'I', 'X', 2, 0, 1, 0, 0, 0, 0, 0, 0, 0},
      {'Z', 'O', 'L', 'B'},
      {'Z', 'O', 'L', 'B', 'I', 'N', 2, 0, 1, 0},                       // standard, no payload size
      {'Z', 'O', 'L', 'B', 'I', 'N', 2, zolbin::FLAG_LZ, 1, 0, 0, 0},  // corrupt LZ stream
  };
  for (const Bytes& image : images)
    EXPECT_EQ(test::raised([&] { decode(image); }), test::error_name(err::script::INVALID_DATA));
}

// --- LZ -----------------------------------------------------------------------------------

// Packs fields least significant bit first into a chunk, for hand-made streams.
struct Bits {
  Bytes out;
  int used = 0;
  void put(int n, uint32_t v) {
    for (int i = 0; i < n; i++, used++) {
      if (used % 8 == 0) out.push_back(0);
      out.back() |= uint8_t((v >> i & 1) << (used % 8));
    }
  }
};

Bytes lz_stream(uint32_t total, std::initializer_list<std::pair<uint32_t, Bytes>> chunks) {
  Bytes data;
  for (const auto& [length, bits] : chunks) {
    le32(&data, length);
    data.insert(data.end(), bits.begin(), bits.end());
  }
  Bytes out;
  le32(&out, uint32_t(data.size()));
  le32(&out, total);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

TEST_F(Zolbin, LzStreamsByHand) {
  Bits three;
  for (uint8_t c : {'x', 'y', 'z'}) three.put(9, uint32_t(c) << 1);
  EXPECT_EQ(three.out.size(), 4u);
  Bits run;   // one literal, then a match of 10 at distance 1: n = 7, prefix 01
  run.put(9, uint32_t('a') << 1);
  run.put(1, 1);
  run.put(2, 2);   // stream order 0 then 1
  run.put(2, 3);
  run.put(4, 0);
  run.put(3, 0);
  struct Case { Bytes stream; bool ok; std::string out; };
  const Case cases[] = {
      {lz_stream(3, {{3, three.out}}), true, "xyz"},
      {lz_stream(11, {{11, run.out}}), true, "aaaaaaaaaaa"},
      {lz_stream(0, {}), true, ""},
      {lz_stream(0, {{0, three.out}}), false, ""},
      {lz_stream(0x100001, {{0x100001, three.out}}), false, ""},
      {lz_stream(4, {{4, three.out}}), false, ""},      // the bits end before the 4th byte
      {lz_stream(12, {{12, run.out}}), false, ""},      // the match passes the chunk
      {lz_stream(0, {{11, run.out}}), false, ""},       // more than the stated total
  };
  for (const Case& c : cases) {
    Bytes out;
    EXPECT_EQ(zolbin::lz::decompress(c.stream.data(), c.stream.size(), &out), c.ok) << c.out;
    if (c.ok) {
      EXPECT_EQ(std::string(out.begin(), out.end()), c.out);
    }
  }
  Bytes cut = lz_stream(3, {{3, three.out}});
  cut.resize(cut.size() - 2);
  Bytes out;
  EXPECT_FALSE(zolbin::lz::decompress(cut.data(), cut.size(), &out));
}

TEST_F(Zolbin, LzRoundTripsACorpus) {
  std::vector<Bytes> corpus;
  std::string text;
  for (int i = 0; i < 2000; i++) text += "value " + std::to_string(i * 7919 % 1000) + " ";
  corpus.emplace_back(text.begin(), text.end());
  Bytes noise(5000);
  uint32_t seed = 12345;
  for (uint8_t& b : noise) b = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
  corpus.push_back(noise);
  corpus.emplace_back(zolbin::lz::MAX_CHUNK + 1, 0);
  corpus.emplace_back(128, 'q');
  for (const Bytes& input : corpus) {
    Bytes packed = zolbin::lz::compress(input.data(), input.size());
    if (packed.empty()) {
      EXPECT_EQ(&input, &corpus[1]);   // noise does not shrink
      continue;
    }
    Bytes out;
    ASSERT_TRUE(zolbin::lz::decompress(packed.data(), packed.size(), &out));
    EXPECT_EQ(out, input);
  }
  Bytes zeros(zolbin::lz::MAX_CHUNK + 1, 0);
  Bytes packed = zolbin::lz::compress(zeros.data(), zeros.size());
  // The second chunk holds the one byte left.
  EXPECT_EQ(Bytes(packed.end() - 6, packed.end() - 2), (Bytes{1, 0, 0, 0}));
  EXPECT_TRUE(zolbin::lz::compress(zeros.data(), 127).empty());
}

TEST_F(Zolbin, ImagesWithACompressedPayloadReadBack) {
  Cell v = test::eval_value("b: [] repeat i 200 [append b reduce [i \"text\" 'word]] b");
  for (Encoding e : {Encoding::STANDARD, Encoding::COMPACT}) {
    Bytes image = encode(v, e);
    Bytes packed = zolbin::lz::compress(image.data() + 8, image.size() - 8);
    ASSERT_FALSE(packed.empty());
    Bytes lz(image.begin(), image.begin() + 8);
    lz[7] |= zolbin::FLAG_LZ;
    lz.insert(lz.end(), packed.begin(), packed.end());
    EXPECT_EQ(test::show(first_of(decode(lz))), test::show(v));
  }
}

// --- boot load ----------------------------------------------------------------------------

Bytes boot_image(const std::string& name, const Bytes& records) {
  Bytes out = MAGIC;
  out.insert(out.end(), {1, zolbin::FLAG_COMPACT | zolbin::FLAG_SYMBOLS, 1,
                         uint8_t(records.size()), 1, uint8_t(name.size() + 1), 0, 0, 0, 0});
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0);
  out.insert(out.end(), records.begin(), records.end());
  return out;
}

TEST_F(Zolbin, BootDefinitionsLeaveNothingBehind) {
  uint32_t before = memory::buffer_of(runtime::root_block)->length();
  for (const char* name : {"unset!", "zolbin-probe"}) {
    zolbin::boot_load(boot_image(name, {0xC4, 0x10, 0x00, 0x01, 0x02}).data(), 0xFFFF, true);
    EXPECT_EQ(memory::buffer_of(runtime::root_block)->length(), before);
    EXPECT_EQ(test::eval(std::string("get '") + name), "unset!") << name;
  }
  // The standard encoding's definition: a set-word with bit 25, global context
  // (-1), index to look up (-1), then its value.
  Bytes standard = MAGIC;
  standard.insert(standard.end(), {1, zolbin::FLAG_SYMBOLS});
  for (uint32_t w : {1u, 24u, 1u, 8u, 0u}) le32(&standard, w);
  const std::string name = "zolbin-std";
  standard.insert(standard.end(), name.begin(), name.end());
  standard.insert(standard.end(), 16 - name.size(), 0);
  standard[20] = 16;   // the names area: 16 bytes
  for (uint32_t w : {16u | 1u << 25, 0u, ~0u, ~0u, 1u, 2u}) le32(&standard, w);
  zolbin::boot_load(standard.data(), standard.size(), true);
  EXPECT_EQ(memory::buffer_of(runtime::root_block)->length(), before);
  EXPECT_EQ(test::eval("get 'zolbin-std"), "unset!");
  EXPECT_EQ(test::raised([&] {
              zolbin::boot_load(boot_image("x", {0xC4, 0x80}).data(), 17 + 2, true);
            }),
            test::error_name(err::script::ZB_INVALID_RECORD));
}

TEST_F(Zolbin, BootNativeKeepsItsSpec) {
  NodeRef root = runtime::root_block;
  uint32_t before = memory::buffer_of(root)->length();
  Bytes image = boot_image("x", {0x15, 0x01, 0x05, 0x01, 0x0F, 0x00});
  int32_t base = zolbin::boot_load(image.data(), image.size(), false);
  EXPECT_EQ(base, int32_t(before));
  EXPECT_EQ(zolbin::literal_base(), int32_t(before));
  ASSERT_EQ(memory::buffer_of(root)->length(), before + 2);
  EXPECT_TRUE(memory::buffer_of(root)->cells()[before].is(T_NATIVE));
  EXPECT_TRUE(memory::buffer_of(root)->cells()[before + 1].is(T_BLOCK));
  memory::buffer_of(root)->tail -= 2 * sizeof(Cell);
}

}  // namespace
}  // namespace zol
