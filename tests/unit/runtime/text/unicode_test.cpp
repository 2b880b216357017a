// Text codecs: UTF-8 and UTF-16LE in and out, the two UTF-8 decoders against the
// table of well-formed sequences, and the single-byte code page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "runtime/datatypes/string/string.h"
#include "runtime/core/error.h"
#include "runtime/text/unicode.h"
#include "support.h"

namespace zol {
namespace {

using Bytes = std::string;

const std::string invalid_utf8 = test::error_name(err::access::INVALID_UTF8);
const std::string invalid_data = test::error_name(err::script::INVALID_DATA);
const std::string invalid_char = test::error_name(err::script::INVALID_CHAR);

const uint8_t* bytes_of(const Bytes& b) { return reinterpret_cast<const uint8_t*>(b.data()); }

Bytes utf8(const std::u32string& text) {
  Bytes out;
  uint8_t sequence[4];
  for (char32_t cp : text) out.append(reinterpret_cast<char*>(sequence), size_t(unicode::cp_to_utf8(cp, sequence)));
  return out;
}

Bytes utf16le(const std::u16string& units) {
  Bytes out;
  for (char16_t u : units) {
    out += char(u & 0xFF);
    out += char(u >> 8);
  }
  return out;
}

// The string from its head through to_utf8 (which may hold NUL bytes).
Bytes utf8_of(const Cell& s) {
  int32_t length = -1;
  const char* p = unicode::to_utf8(&s, &length);
  return Bytes(p, size_t(length));
}

Cell load(const Bytes& b, int encoding = string::ENCODING_UTF8) {
  Cell c;
  string::load(bytes_of(b), uint32_t(b.size()), &c, encoding);
  return c;
}

Cell load_utf16(const Bytes& b, bool crlf = false) {
  Cell c;
  string::make_at(&c, 0);
  unicode::load_utf16(bytes_of(b), uint32_t(b.size() / 2), &c, crlf);
  return c;
}

// The well-formed UTF-8 sequences, as the Unicode standard tabulates them: a lead
// byte range, the range its second byte must fall in, and the length. Every later
// byte is 80-BF.
struct WellFormedRow {
  uint8_t lead_low, lead_high, second_low, second_high;
  int length;
};
constexpr WellFormedRow WELL_FORMED[] = {
    {0x00, 0x7F, 0, 0, 1},       {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
    {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
    {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
};

// What the table says of the n bytes at s: the length of the well-formed sequence
// they start with (> 0), a prefix that more bytes could complete (0), or ill-formed
// bytes (-1).
int classify(const uint8_t* s, int n) {
  for (const WellFormedRow& row : WELL_FORMED) {
    if (s[0] < row.lead_low || s[0] > row.lead_high) continue;
    for (int i = 1; i < row.length && i < n; i++) {
      uint8_t low = i == 1 ? row.second_low : 0x80, high = i == 1 ? row.second_high : 0xBF;
      if (s[i] < low || s[i] > high) return -1;
    }
    return n >= row.length ? row.length : 0;
  }
  return -1;
}

uint32_t decode_reference(const uint8_t* s, int length) {
  if (length == 1) return s[0];
  uint32_t cp = s[0] & (0x7F >> length);
  for (int i = 1; i < length; i++) cp = cp << 6 | (s[i] & 0x3F);
  return cp;
}

void check_fast_decoder(const uint8_t* s, int n) {
  int expected = classify(s, n);
  uint32_t cp = 0;
  const uint8_t* next = unicode::decode_utf8_char(s, s + n, &cp);
  if (expected > 0) {
    ASSERT_EQ(cp, decode_reference(s, expected)) << std::hex << int(s[0]) << " " << int(s[1]);
    ASSERT_EQ(next, s + expected);
  } else {
    ASSERT_EQ(cp, unicode::INVALID) << std::hex << int(s[0]) << " " << int(s[1]) << " " << int(s[2]);
    ASSERT_GT(next, s);
    ASSERT_LE(next, s + n);
  }
}

void check_validating_decoder(const uint8_t* s, int n) {
  int expected = classify(s, n);
  uint32_t available = uint32_t(n);
  int32_t cp = -2;
  std::string error = test::raised([&] { cp = unicode::decode_utf8_char_checked(s, &available); });
  if (expected > 0) {
    ASSERT_EQ(error, "");
    ASSERT_EQ(uint32_t(cp), decode_reference(s, expected));
    ASSERT_EQ(available, uint32_t(expected));
  } else if (expected == 0) {
    ASSERT_EQ(error, "");
    ASSERT_EQ(cp, -1) << std::hex << int(s[0]) << " " << int(s[1]);
  } else {
    ASSERT_EQ(error, invalid_utf8) << std::hex << int(s[0]) << " " << int(s[1]) << " " << int(s[2]);
  }
}

// Past the second byte only being a continuation byte matters: these probe both
// edges of the continuation range.
const std::vector<uint8_t> EDGE_BYTES = {0x7F, 0x80, 0xBF, 0xC0};

std::vector<uint8_t> every_byte() {
  std::vector<uint8_t> all;
  for (int c = 0; c < 256; c++) all.push_back(uint8_t(c));
  return all;
}

// The second bytes to try: all of them, or under the collector's stress mode (a
// full collection on every allocation, and each refused sequence allocates its
// error) the bytes at every boundary of the second-byte ranges.
std::vector<uint8_t> second_bytes() {
  if (!std::getenv("ZOL_GC_STRESS")) return every_byte();
  return {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
}

// Calls check(s, n) on every sequence of one byte, on two-byte sequences with
// every lead byte and each of `seconds`, and on the longer ones with `thirds` as
// third bytes and EDGE_BYTES as fourth bytes.
void for_each_sequence(const std::vector<uint8_t>& thirds, void (*check)(const uint8_t*, int),
                       const std::vector<uint8_t>& seconds = every_byte()) {
  uint8_t s[4] = {};
  for (int a = 0; a < 256; a++) {
    s[0] = uint8_t(a);
    check(s, 1);
    for (uint8_t b : seconds) {
      if (::testing::Test::HasFatalFailure()) return;
      s[1] = b;
      check(s, 2);
      if (a < 0xE0) continue;
      for (uint8_t c : thirds) {
        s[2] = c;
        check(s, 3);
        if (a < 0xF0) continue;
        for (uint8_t d : EDGE_BYTES) {
          s[3] = d;
          check(s, 4);
        }
      }
    }
  }
}

TEST(Utf8Decoders, FastDecoderAgreesWithTheTableOnEverySequence) {
  for_each_sequence(every_byte(), check_fast_decoder);
}

TEST(Utf8Decoders, ValidatingDecoderAgreesWithTheTable) {
  for_each_sequence(EDGE_BYTES, check_validating_decoder, second_bytes());
}

TEST(Utf8Decoders, NeverReadPastTheEnd) {
  // Each cut of a valid sequence lies alone in a heap block of its exact size, so a
  // read past the end is reported by AddressSanitizer.
  for (const Bytes& whole : {Bytes("\xC3\xA9"), Bytes("\xE2\x82\xAC"), Bytes("\xF0\x9F\x98\x80")}) {
    for (size_t cut = 1; cut < whole.size(); cut++) {
      std::unique_ptr<uint8_t[]> exact(new uint8_t[cut]);
      std::memcpy(exact.get(), whole.data(), cut);
      uint32_t cp = 0;
      EXPECT_EQ(unicode::decode_utf8_char(exact.get(), exact.get() + cut, &cp), exact.get() + cut);
      EXPECT_EQ(cp, unicode::INVALID);
      uint32_t available = uint32_t(cut);
      EXPECT_EQ(unicode::decode_utf8_char_checked(exact.get(), &available), -1);
      EXPECT_EQ(unicode::count_utf8_chars(exact.get(), exact.get() + cut), 1);
      EXPECT_EQ(unicode::skip_utf8_chars(exact.get(), exact.get() + cut, 3), exact.get() + cut);
    }
  }
  uint32_t cp = 0;
  const uint8_t* nothing = bytes_of("");
  EXPECT_EQ(unicode::decode_utf8_char(nothing, nothing, &cp), nothing);
  EXPECT_EQ(cp, unicode::INVALID);
}

TEST(Utf8Decoders, CountAndSkipBySequence) {
  Bytes text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
  const uint8_t* p = bytes_of(text);
  EXPECT_EQ(unicode::count_utf8_chars(p, p + text.size()), 5);
  EXPECT_EQ(unicode::skip_utf8_chars(p, p + text.size(), 3), p + 6);
  EXPECT_EQ(unicode::skip_utf8_chars(p, p + text.size(), 0), p);
  EXPECT_EQ(unicode::utf8_char_size(0x41), 0);
  EXPECT_EQ(unicode::utf8_char_size(0x80), 0);
  EXPECT_EQ(unicode::utf8_char_size(0xC3), 2);
  EXPECT_EQ(unicode::utf8_char_size(0xEF), 3);
  EXPECT_EQ(unicode::utf8_char_size(0xFF), 4);
}

TEST(Utf8Loader, InvalidInputIsReportedWithTheBytesAtThePosition) {
  struct Case {
    const char* what;
    Bytes input;
    Bytes reported;   // the binary! argument: up to four bytes from the bad sequence
  };
  const Case cases[] = {
      {"overlong slash", "/a/\xC0\xAF", "\xC0\xAF"},
      {"overlong three bytes", "\xE0\x80\xAF", "\xE0\x80\xAF"},
      {"overlong four bytes", "x\xF0\x80\x80\xAFyz", "\xF0\x80\x80\xAF"},
      {"high surrogate", "\xED\xA0\x80", "\xED\xA0\x80"},
      {"low surrogate", "\xED\xB0\x80", "\xED\xB0\x80"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},
      {"five-byte lead", "\xF8\x88\x80\x80\x80", "\xF8\x88\x80\x80"},
      {"lone continuation", "ab\x80", "\x80"},
      {"cut by a letter", "\xE2\x82" "A", "\xE2\x82" "A"},
      {"cut by the end", "ok\xE2\x82", "\xE2\x82"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(test::raised([&] { load(c.input); }), invalid_utf8) << c.what;
    EXPECT_EQ(test::binary_bytes(error::last_args[0]), c.reported) << c.what;
  }
}

TEST(Utf8Loader, CutInputStopsAndReportsWhatIsLeft) {
  Bytes input = "ab\xF0\x9F\x98";
  uint32_t remain = 0;
  Cell c;
  string::make_at(&c, 0);
  unicode::load_utf8_buffer(bytes_of(input), uint32_t(input.size()), &c, &remain, false);
  EXPECT_EQ(test::chars(c), U"ab");
  EXPECT_EQ(remain, 3u);
}

TEST(Utf8Loader, PicksTheNarrowestUnit) {
  struct Case {
    Bytes input;
    std::u32string text;
    uint32_t unit;
  };
  const Case cases[] = {
      {"\xC3\xA9", U"\u00E9", 1},                          // Latin-1 alone stays one byte wide
      {"\xC3\xA9\xE2\x82\xAC", U"\u00E9\u20AC", 2},
      {"a\xF0\x9F\x98\x80", U"a\U0001F600", 4},
      {"\xEF\xBB\xBF", U"", 1},                            // a byte-order mark alone is empty
      {"\xEF\xBB\xBFhi", U"hi", 1},
      {"", U"", 1},
  };
  for (const Case& c : cases) {
    Cell s = load(c.input);
    EXPECT_EQ(test::chars(s), c.text);
    EXPECT_EQ(test::unit(s), c.unit);
  }
}

TEST(Utf8Loader, TargetKeepsItsUnit) {
  Cell target = test::text(U"\u20AC\u20AC\u20AC");
  Bytes input = "abcdefgh";
  unicode::load_utf8(bytes_of(input), uint32_t(input.size()), &target);
  EXPECT_EQ(test::chars(target), U"abcdefgh");
  EXPECT_EQ(test::unit(target), 2u);
}

TEST(LineEnds, Utf8FoldsCrLfAndUtf16DropsEveryCr) {
  Bytes input = "a\r\nb\rc";
  Cell s;
  string::make_at(&s, 0);
  unicode::load_utf8_buffer(bytes_of(input), uint32_t(input.size()), &s, nullptr, true);
  EXPECT_EQ(test::chars(s), U"a\nb\nc");
  EXPECT_EQ(test::chars(load_utf16(utf16le(u"a\r\nb\rc"), true)), U"a\nbc");
  EXPECT_EQ(test::chars(load_utf16(utf16le(u"a\r\nb\rc"), false)), U"a\r\nb\rc");
}

// Text is read a run of ASCII bytes at a time, eight bytes a step: whatever
// breaks a run (a wider character, a CR to fold, a bad or cut sequence) must be
// found at every offset into a step, and what follows it read on.
TEST(Utf8Loader, AsciiRunsBrokenAtEveryOffset) {
  struct Break {
    const char* what;
    Bytes bytes;
    std::u32string text;   // what the break reads as (with CR LF folding)
    uint32_t unit;
  };
  const Break breaks[] = {
      {"Latin-1", "\xC3\xA9", U"\u00E9", 1},
      {"widening to two bytes", "\xE2\x82\xAC", U"\u20AC", 2},
      {"widening to four bytes", "\xF0\x9F\x98\x80", U"\U0001F600", 4},
      {"CR LF", "\r\n", U"\n", 1},
      {"lone CR", "\r", U"\n", 1},
  };
  for (const Break& b : breaks) {
    for (size_t before = 0; before <= 17; before++) {
      Bytes input = Bytes(before, 'a') + b.bytes + Bytes(19 - before, 'b');
      std::u32string want = std::u32string(before, U'a') + b.text + std::u32string(19 - before, U'b');
      Cell s;
      string::make_at(&s, 0);
      unicode::load_utf8_buffer(bytes_of(input), uint32_t(input.size()), &s, nullptr, true);
      EXPECT_EQ(test::chars(s), want) << b.what << " after " << before;
      EXPECT_EQ(test::unit(s), b.unit) << b.what << " after " << before;
    }
  }
  for (size_t before = 0; before <= 17; before++) {
    Bytes run(before, 'a');
    EXPECT_EQ(test::raised([&] { load(run + "\x80" + "bbbbbbbbb"); }), invalid_utf8) << before;
    EXPECT_EQ(test::binary_bytes(error::last_args[0]), "\x80" "bbb") << before;   // four bytes from it
    Bytes cut = run + "\xF0\x9F\x98";
    uint32_t remain = 0;
    Cell c;
    string::make_at(&c, 0);
    unicode::load_utf8_buffer(bytes_of(cut), uint32_t(cut.size()), &c, &remain, false);
    EXPECT_EQ(test::chars(c), std::u32string(before, U'a')) << before;
    EXPECT_EQ(remain, 3u) << before;
    Bytes bad = run + "\xFF" + Bytes(9, 'b');
    unicode::repair_utf8(&bad);
    EXPECT_EQ(bad, run + "\xEF\xBF\xBD" + Bytes(9, 'b')) << before;
  }
}

TEST(Utf8Writer, KnownEncodings) {
  struct Case {
    uint32_t cp;
    Bytes bytes;
  };
  const Case cases[] = {
      {0x00, Bytes("\0", 1)}, {0x7F, "\x7F"},       {0x80, "\xC2\x80"},          {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"}, {0xFFFF, "\xEF\xBF\xBF"}, {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8(std::u32string(1, char32_t(c.cp))), c.bytes) << std::hex << c.cp;
    EXPECT_EQ(unicode::cp_to_utf8_size(c.cp), int(c.bytes.size()));
  }
  uint8_t out[4] = {};
  EXPECT_EQ(test::raised([&] { unicode::cp_to_utf8(0x110000, out); }), invalid_char);
  EXPECT_EQ(test::raised([] { unicode::cp_to_utf8_size(0x110000); }), invalid_char);
}

TEST(Utf8Writer, LimitedWritesCutTheSequence) {
  uint8_t out[4] = {0, 0, 0, 0};
  EXPECT_EQ(unicode::cp_to_utf8_limited(0x1F600, out, 2), 2);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(out), 4), Bytes("\xF0\x9F\0\0", 4));
  EXPECT_EQ(unicode::cp_to_utf8_limited(0x1F600, out, 0), 0);
  EXPECT_EQ(unicode::cp_to_utf8_limited('a', out, 3), 1);

  Cell s = test::text(U"a\u00E9\u20AC");   // 1 + 2 + 3 bytes
  uint8_t buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(unicode::to_utf8_buffer_limited(&s, buffer, 5, -1, true), 4u);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(buffer), 6), Bytes("a\xC3\xA9\xE2\0#", 6));
  EXPECT_EQ(unicode::to_utf8_buffer(&s, buffer, 2, true), 3u);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(buffer), 4), Bytes("a\xC3\xA9\0", 4));
}

TEST(Utf8Writer, FromTheHeadWithLengthAndLineEnds) {
  Cell s = test::text(U"x\na\u20AC\n");
  series_cell::set_head(&s, 1);
  int32_t length = -1;
  EXPECT_EQ(Bytes(unicode::to_utf8(&s, &length)), "\na\xE2\x82\xAC\n");
  EXPECT_EQ(length, 6);
  length = 2;
  EXPECT_EQ(Bytes(unicode::to_utf8_crlf(&s, &length, true)), "\r\na");
  EXPECT_EQ(length, 3);
  SeriesBuffer* b = test::buffer(s);
  EXPECT_EQ(unicode::utf8_size_of_units(b->head(), b->tail_ptr(), b->unit()), 7);
}

// Code points of one class each: all of ASCII and Latin-1, a spread over the rest
// of the basic plane (no surrogates) and over the supplementary planes, edges
// included.
std::u32string code_point_class(int which) {
  std::u32string out;
  auto range = [&](uint32_t from, uint32_t to, uint32_t step) {
    for (uint32_t cp = from; cp <= to; cp += step)
      if (cp < 0xD800 || cp > 0xDFFF) out += char32_t(cp);
    out += char32_t(to);
  };
  switch (which) {
    case 0: range(0, 0x7F, 1); break;
    case 1: range(0x80, 0xFF, 1); break;
    case 2: range(0x100, 0xFFFF, 97); out += U"\u07FF\u0800\uD7FF\uE000\uFFFD"; break;
    default: range(0x10000, 0x10FFFF, 4099); out += U"\U0001F600"; break;
  }
  return out;
}

TEST(RoundTrip, EveryClassThroughEveryUnitAndBothEncodings) {
  std::u32string text;
  for (int which = 0; which < 4; which++) {
    text += code_point_class(which);               // each step widens the load mid-way
    uint32_t narrowest = which < 2 ? 1 : which == 2 ? 2 : 4;
    for (uint32_t unit : {1u, 2u, 4u}) {
      if (unit < narrowest) continue;
      Cell stored = test::text_of_unit(text, unit);
      ASSERT_EQ(test::unit(stored), unit);
      Bytes out = utf8_of(stored);
      ASSERT_EQ(out, utf8(text)) << "class " << which << " unit " << unit;
      Cell back = load(out);
      EXPECT_EQ(test::chars(back), text);
      EXPECT_EQ(test::unit(back), narrowest);

      int32_t length = -1;
      const uint8_t* units = unicode::to_utf16_len(&stored, &length, false);
      ASSERT_NE(units, nullptr);
      Bytes wide(reinterpret_cast<const char*>(units), size_t(length) * 2);
      Cell back16 = load(wide, string::ENCODING_UTF16LE);
      EXPECT_EQ(test::chars(back16), text);
      EXPECT_EQ(test::unit(back16), narrowest);
    }
  }
}

TEST(RoundTrip, WideningInTheMiddleOfAnEdit) {
  Cell s = load("hello world");
  SeriesBuffer* b = test::buffer(s);
  b = string::insert_char(b, 5, 0x3A9);
  EXPECT_EQ(b->unit(), 2u);
  b = string::set_char_at(b, 0, 0x1F600);
  EXPECT_EQ(b->unit(), 4u);
  b = string::append_char(b, 0xE9);
  string::remove_char(b, 1);
  std::u32string expected = U"\U0001F600llo\u03A9 world\u00E9";
  EXPECT_EQ(test::chars(s), expected);
  EXPECT_EQ(test::chars(load(utf8_of(s))), expected);
  int32_t length = -1;
  const uint8_t* units = unicode::to_utf16_len(&s, &length, false);
  EXPECT_EQ(test::chars(load(Bytes(reinterpret_cast<const char*>(units), size_t(length) * 2),
                             string::ENCODING_UTF16LE)),
            expected);
}

TEST(Utf16, SurrogatePairsAndUnits) {
  uint8_t out[4];
  EXPECT_EQ(unicode::cp_to_utf16(0x1F600, out), 2);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(out), 4), utf16le(u"\xD83D\xDE00"));
  EXPECT_EQ(unicode::cp_to_utf16(0x41, out), 1);
  EXPECT_EQ(unicode::cp_to_utf16(0x110000, out), 0);

