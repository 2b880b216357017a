// The fixed tables of the DEFLATE format (RFC 1951 sections 3.2.5 to 3.2.7),
// shared by the compressor and the inflater so that both read one copy.
#pragma once
#include <cstdint>

namespace zol::deflate::tables {

// Length symbols 257 to 285: the base length and the number of extra bits.
constexpr uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                      15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance symbols 0 to 29: the base distance and the number of extra bits.
constexpr uint16_t DIST_BASE[30] = {1,    2,    3,    4,    5,    7,     9,     13,
                                    17,   25,   33,   49,   65,   97,    129,   193,
                                    257,  385,  513,  769,  1025, 1537,  2049,  3073,
                                    4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DIST_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block lists the code lengths of the code-length code.
constexpr uint8_t CODE_LENGTH_ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

constexpr int LITLEN_SYMBOLS = 288;  // symbols a literal/length code may name
constexpr int DIST_SYMBOLS = 32;
constexpr int END_OF_BLOCK = 256;
constexpr int MAX_CODE_LENGTH = 15;
constexpr uint32_t WINDOW = 32768;  // matches reach back at most WINDOW - 1 bytes

// The code length of each literal/length symbol in a fixed-Huffman block.
constexpr int fixed_litlen_length(int symbol) {
  return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
}
constexpr int FIXED_DIST_LENGTH = 5;

// A Huffman code is sent most significant bit first into a stream that is
// otherwise read least significant bit first: codes are stored reversed.
constexpr uint32_t reversed(uint32_t code, int length) {
  uint32_t r = 0;
  for (int i = 0; i < length; i++) r |= ((code >> i) & 1u) << (length - 1 - i);
  return r;
}

}  // namespace zol::deflate::tables
