#pragma once
// The synthetic bold of faces without a bold of their own: coverage smeared
// sideways, as SDL2_ttf's old layout did.
#include <algorithm>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zt {

// `passes` times over the row, each cell gains its left neighbour's coverage,
// clamped at 255. Right to left, so every cell still reads what the last
// pass left.
inline void SmearBold(uint8_t* row, int width, int passes) {
  for (int pass = 0; pass < passes; ++pass) {
    int x = width;
#if defined(__SSE2__)
    // Title-sized glyphs take dozens of passes over thousands of cells.
    for (; x - 16 >= 1; x -= 16) {
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x - 16));
      const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x - 17));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x - 16), _mm_adds_epu8(here, left));
    }
#endif
    for (--x; x > 0; --x) row[x] = static_cast<uint8_t>(std::min(255, row[x] + row[x - 1]));
  }
}

}  // namespace zt
