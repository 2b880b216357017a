// Checksums and digests: CRC-32, Adler-32 and the Internet checksum against plain
// one-byte-at-a-time references (long inputs included, where chunking and carries
// matter), the digests and HMAC against published vectors, and the `checksum`
// native through Zol source.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/core/error.h"
#include "runtime/numeric/checksum.h"
#include "support.h"

namespace zol {
namespace {

using checksum::Method;
using test::check;
using test::eval_error_text;

uint32_t crc32_bitwise(const std::string& s) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : s) {
    crc ^= c;
    for (int k = 0; k < 8; k++) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

uint32_t adler32_plain(const std::string& s) {
  uint64_t a = 1, b = 0;
  for (unsigned char c : s) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  return uint32_t(b << 16 | a);
}

uint32_t tcp_plain(const std::string& s) {
  uint32_t sum = 0;
  for (size_t i = 0; i < s.size(); i += 2) {
    uint32_t word = uint32_t(uint8_t(s[i])) << 8 | (i + 1 < s.size() ? uint8_t(s[i + 1]) : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);   // ones' complement: carries back in at once
  }
  return ~sum & 0xFFFF;
}

std::string pseudo_bytes(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) {
    seed = seed * 1103515245u + 12345u;
    s[i] = char(seed >> 24);
  }
  return s;
}

std::string hex(const checksum::Digest& d) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < d.size; i++) {
    std::snprintf(two, sizeof two, "%02x", d.bytes[i]);
    out += two;
  }
  return out;
}

TEST(Checksum, KnownValues) {
  struct Row {
    std::string data;
    uint32_t crc, adler, tcp;
  };
  const Row rows[] = {
      {"", 0u, 1u, 0xFFFFu},
      {"abc", 0x352441C2u, 0x024D0127u, 0x3B9Du},
      {"123456789", 0xCBF43926u, 0x091E01DEu, tcp_plain("123456789")},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(checksum::crc32(r.data.data(), r.data.size()), r.crc) << r.data;
    EXPECT_EQ(checksum::adler32(r.data.data(), r.data.size()), r.adler) << r.data;
    EXPECT_EQ(checksum::tcp(r.data.data(), r.data.size()), r.tcp) << r.data;
  }
}

TEST(Checksum, AgreeWithThePlainReferencesAtEveryLengthAndAlignment) {
  std::string big = pseudo_bytes(70000, 7);
  // Lengths around the eight-byte steps, the shortest input that is folded, its
  // 16- and 64-byte steps, the Adler chunk and odd tails, from
  // unaligned starts.
  for (size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 255u, 256u, 257u, 271u, 319u,
                        320u, 3854u, 3855u, 5552u, 5553u, 11104u, 65537u}) {
    for (size_t start : {0u, 1u, 3u}) {
      std::string s = big.substr(start, length);
      EXPECT_EQ(checksum::crc32(s.data(), s.size()), crc32_bitwise(s)) << length << "+" << start;
      EXPECT_EQ(checksum::adler32(s.data(), s.size()), adler32_plain(s)) << length << "+" << start;
      EXPECT_EQ(checksum::tcp(s.data(), s.size()), tcp_plain(s)) << length << "+" << start;
    }
  }
}

TEST(Checksum, LargestBytesPassEveryLimit) {
  // All 0xFF: Adler's b is as large as it gets and the TCP word sum passes 2^31.
  std::string ff(1u << 17, '\xFF');
  ff += std::string(40000, '\xFF');
  EXPECT_EQ(checksum::adler32(ff.data(), ff.size()), adler32_plain(ff));
  EXPECT_EQ(checksum::tcp(ff.data(), ff.size()), tcp_plain(ff));
  EXPECT_EQ(checksum::crc32(ff.data(), ff.size()), crc32_bitwise(ff));
}

TEST(Checksum, ContinuingAResultEqualsTheWhole) {
  std::string s = pseudo_bytes(10001, 3);
  for (size_t cut : {0u, 1u, 4999u, 10001u}) {
    uint32_t crc = checksum::crc32(s.data(), cut);
    EXPECT_EQ(checksum::crc32(s.data() + cut, s.size() - cut, crc), crc32_bitwise(s));
    uint32_t adler = checksum::adler32(s.data(), cut);
    EXPECT_EQ(checksum::adler32(s.data() + cut, s.size() - cut, adler), adler32_plain(s));
  }
}

