// ZOLBIN, the binary image of values: the writers of both record encodings, the
// reader (user mode and the boot load) and the LZ bit codec the reader undoes.
//
// An image is an 8-byte header ("ZOLBIN", a version byte readers ignore, a flags
// byte: bit 0 compact records, bit 1 the rest is one LZ stream, bit 2 a symbol
// table follows), then the root count, the payload size, the optional symbol
// table and the records. The standard encoding writes every field as a 32-bit
// little-endian word and every record on a 4-byte boundary; the compact encoding
// writes varints and one-byte forms. Both write a shared series or context once and
// name later occurrences by their index path (the cell indexes walked from the
// load's target block), so sharing and cycles survive a round trip.
//
// Encodes and decodes never nest: the writer's path stack and reference table, and
// the reader's state, are one set for the program.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"

namespace zol::zolbin {

enum class Encoding { STANDARD, COMPACT };

constexpr uint8_t FLAG_COMPACT = 1;
constexpr uint8_t FLAG_LZ = 2;
constexpr uint8_t FLAG_SYMBOLS = 4;
constexpr uint8_t WRITER_VERSION = 2;

// The whole image of one value as a new binary!. Refused datatypes raise
// access/no-codec; the writer is left ready for the next encode.
Cell encode(const Cell* value, Encoding encoding);

// Reads an image in user mode, appending its values to the block `target`. A bad
// header or a corrupt LZ payload raises script/invalid-data with `argument`; a
// malformed record script/zb-invalid-record with its 1-based byte position.
void decode(const uint8_t* data, size_t length, const Cell* target, const Cell* argument);

// Reads an image in boot mode into the runtime's root block with the collector off:
// set-word definitions set global words and leave nothing behind, every other
// record appends one cell (a native! also its spec block). Answers the position in
// the root block of the first loaded value (the literal base), which literal_base()
// keeps unless keep_literal_base asks to leave the previous one. Failures raise to
// the caller.
int32_t boot_load(const uint8_t* image, size_t length, bool keep_literal_base);
int32_t literal_base();

// The LZ bit codec: chunks of at most 1 MB, each a bit stream of literals and
// back-references into the same chunk.
namespace lz {
constexpr uint32_t MAX_CHUNK = 0x100000;
// The decompressed bytes, or false on any malformed stream (input bounds included).
bool decompress(const uint8_t* in, size_t length, std::vector<uint8_t>* out);
// A compressed stream, or an empty vector when the input is shorter than 128 bytes
// or would not shrink.
std::vector<uint8_t> compress(const uint8_t* in, size_t length);
}  // namespace lz

}  // namespace zol::zolbin
