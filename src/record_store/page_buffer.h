#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace tavelin {

// Memory for the few large buffers of a load or a save: the file's bytes, the table's text
// and rows, a rewrite. A large one is mapped on its own and, where the system allows, backed
// by huge pages: touching megabytes of fresh small pages, one fault each, costs more than
// the work done in them. Small ones come from the heap as usual.
// `bytes` becomes what the allocation holds, which can be more than was asked for.
void* allocatePages(size_t& bytes);
void freePages(void* data, size_t bytes);

// A growable buffer of plain values, uninitialised; what it held is kept when it grows. It is
// kept from one load to the next, so that the second load touches no fresh page.
template <typename T>
class PageBuffer {
 public:
  PageBuffer() = default;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  PageBuffer(PageBuffer&& other) noexcept { swap(other); }
  PageBuffer& operator=(PageBuffer&& other) noexcept {
    swap(other);
    return *this;
  }
  void swap(PageBuffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(capacity_, other.capacity_);
  }
  ~PageBuffer() { freePages(data_, capacity_ * sizeof(T)); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t capacity() const { return capacity_; }

  // Room for at least n values, the first `keep` of them kept.
  void reserve(size_t n, size_t keep) {
    if (n <= capacity_) return;
    size_t bytes = n * sizeof(T);
    T* grown = static_cast<T*>(allocatePages(bytes));
    for (size_t i = 0; i < keep && i < capacity_; ++i) grown[i] = data_[i];
    freePages(data_, capacity_ * sizeof(T));
    data_ = grown;
    capacity_ = bytes / sizeof(T);
  }
  // Room for at least n values, doubling when it grows, so that filling it value by value
  // costs few copies; the first `keep` are kept.
  void grow(size_t n, size_t keep) {
    if (n > capacity_) reserve(n > 2 * capacity_ ? n : 2 * capacity_, keep);
  }

 private:
  T* data_ = nullptr;
  size_t capacity_ = 0;
};

// The same memory for a std::vector.
template <typename T>
struct PageAllocator {
  using value_type = T;
  PageAllocator() = default;
  template <typename U>
  PageAllocator(const PageAllocator<U>&) {}
  T* allocate(size_t n) {
    size_t bytes = n * sizeof(T);
    return static_cast<T*>(allocatePages(bytes));
  }
  // Given the count asked for: a mapping is found again from it, as it is a whole number of
  // huge pages either way.
  void deallocate(T* p, size_t n) { freePages(p, n * sizeof(T)); }
  template <typename U>
  bool operator==(const PageAllocator<U>&) const {
    return true;
  }
};

}  // namespace tavelin
