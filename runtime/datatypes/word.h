// The word family (word!, set-word!, lit-word!, get-word!, refinement!) and issue!.
//
// All six share one cell: word 1 the node of the context the word is bound to (the
// global context for every fresh word), word 2 the symbol id as spelled, word 3
// the word's value slot in that context, -1 while unresolved. They differ in how
// they evaluate and how they are written: x, x:, 'x, :x, /x and #x.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace zol::word {

// While set (during start-up), every word made by load, make_global and the issue
// makers is also appended to the root block, so that it stays reachable.
extern bool startup;

void init();   // registers word!, set-word!, lit-word!, get-word!, refinement!

inline bool any_word(uint8_t type) { return type >= T_WORD && type <= T_ISSUE; }

// Makers. `type` re-types the made word (word! unless given).
Cell load(const char* name, uint8_t type = T_WORD);
Cell make_global(uint32_t symbol);
void load_into(const char* name, NodeRef block, uint8_t type = T_WORD);
Cell* make_at(uint32_t symbol, Cell* out);
Cell* make_in_arg(uint32_t symbol);
Cell* push_symbol(uint32_t symbol);
Cell* push(const Cell* word, uint8_t type = T_WORD);
void copy_to_startup(const Cell* word);

// Access helpers of compiled code, by context node and slot.
Cell* get_local(NodeRef ctx, int32_t index);
Cell* push_local(NodeRef ctx, int32_t index, uint8_t type = T_WORD);
Cell* push_value(NodeRef ctx, int32_t index);
Cell* copy_local(NodeRef ctx, int32_t index);          // onto a new stack cell
Cell* copy_local_to_arg(NodeRef ctx, int32_t index);   // into the first argument cell
Cell get_word_or_global(NodeRef ctx, uint32_t symbol);
Cell* get_symbol_record(const Cell* word);

// Steps on the current frame's arguments: set the word of argument 1 to argument 2
// (result: the value), and get the value of argument 1's word.
Cell* set_arg();
Cell* get_arg();
// The word's value copied onto a new stack cell; the checked form refuses unset.
Cell* get_value(const Cell* word);
Cell* get_checked(const Cell* word);

// A new string! on the stack holding a copy of the spelling.
Cell* to_string(const Cell* word);

// The type of the value the spelling loads as, through the lexer.
int lex_type(const Cell* word);

// Installed by the lexer: the datatype a UTF-8 spelling loads as, and the
// conversion of a string! or char! to a word type.
extern int (*scan_type)(const uint8_t* utf8, uint32_t length);
extern Cell* (*from_text)(Cell* spec, int type);

}  // namespace zol::word

namespace zol::refinement {
// A refinement! of the interned name with no context, kept on the root block.
Cell load(const char* name);
}  // namespace zol::refinement

namespace zol::issue {
void init();   // registers issue!
Cell* load(Cell* out, const char* name);
Cell* load_startup(const char* name);   // on a new stack cell, or the root block at start-up
void load_into(const char* name, NodeRef block);
}  // namespace zol::issue
