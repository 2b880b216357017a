// What the ZOLBIN writer and reader share: the record layout's constants, the
// writer's reference table (which the reader resets before it refuses a datatype),
// the refusal raiser, and the node a value shares.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "runtime/core/cell.h"

namespace zol::zolbin::detail {

constexpr uint8_t MAGIC[6] = {'Z', 'O', 'L', 'B', 'I', 'N'};
constexpr size_t HEADER_SIZE = 8;

// Standard record header bits above the datatype byte.
constexpr uint32_t STD_UNIT_SHIFT = 8;        // unit of a string or vector, tuple count
constexpr uint32_t STD_OP_SHIFT = 16;         // op!: the datatype it was made from
constexpr uint32_t STD_REFERENCE = 1u << 19;  // a reference record follows instead
constexpr uint32_t STD_NEGATIVE = 1u << 22;   // money!
constexpr uint32_t STD_COMPLEMENT = 1u << 23; // bitset!
constexpr uint32_t STD_HOOKS = 1u << 24;      // object!: two hook words follow
constexpr uint32_t STD_GLOBAL = 1u << 25;     // word bound in the global context
constexpr uint32_t STD_KIND_SHIFT = 26;       // context record: kind (2 bits)
constexpr uint32_t STD_RENEWED = 1u << 28;
constexpr uint32_t STD_ON_STACK = 1u << 29;
constexpr uint32_t STD_VALUES = 1u << 30;
constexpr uint32_t STD_NEW_LINE = 1u << 31;
constexpr uint32_t STD_REFERENCE_RECORD = 255;

// Compact lead bytes and the bits of the context flags byte.
constexpr uint8_t CP_FLAG = 0x40;
constexpr uint8_t CP_ESCAPE = 0x3F;
constexpr uint8_t CP_SMALL_INT = 0x80;   // 0x80-0xBF: the integers 0 to 63
constexpr uint8_t CP_NEW_LINE = 0xC0;
constexpr uint8_t CP_WRITTEN = 0xC1;
constexpr uint8_t CP_TRUE = 0xC2;
constexpr uint8_t CP_FALSE = 0xC3;
constexpr uint8_t CP_DEFINE = 0xC4;
constexpr uint8_t CP_REFERENCE = 0xFF;
constexpr uint8_t CTX_ON_STACK = 4;
constexpr uint8_t CTX_RENEWED = 8;
constexpr uint8_t CTX_VALUES = 16;

// Nesting deeper than this is refused by both directions, so that neither can
// exhaust the native stack.
constexpr int MAX_DEPTH = 2000;
constexpr uint32_t MAX_PATH = 65536;

// The writer's reference table: each series or context node met, with the index
// path of the value at which it was first met. Its NodeRefs live outside the
// native stack, so a marking callback keeps (and pins) their nodes while it holds
// them.
struct References {
  std::unordered_map<NodeRef, uint32_t> where;   // node -> offset of its path
  std::vector<int32_t> paths;                    // count, then the indexes
  std::vector<int32_t> stack;                    // the enclosing levels' indexes
};
extern References references;
void reset_tables();

// The datatypes both encodings refuse.
bool refused(uint8_t type);
// Raise access/no-codec naming the value or datatype, after resetting the tables.
[[noreturn]] void refuse(const Cell* value_or_type);

inline bool block_family(uint8_t t) {
  return t == T_BLOCK || t == T_PAREN || (t >= T_PATH && t <= T_GET_PATH);
}
inline bool string_family(uint8_t t) {
  return t == T_STRING || t == T_FILE || t == T_URL || t == T_TAG || t == T_EMAIL || t == T_REF;
}
inline bool word_family(uint8_t t) { return t >= T_WORD && t <= T_REFINEMENT; }

}  // namespace zol::zolbin::detail
