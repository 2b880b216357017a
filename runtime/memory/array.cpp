// Raw arrays (see array.h).
#include "runtime/memory/array.h"

#include <cstring>

namespace zol::array {
namespace {

SeriesBuffer* buf(NodeRef a) { return memory::buffer_of(a); }

template <class T>
T read_at(NodeRef a, int32_t i) {
  T v;
  std::memcpy(&v, buf(a)->head() + size_t(i - 1) * sizeof(T), sizeof v);
  return v;
}

template <class T>
int32_t find_value(NodeRef a, T value) {
  SeriesBuffer* b = buf(a);
  for (uint8_t* p = b->head(); p + sizeof(T) <= b->tail_ptr(); p += sizeof(T)) {
    T v;
    std::memcpy(&v, p, sizeof v);
    if (v == value) return static_cast<int32_t>(p - b->head());
  }
  return -1;
}

}  // namespace

NodeRef make(int64_t n, uint32_t unit) {
  int64_t bytes = n * unit;
  NodeRef a = memory::alloc_bytes(bytes == 0 ? 16 : bytes);
  SeriesBuffer* b = buf(a);
  b->flags = (b->flags & ~FLAG_UNIT_MASK) | unit;
  return a;
}

int32_t length(NodeRef a) { return static_cast<int32_t>(buf(a)->length()); }
void clear(NodeRef a) { buf(a)->tail = buf(a)->offset; }

void clear_at(NodeRef a, int32_t i) {
  SeriesBuffer* b = buf(a);
  if (i < 1) i = 1;
  uint32_t t = b->offset + uint32_t(i - 1) * b->unit();
  if (t < b->tail) b->tail = t;
}

NodeRef copy(NodeRef a) { return memory::copy_series(buf(a)); }
uint8_t* head(NodeRef a) { return buf(a)->head(); }

uint8_t* append_byte(NodeRef a, uint8_t byte) {
  uint8_t* at = memory::alloc_tail_bytes(a, 1);
  *at = byte;
  return at;
}

uint8_t* append_bytes(NodeRef a, const uint8_t* src, uint32_t n) {
  uint8_t* at = memory::alloc_tail_bytes(a, n);
  if (n) std::memmove(at, src, n);
  return at;
}

void append_int(NodeRef a, int32_t value) {
  std::memcpy(memory::alloc_tail_bytes(a, sizeof value), &value, sizeof value);
}

void append_pointer(NodeRef a, uintptr_t value) {
  std::memcpy(memory::alloc_tail_bytes(a, sizeof value), &value, sizeof value);
}

uint8_t pick_byte(NodeRef a, int32_t i) { return read_at<uint8_t>(a, i); }
int32_t pick_int(NodeRef a, int32_t i) { return read_at<int32_t>(a, i); }
uintptr_t pick_pointer(NodeRef a, int32_t i) { return read_at<uintptr_t>(a, i); }

void poke_int(NodeRef a, int32_t i, int32_t value) {
  std::memcpy(buf(a)->head() + size_t(i - 1) * sizeof value, &value, sizeof value);
}

void insert_int(NodeRef a, int32_t value, int32_t position) {
  SeriesBuffer* b = buf(a);
  if (b->tail + sizeof(int32_t) > b->size) b = memory::expand_series_copy(b, 0);
  uint8_t* at = b->head() + size_t(position) * sizeof(int32_t);
  if (at > b->tail_ptr()) at = b->tail_ptr();
  std::memmove(at + sizeof(int32_t), at, size_t(b->tail_ptr() - at));
  std::memcpy(at, &value, sizeof value);
  b->tail += sizeof(int32_t);
}

int32_t find_int(NodeRef a, int32_t value) { return find_value(a, value); }
int32_t find_pointer(NodeRef a, uintptr_t value) { return find_value(a, value); }

void remove_at(NodeRef a, int32_t byte_offset, int32_t n) {
  SeriesBuffer* b = buf(a);
  uint8_t* from = b->head() + byte_offset;
  if (from >= b->tail_ptr() || n <= 0) return;
  if (from + n > b->tail_ptr()) n = static_cast<int32_t>(b->tail_ptr() - from);
  std::memmove(from, from + n, size_t(b->tail_ptr() - (from + n)));
  b->tail -= static_cast<uint32_t>(n);
}

void remove_int(NodeRef a, int32_t value) {
  int32_t at = find_int(a, value);
  if (at >= 0) remove_at(a, at, sizeof(int32_t));
}

}  // namespace zol::array
