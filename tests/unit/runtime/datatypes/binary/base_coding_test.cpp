// Base coding: enbase and debase in every base as Zol source, and the encoders
// and decoders of basecode.h checked against each other on random bytes in every
// character unit a text can be stored in.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/datatypes/binary/basecode.h"
#include "support.h"

namespace zol {
namespace {

std::string error(err::Id id) { return test::eval_error_text(id); }

TEST(BaseCoding, EnbaseInEveryBase) {
  test::check({
      {"enbase/base \"abc\" 2", "\"011000010110001001100011\""},
      {"enbase/base \"abc\" 16", "\"616263\""},
      {"enbase/base \"abc\" 64", "\"YWJj\""},
      {"enbase \"abc\"", "\"YWJj\""},
      {"enbase #{00}", "\"AA==\""},
      {"enbase #{0001}", "\"AAE=\""},
      {"enbase #{}", "\"\""},
      {"enbase/base #{FF} 2", "\"11111111\""},
      {"enbase/base #{ABCD} 16", "\"ABCD\""},
      {"enbase/base next #{0102} 16", "\"02\""},
      {"enbase/base \"^(e9)\" 16", "\"C3A9\""},
      {"enbase/base #{000001} 58", "\"112\""},
      {"enbase/base #{} 58", "\"\""},
      {"enbase/base #{0000} 58", "\"11\""},
      {"enbase/base #{FF} 58", "\"5Q\""},
      {"enbase/base #{FFFFFFFF} 58", "\"7YXq9G\""},
      {"enbase/base \"hello world\" 58", "\"StV1DL6CwTryKyV\""},
      {"enbase/base \"abc\" 10", error(err::script::INVALID_ARG)},
  });
}

TEST(BaseCoding, DebaseSkipsWhitespaceAndAnswersNoneOnBadText) {
  test::check({
      {"debase \"YWJj\"", "#{616263}"},
      {"debase \" Y W^/J'j \"", "#{616263}"},
      {"debase \"YW==\"", "#{61}"},
      {"debase \"YW=\"", "#{61}"},
      {"debase \"YWI=\"", "#{6162}"},
      {"debase \"YWJjZA\"", "#{616263}"},
      {"debase \"Y=\"", "none"},
      {"debase \"YW*j\"", "none"},
      {"debase \"YW^(e9)j\"", "none"},
      {"debase \"YWJj ; a comment^/ZA==\"", "#{61626364}"},
      {"debase/base \"6 1 ;c^/62\" 16", "#{6162}"},
      {"debase/base \"616\" 16", "#{61}"},
      {"debase/base \"\" 16", "#{}"},
      {"debase/base \"6G\" 16", "none"},
      {"debase/base \"zz\" 16", "none"},
      {"debase/base \"6^(e1)\" 16", "none"},
      {"debase/base \"^(b6)1\" 16", "none"},
      {"debase/base \"01100001 01100010\" 2", "#{6162}"},
      {"debase/base \"0110000\" 2", "none"},
      {"debase/base \"01100002\" 2", "none"},
      {"debase/base \"112\" 58", "#{000001}"},
      {"debase/base \" 1 1 2 \" 58", "#{000001}"},
      {"debase/base \"StV1DL6CwTryKyV\" 58", "#{68656C6C6F20776F726C64}"},
      {"debase/base \"0\" 58", "none"},
      {"debase/base \"112^(e9)zzz\" 58", "#{000001}"},
      {"debase/base \"00\" 10", error(err::script::INVALID_ARG)},
  });
}

// Text of every unit width decodes to the bytes it was encoded from.
std::vector<uint8_t> widened(const std::vector<uint8_t>& text, uint32_t unit) {
  std::vector<uint8_t> out;
  for (uint8_t c : text)
    for (uint32_t k = 0; k < unit; k++) out.push_back(k == 0 ? c : 0);
  return out;
}

TEST(BaseCoding, RoundTripsRandomBytesInEveryUnit) {
  std::mt19937 random(19);
  for (int base : {2, 16, 58, 64}) {
    for (size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 31u, 100u, 257u}) {
      std::vector<uint8_t> bytes(n);
      for (uint8_t& b : bytes) b = uint8_t(random());
      if (n > 2 && base == 58) bytes[0] = bytes[1] = 0;   // leading zero bytes
      std::vector<uint8_t> text(binary::encoded_size(base, n));
      text.resize(size_t(binary::encode(base, text.data(), bytes.data(), n) - text.data()));
      for (uint32_t unit : {1u, 2u, 4u}) {
        std::vector<uint8_t> stored = widened(text, unit);
        std::vector<uint8_t> back(binary::decoded_capacity(base, text.size()));
        int64_t got = binary::decode(base, stored.data(), text.size(), unit, back.data());
        ASSERT_EQ(got, int64_t(n)) << "base " << base << " n " << n << " unit " << unit;
        back.resize(n);
        EXPECT_EQ(back, bytes) << "base " << base << " n " << n << " unit " << unit;
      }
    }
  }
}

// The text of the longest and the shortest base-58 numbers fits the size enbase
// allocates for it.
TEST(BaseCoding, Base58SizeCoversTheLongestText) {
  for (size_t n = 0; n < 40; n++) {
    std::vector<uint8_t> zeros(n, 0), ones(n, 0xFF);
    for (const auto& bytes : {zeros, ones}) {
      std::vector<uint8_t> text(binary::encoded_size(58, n));
      size_t written = size_t(binary::encode(58, text.data(), bytes.data(), n) - text.data());
      EXPECT_LE(written, text.size()) << n;
    }
  }
}

}  // namespace
}  // namespace zol
