#pragma once
// Cache hints for the pools of depth tiles and window blocks, which hand out
// memory last used a figure ago and long gone from the nearer caches.
#include <cstddef>

namespace zt {

// Asks for the lines of [at, at + bytes) ahead of writing them. Only a hint:
// it changes no value and may do nothing.
inline void PrefetchRange(const void* at, size_t bytes) {
#if defined(__GNUC__)
  for (size_t offset = 0; offset < bytes; offset += 64) {
    __builtin_prefetch(static_cast<const char*>(at) + offset, 1);
  }
#else
  (void)at;
  (void)bytes;
#endif
}

}  // namespace zt
