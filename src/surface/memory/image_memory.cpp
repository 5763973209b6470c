// Image memory for POSIX systems, with Linux's transparent huge pages where
// they are offered on request; elsewhere plain zeroed heap memory.
#include <cstdint>
#include <cstdlib>

#include "base/image_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zt {

#if defined(__linux__)

namespace {
constexpr size_t kLargePage = size_t{2} << 20;
// Below this a buffer is not worth a mapping of its own.
constexpr size_t kMapAtLeast = size_t{256} << 10;
}  // namespace

void* AllocateImageMemory(size_t bytes) {
  if (bytes == 0) return nullptr;
  if (bytes < kMapAtLeast) return std::calloc(bytes, 1);
  // Over-map by one large page to start on a large-page boundary, then hand
  // the unused ends back.
  const size_t span = bytes + kLargePage;
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t end = aligned + bytes;
  const uintptr_t mapped_end = start + span;
  const uintptr_t page_end = (end + 4095) & ~uintptr_t{4095};
  if (mapped_end > page_end) munmap(reinterpret_cast<void*>(page_end), mapped_end - page_end);
  // Only whole large pages: a partly used one would count in full.
  const size_t whole = bytes & ~(kLargePage - 1);
  if (whole > 0) madvise(reinterpret_cast<void*>(aligned), whole, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreeImageMemory(void* memory, size_t bytes) {
  if (memory == nullptr) return;
  if (bytes < kMapAtLeast) {
    std::free(memory);
    return;
  }
  munmap(memory, bytes);
}

#else

void* AllocateImageMemory(size_t bytes) { return bytes == 0 ? nullptr : std::calloc(bytes, 1); }
void FreeImageMemory(void* memory, size_t) { std::free(memory); }

#endif

}  // namespace zt
