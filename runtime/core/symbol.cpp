// The symbol table (see symbol.h) and the symbol! datatype.
#include "runtime/core/symbol.h"

#include <cstring>

#include "runtime/core/action_types.h"
#include "runtime/collector/collector.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/hashtable/hashtable.h"
#include "runtime/core/root.h"

namespace zol::symbol {

NodeRef table = 0;
NodeRef block = 0;

namespace {

// The symbol table is sized for the start-up vocabulary (about 2000 words from
// the natives, actions, library and system object) with room to spare, so that a
// session seldom rehashes it; the symbol-keyed table kind doubles it again.
constexpr int32_t TABLE_SIZE = 4000;

// Decodes one UTF-8 sequence; a malformed byte stands for itself. The Unicode
// codecs replace this with their validating decoder.
uint32_t next_code_point(const uint8_t*& p, const uint8_t* end) {
  uint32_t c = *p++;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0 || end - p < extra) return c;
  uint32_t cp = c & (0x3Fu >> extra);
  for (int i = 0; i < extra; i++) {
    if ((p[i] & 0xC0) != 0x80) return c;
    cp = cp << 6 | (p[i] & 0x3Fu);
  }
  p += extra;
  return cp;
}

SeriesBuffer* name_buffer(const Cell* rec) { return memory::buffer_of(rec->w3); }

bool case_sensitive(int op) {
  return op == C_STRICT_EQUAL || op == C_CASE_SORT || op == C_SAME || op == C_WORD_CASE;
}

int compare_utf8(const SeriesBuffer* a, const SeriesBuffer* b, int op) {
  const uint8_t* pa = a->data() + a->offset;
  const uint8_t* pb = b->data() + b->offset;
  uint32_t la = a->used_bytes(), lb = b->used_bytes();
  bool fold = !case_sensitive(op);
  for (uint32_t i = 0; i < la && i < lb; i++) {
    uint8_t ca = fold ? fold_ascii(pa[i]) : pa[i];
    uint8_t cb = fold ? fold_ascii(pb[i]) : pb[i];
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return la == lb ? 0 : (la < lb ? -1 : 1);
}

int compare(const Cell* a, const Cell* b, int op) {
  if (!b->is(T_SYMBOL)) return COMPARE_NOT_COMPARABLE;
  return compare_utf8(name_buffer(a), name_buffer(b), op);
}

void mark_roots() { hashtable::mark(table); }

}  // namespace

void init() {
  datatype::register_type(T_SYMBOL, 0, "symbol!",
                          datatype::make_row(nullptr, {slot_entry<A_COMPARE>(compare)}));
}

void init_table() {
  block = memory::alloc_cells(TABLE_SIZE);
  Cell* root = memory::alloc_tail_cell(runtime::root_block);
  cell::set(root, T_BLOCK, 0, block, 0);
  table = hashtable::init(TABLE_SIZE, block, hashtable::K_SYMBOL);
  collector::keep(mark_roots);
}

uint32_t make_len(const uint8_t* utf8, uint32_t length) {
  return uint32_t(hashtable::intern(table, utf8, length, false));
}

uint32_t make(const char* utf8) {
  return make_len(reinterpret_cast<const uint8_t*>(utf8), uint32_t(std::strlen(utf8)));
}

uint32_t make_from_string(const Cell* string) {
  std::string text = string::to_utf8(string);
  return make_len(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

uint32_t make_cased(const char* utf8) {
  return uint32_t(hashtable::intern(table, reinterpret_cast<const uint8_t*>(utf8),
                                    uint32_t(std::strlen(utf8)), true));
}

Cell* get(uint32_t id) {
  if (record_of(id)->w2) return record_of(id);
  Cell name;
  string::make_at(&name, name_length(id));
  SeriesBuffer* out = memory::buffer_of(name.w2);
  SeriesBuffer* utf8 = name_buffer(record_of(id));
  const uint8_t* end = utf8->tail_ptr();
  for (const uint8_t* p = utf8->head(); p < end;) out = string::append_char(out, next_code_point(p, end));
  record_of(id)->w2 = name.w2;
  return record_of(id);
}

const char* get_c_string(uint32_t id) {
  SeriesBuffer* b = name_buffer(record_of(id));
  if (b->tail >= b->size) b = memory::expand_series_copy(b, int64_t(b->size) + 16);
  *b->tail_ptr() = 0;
  return reinterpret_cast<const char*>(b->head());
}

uint32_t name_length(uint32_t id) { return name_buffer(record_of(id))->used_bytes(); }

int32_t count() { return int32_t(memory::buffer_of(block)->length()); }

int compare_names(uint32_t a, uint32_t b, int op) {
  return compare_utf8(name_buffer(record_of(a)), name_buffer(record_of(b)), op);
}

}  // namespace zol::symbol