  struct Case {
    std::u16string units;
    uint32_t unit;
  };
  for (const Case& c : {Case{u"ab", 1}, Case{u"a\u00FF", 1}, Case{u"a\u0100", 2}, Case{u"\xDC00", 4},
                        Case{u"\xD83D\xDE00", 4}, Case{u"", 1}}) {
    Bytes b = utf16le(c.units);
    EXPECT_EQ(unicode::utf16_unit_needed(bytes_of(b), uint32_t(c.units.size())), c.unit);
  }
  EXPECT_EQ(test::chars(load_utf16(utf16le(u"a\xD83D\xDE00z"))), U"a\U0001F600z");

  Cell s = test::text(U"a\n\U0001F600");
  SeriesBuffer* b = test::buffer(s);
  EXPECT_EQ(unicode::utf16_extra_size(b->head(), b->tail_ptr(), b->unit()), 4);
  int32_t length = -1;
  const uint8_t* units = unicode::to_utf16_len(&s, &length, true);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(Bytes(reinterpret_cast<const char*>(units), 12), utf16le(u"a\r\n\xD83D\xDE00") + Bytes("\0\0", 2));
  EXPECT_EQ(Bytes(reinterpret_cast<const char*>(unicode::to_utf16(&s)), 8), utf16le(u"a\n\xD83D\xDE00"));

