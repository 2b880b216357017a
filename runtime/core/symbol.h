// Symbols: every spelling of a word is interned once and known afterwards by its
// symbol id, a 1-based index into the block of symbol records.
//
// A symbol record is one cell:
//   header  symbol!
//   word 1  alias: -1, or the id of the first-interned spelling that differs from
//           this one only in ASCII letter case (always a symbol without alias)
//   word 2  node of the name as a string!, 0 until first asked for
//   word 3  node of the UTF-8 name: its bytes then a NUL, the tail at the NUL
// Case-insensitivity of the language rests on the alias: comparisons that ignore
// case compare resolve(id). Only ASCII letters fold; spellings that differ in the
// case of any other letter are unrelated symbols. Symbols are never removed.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace zol::symbol {

extern NodeRef table;   // the symbol table: a hash table over `block`
extern NodeRef block;   // the symbol records

void init();          // registers symbol!
void init_table();    // makes the records block (rooted) and the symbol table

uint32_t make(const char* utf8);
uint32_t make_len(const uint8_t* utf8, uint32_t length);
uint32_t make_from_string(const Cell* string);
// Interns ignoring ASCII case: an existing spelling of any case is answered.
uint32_t make_cased(const char* utf8);

inline Cell* record_of(uint32_t id) { return memory::buffer_of(block)->cells() + (id - 1); }
inline int32_t get_alias(uint32_t id) { return int32_t(record_of(id)->w1); }
inline uint32_t resolve(uint32_t id) {
  int32_t alias = get_alias(id);
  return alias > 0 ? uint32_t(alias) : id;
}

// The record with its name string made.
Cell* get(uint32_t id);
// The UTF-8 name, NUL-terminated, and its length in bytes.
const char* get_c_string(uint32_t id);
uint32_t name_length(uint32_t id);
int32_t count();

// The names of two symbols compared as text under a comparison op: -1, 0 or 1.
int compare_names(uint32_t a, uint32_t b, int op);

// ASCII letter folding for names (to upper case, as text comparison folds).
inline uint8_t fold_ascii(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 0x20) : c; }

}  // namespace zol::symbol
