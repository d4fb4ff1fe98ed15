// Bounds-checked arrays for every table and array the kernel touches: an index outside the
// array is a trap ("typed array index ... out of bounds"), never a stray read or write.
// `CheckedArray` holds its elements inline (fixed size); `CheckedSpan` views a table
// allocated once by `allocateTable`. Used on the kernel's calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "kernel/kernel_trap.h"

namespace norvo::kernel {

template <typename T, std::size_t N>
struct CheckedArray {
  T items[N];

  static constexpr std::size_t size() noexcept { return N; }

  T& operator[](std::int64_t index) noexcept {
    if (index < 0 || static_cast<std::uint64_t>(index) >= N) trapIndexOutOfBounds(index, N);
    return items[index];
  }
  const T& operator[](std::int64_t index) const noexcept {
    if (index < 0 || static_cast<std::uint64_t>(index) >= N) trapIndexOutOfBounds(index, N);
    return items[index];
  }
};

template <typename T>
struct CheckedSpan {
  T* data = nullptr;
  std::size_t length = 0;

  T& operator[](std::int64_t index) const noexcept {
    if (index < 0 || static_cast<std::uint64_t>(index) >= length) {
      trapIndexOutOfBounds(index, length);
    }
    return data[index];
  }
};

// Largest table the kernel will allocate; anything longer is an invalid length.
inline constexpr std::size_t kMaxTableLength = std::size_t{1} << 24;

// Allocates `length` value-initialized (zero) elements; traps when out of memory or when the
// length is invalid. Zero length gives an empty span. Caller thread: runtime_init only.
template <typename T>
CheckedSpan<T> allocateTable(std::size_t length) noexcept {
  if (length > kMaxTableLength) trapInvalidLength(length);
  if (length == 0) return {};
  T* data = new (std::nothrow) T[length]();
  if (data == nullptr) trapOutOfMemory();
  return {data, length};
}

template <typename T>
void releaseTable(CheckedSpan<T>& table) noexcept {
  delete[] table.data;
  table = {};
}

}  // namespace norvo::kernel