  uint8_t latin[8];
  unicode::latin1_to_utf16("\xE9x", latin);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(latin), 6), utf16le(u"\u00E9x") + Bytes("\0\0", 2));
}

TEST(Utf16, BeyondTheLastCodePointGivesNull) {
  Cell s = test::text(U"ab\U0001F600");
  string::put_char(test::buffer(s)->head() + 4, 4, 0x110000);
  int32_t length = -1;
  EXPECT_EQ(unicode::to_utf16_len(&s, &length, false), nullptr);
}

TEST(Utf16, BadSurrogatesRaiseBeforeWriting) {
  for (const std::u16string& bad : {std::u16string(u"a\xD83D"), std::u16string(u"\xD83Dz"),
                                    std::u16string(u"\xDE00\xD83D"), std::u16string(u"ab\xDC00")}) {
    Cell target = test::text(U"kept");
    Bytes b = utf16le(bad);
    EXPECT_EQ(test::raised([&] { unicode::load_utf16(bytes_of(b), uint32_t(bad.size()), &target, false); }),
              invalid_data);
    EXPECT_EQ(test::chars(target), U"kept");
  }
  EXPECT_EQ(test::raised([] { load(Bytes("a\0b", 3), string::ENCODING_UTF16LE); }), invalid_data)
      << "an odd byte count leaves half a unit";
}

