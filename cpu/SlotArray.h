// A growable array of zero-initialised slots whose growth reports exhausted memory instead of aborting.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>

namespace proccpu {

template <typename T>
class SlotArray {
 public:
  /// Replaces the contents with `count` zeroed slots. False, contents unchanged, when memory is exhausted.
  bool assign(std::size_t count) {
    std::unique_ptr<T[]> fresh(new (std::nothrow) T[count]());
    if (!fresh && count != 0) return false;
    slots_ = std::move(fresh);
    size_ = count;
    return true;
  }

  /// Grows or shrinks to exactly `count` slots, keeping the first ones and zeroing new ones. False,
  /// contents unchanged, when memory is exhausted.
  bool resize(std::size_t count) {
    if (count == size_) return true;
    if (count > maxCount()) return false;
    std::unique_ptr<T[]> fresh(new (std::nothrow) T[count]());
    if (!fresh && count != 0) return false;
    std::copy_n(slots_.get(), std::min(size_, count), fresh.get());
    slots_ = std::move(fresh);
    size_ = count;
    return true;
  }

  std::size_t size() const { return size_; }
  T& operator[](std::size_t index) { return slots_[index]; }
  const T& operator[](std::size_t index) const { return slots_[index]; }

 private:
  // A count whose byte size overflows would wrap inside new[]; refuse it here.
  static constexpr std::size_t maxCount() { return static_cast<std::size_t>(-1) / sizeof(T) / 2; }

  std::unique_ptr<T[]> slots_;
  std::size_t size_ = 0;
};

}  // namespace proccpu
