// Raw arrays of bytes, 32-bit integers and pointers.
#include <gtest/gtest.h>

#include "runtime/memory/array.h"

namespace zol {
namespace {

TEST(RawArray, IntegerOperations) {
  NodeRef a = array::make(0, 4);
  EXPECT_EQ(array::length(a), 0);
  EXPECT_EQ(memory::buffer_of(a)->size, 16u);
  for (int32_t v : {10, 20, 30, 40, 50}) array::append_int(a, v);   // grows past 16 bytes
  EXPECT_EQ(array::length(a), 5);
  EXPECT_EQ(array::pick_int(a, 3), 30);
  EXPECT_EQ(array::find_int(a, 30), 8);
  EXPECT_EQ(array::find_int(a, 99), -1);
  array::poke_int(a, 1, 11);
  array::insert_int(a, 15, 1);
  EXPECT_EQ(array::pick_int(a, 1), 11);
  EXPECT_EQ(array::pick_int(a, 2), 15);
  EXPECT_EQ(array::pick_int(a, 6), 50);
  array::remove_int(a, 15);
  array::remove_int(a, 777);
  EXPECT_EQ(array::length(a), 5);
  EXPECT_EQ(array::pick_int(a, 2), 20);
  array::clear_at(a, 3);
  EXPECT_EQ(array::length(a), 2);
  array::clear_at(a, 1);
  EXPECT_EQ(array::length(a), 0);
}

TEST(RawArray, InsertIntoAFullArrayDoubles) {
  NodeRef a = array::make(4, 4);
  for (int32_t v = 1; v <= 4; v++) array::append_int(a, v);
  uint32_t size = memory::buffer_of(a)->size;
  array::insert_int(a, 0, 0);
  EXPECT_EQ(memory::buffer_of(a)->size, size * 2);
  for (int32_t i = 1; i <= 5; i++) EXPECT_EQ(array::pick_int(a, i), i - 1);
}

TEST(RawArray, BytesPointersAndCopies) {
  NodeRef a = array::make(0, 1);
  const uint8_t text[] = {'a', 'b', 'c'};
  array::append_bytes(a, text, 3);
  array::append_byte(a, 'd');
  EXPECT_EQ(array::length(a), 4);
  EXPECT_EQ(array::pick_byte(a, 4), 'd');
  array::remove_at(a, 1, 2);
  EXPECT_EQ(array::length(a), 2);
  EXPECT_EQ(array::pick_byte(a, 2), 'd');
  NodeRef c = array::copy(a);
  array::clear(a);
  EXPECT_EQ(array::length(c), 2);
  EXPECT_EQ(array::pick_byte(c, 1), 'a');

  NodeRef p = array::make(0, sizeof(uintptr_t));
  array::append_pointer(p, 0x1000);
  array::append_pointer(p, 0x2000);
  EXPECT_EQ(array::pick_pointer(p, 2), 0x2000u);
  EXPECT_EQ(array::find_pointer(p, 0x2000), int32_t(sizeof(uintptr_t)));
}

}  // namespace
}  // namespace zol
