#include "record_store/page_buffer.h"

#include <sys/mman.h>

#include <cstdlib>

namespace tavelin {
namespace {

// Below this the heap serves: its pages are mostly touched already. Under AddressSanitizer
// the heap serves every size, so that a read or write past a buffer's end is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define TAVELIN_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVELIN_HEAP_ONLY 1
#endif
#endif
#ifdef TAVELIN_HEAP_ONLY
constexpr size_t kMappedFrom = ~size_t{0};
#else
constexpr size_t kMappedFrom = size_t{256} << 10;
#endif
constexpr size_t kHugePage = size_t{2} << 20;

size_t mappedSize(size_t bytes) {
  return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocatePages(size_t& bytes) {
  if (bytes < kMappedFrom) {
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (!p) throw std::bad_alloc();
    return p;
  }
  // A huge page needs an address on its own boundary: map one page more and give back what
  // lies before the boundary and after the end.
  const size_t size = mappedSize(bytes);
  void* mapped =
      mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  auto* start = static_cast<char*>(mapped);
  const size_t address = reinterpret_cast<size_t>(start);
  const size_t lead = (kHugePage - address % kHugePage) % kHugePage;
  if (lead > 0) munmap(start, lead);
  if (kHugePage - lead > 0) munmap(start + lead + size, kHugePage - lead);
  // Only advice: without huge pages the buffer works the same, a little slower.
  madvise(start + lead, size, MADV_HUGEPAGE);
  bytes = size;
  return start + lead;
}

void freePages(void* data, size_t bytes) {
  if (!data) return;
  if (bytes < kMappedFrom) {
    std::free(data);
    return;
  }
  munmap(data, mappedSize(bytes));
}

}  // namespace tavelin