TEST(CodePage1251, MapsTheHighHalfAndWidensWhenNeeded) {
  Bytes input = "A\x80\x82\x88\xC0\xFF\x98";
  Cell s;
  s.w2 = unicode::load_cp1251(bytes_of(input), uint32_t(input.size()), nullptr, false);
  s.header = T_STRING;
  s.w1 = s.w3 = 0;
  EXPECT_EQ(test::chars(s), U"A\u0402\u201A\u20AC\u0410\u044F\u0098");
  EXPECT_EQ(test::unit(s), 2u);

  Bytes latin = "\xA0\xA9\r\n";
  s.w2 = unicode::load_cp1251(bytes_of(latin), uint32_t(latin.size()), nullptr, true);
  EXPECT_EQ(test::chars(s), U"\u00A0\u00A9\n");
  EXPECT_EQ(test::unit(s), 1u);

  // Runs of ASCII around a character that widens the string, and a CR LF to fold.
  Bytes runs = "abcdefghij\x88klmnopqrstu\r\nvwxyz0123";
  s.w2 = unicode::load_cp1251(bytes_of(runs), uint32_t(runs.size()), nullptr, true);
  EXPECT_EQ(test::chars(s), U"abcdefghij\u20ACklmnopqrstu\nvwxyz0123");
  EXPECT_EQ(test::unit(s), 2u);
}

TEST(WideningInPlace, ConvertersKeepTheText) {
  struct Case {
    SeriesBuffer* (*convert)(SeriesBuffer*);
    std::u32string text;
    uint32_t from, to;
  };
  const Case cases[] = {
      {unicode::latin1_to_ucs2, U"h\u00E9llo", 1, 2},
      {unicode::latin1_to_ucs4, U"h\u00E9llo", 1, 4},
      {unicode::ucs2_to_ucs4, U"\u20ACuro", 2, 4},
      {unicode::latin1_to_ucs2, U"", 1, 2},
  };
  for (const Case& c : cases) {
    Cell s = test::text_of_unit(c.text, c.from);
    SeriesBuffer* b = c.convert(test::buffer(s));
    EXPECT_EQ(b, test::buffer(s)) << "the node follows the converted buffer";
    EXPECT_EQ(b->unit(), c.to);
    EXPECT_EQ(test::chars(s), c.text);
  }
}

}  // namespace
}  // namespace zol
