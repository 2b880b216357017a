// A list of callbacks run in the order they were added: the output layer's
// raw-output hooks and the value printers of print and prin.
//
// Entries sit in one array that grows by a fixed step when full, so a component
// that adds and removes its hook around some work leaves the others in order. The
// same callback may be added twice; removing it takes out the first entry only.
#pragma once
#include <algorithm>
#include <memory>

namespace zol {

template <class Callback>
class HookList {
 public:
  static constexpr int GROWTH = 5;

  void add(Callback callback) {
    if (count_ == capacity_) {
      std::unique_ptr<Callback[]> grown(new Callback[size_t(capacity_ + GROWTH)]);
      std::copy(entries_.get(), entries_.get() + count_, grown.get());
      entries_ = std::move(grown);
      capacity_ += GROWTH;
    }
    entries_[size_t(count_++)] = callback;
  }

  void remove(Callback callback) {
    Callback* end = entries_.get() + count_;
    Callback* found = std::find(entries_.get(), end, callback);
    if (found == end) return;
    std::copy(found + 1, end, found);
    count_--;
  }

  template <class... Args>
  void run(Args... args) const {
    for (int i = 0; i < count_; i++) entries_[size_t(i)](args...);
  }

  int count() const { return count_; }
  int capacity() const { return capacity_; }
  Callback at(int i) const { return entries_[size_t(i)]; }

 private:
  std::unique_ptr<Callback[]> entries_;
  int count_ = 0;
  int capacity_ = 0;
};

}  // namespace zol