TEST(Digest, StandardVectors) {
  struct Row {
    Method method;
    size_t size;
    const char* abc;
  };
  const Row rows[] = {
      {Method::MD5, 16, "900150983cd24fb0d6963f7d28e17f72"},
      {Method::SHA1, 20, "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {Method::SHA256, 32, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {Method::SHA384, 48,
       "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
      {Method::SHA512, 64,
       "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feeb"
       "bd454d4423643ce80e2a9ac94fa54ca49f"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(checksum::digest_size(r.method), r.size);
    checksum::Digest d = checksum::digest("abc", 3, r.method);
    EXPECT_EQ(d.size, r.size);
    EXPECT_EQ(hex(d), r.abc);
  }
  EXPECT_EQ(hex(checksum::digest("", 0, Method::SHA256)),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  for (Method m : {Method::TCP, Method::CRC32}) {
    EXPECT_EQ(checksum::digest_size(m), 0u);
    EXPECT_EQ(checksum::digest("abc", 3, m).size, 0u);
    EXPECT_EQ(checksum::hmac("abc", 3, "k", 1, m).size, 0u);
  }
}

TEST(Digest, HmacVectors) {
  const std::string jefe = "Jefe", question = "what do ya want for nothing?";
  EXPECT_EQ(hex(checksum::hmac(question.data(), question.size(), jefe.data(), 4, Method::MD5)),
            "750c783e6ab0b503eaa86e310a5db738");
  EXPECT_EQ(hex(checksum::hmac(question.data(), question.size(), jefe.data(), 4, Method::SHA256)),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  EXPECT_EQ(hex(checksum::hmac(question.data(), question.size(), jefe.data(), 4, Method::SHA512)),
            "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea2505549758bf75c05a994a6d03"
            "4f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737");
  // An empty key and empty data.
  EXPECT_EQ(hex(checksum::hmac("", 0, "", 0, Method::SHA256)),
            "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
  EXPECT_EQ(hex(checksum::hmac("", 0, "", 0, Method::SHA1)),
            "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d");
  // A key longer than the block is digested first.
  const std::string long_key(131, '\xAA');
  const std::string text = "Test Using Larger Than Block-Size Key - Hash Key First";
  EXPECT_EQ(hex(checksum::hmac(text.data(), text.size(), long_key.data(), long_key.size(),
                               Method::SHA256)),
            "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

TEST(Digest, AKeyOfExactlyTheBlockIsUsedAsItIsAndOneByteMoreIsDigested) {
  struct Row {
    Method method;
    size_t block;
  };
  for (Row r : {Row{Method::SHA1, 64}, Row{Method::SHA256, 64}, Row{Method::SHA384, 128},
                Row{Method::SHA512, 128}}) {
    std::string exact = pseudo_bytes(r.block, 1), longer = pseudo_bytes(r.block + 1, 1);
    checksum::Digest d_exact = checksum::digest(exact.data(), exact.size(), r.method);
    checksum::Digest d_longer = checksum::digest(longer.data(), longer.size(), r.method);
    auto mac = [&](const void* key, size_t n) {
      return hex(checksum::hmac("data", 4, key, n, r.method));
    };
    EXPECT_NE(mac(exact.data(), exact.size()), mac(d_exact.bytes, d_exact.size));
    EXPECT_EQ(mac(longer.data(), longer.size()), mac(d_longer.bytes, d_longer.size));
    // A shorter key is padded with zeros: the same key with zeros added gives the same MAC.
    std::string padded = "key" + std::string(r.block - 3, '\0');
    EXPECT_EQ(mac("key", 3), mac(padded.data(), padded.size()));
  }
}

TEST(ChecksumNative, IntegerMethodsAndRefusals) {
  check({
      {"checksum \"abc\" 'crc32", std::to_string(int32_t(0x352441C2u))},
      {"checksum \"123456789\" 'crc32", std::to_string(int32_t(0xCBF43926u))},
      {"checksum \"\" 'crc32", "0"},
      {"checksum \"abc\" 'adler32", std::to_string(0x024D0127)},
      {"checksum \"\" 'adler32", "1"},
      {"checksum \"abc\" 'tcp", std::to_string(0x3B9D)},
      {"checksum \"\" 'tcp", "65535"},
      // Method words are compared as words: letter case does not matter.
      {"checksum \"abc\" 'CRC32", std::to_string(int32_t(0x352441C2u))},
      // From the string's index; the text goes in as UTF-8.
      {"checksum next \"xabc\" 'crc32", std::to_string(int32_t(0x352441C2u))},
      {"checksum \"\u00e9\" 'adler32", std::to_string(adler32_plain("\xc3\xa9"))},
      {"checksum \"abc\" 'sha999", eval_error_text(err::script::INVALID_ARG)},
      {"checksum/with \"abc\" 'crc32 \"k\"", eval_error_text(err::script::INVALID_REFINE_ARG)},
      {"checksum/with \"abc\" 'tcp 5", eval_error_text(err::script::INVALID_REFINE_ARG)},
      {"checksum/with \"abc\" 'adler32 \"k\"", eval_error_text(err::script::INVALID_REFINE_ARG)},
      {"checksum \"abc\" 'hash", eval_error_text(err::script::INVALID_REFINE_ARG)},
      {"checksum/with \"abc\" 'hash \"key\"", eval_error_text(err::script::INVALID_REFINE_ARG)},
      {"checksum [1] 'crc32", eval_error_text(err::script::EXPECT_ARG)},
      // A table size asks for the hash method, which gives 0 after its notice.
      {"checksum/with \"abc\" 'hash 16", "0"},
      {"checksum/with \"abc\" 'md5 16", "0"},
      // A binary! is summed byte for byte, from its head.
      {"checksum #{616263} 'crc32", std::to_string(int32_t(0x352441C2u))},
      {"checksum next #{FF616263} 'adler32", std::to_string(0x024D0127)},
  });
}

// The digests and HMAC answer a binary! of the digest's bytes (published values;
// the key and data may be strings or binaries).
TEST(ChecksumNative, DigestsAreBinaries) {
  check({
      {"checksum \"abc\" 'md5", "#{900150983CD24FB0D6963F7D28E17F72}"},
      {"checksum #{} 'sha1", "#{DA39A3EE5E6B4B0D3255BFEF95601890AFD80709}"},
      {"enbase/base checksum \"abc\" 'sha256 16",
       "{BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD}"},
      {"copy/part checksum #{616263} 'sha512 8", "#{DDAF35A193617ABA}"},
      {"length? checksum \"abc\" 'sha384", "48"},
      {"checksum/with \"abc\" 'sha1 \"key\"", "#{4FD0B215276EF12F2B3E4C8ECAC2811498B656FC}"},
      {"checksum/with #{616263} 'sha1 #{6B6579}", "#{4FD0B215276EF12F2B3E4C8ECAC2811498B656FC}"},
  });
}

}  // namespace
}  // namespace zol
