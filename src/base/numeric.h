#pragma once
// Conversions with the program's numeric rules: geometry in double, every
// stored value a single; Int/floor towards minus infinity; "rounded" means
// nearest with ties to even; 16-bit fields wrap.
#include <cfenv>
#include <cmath>
#include <cstdint>

namespace zt {

// The one degree-to-radian factor (3.14159 / 180), deliberately not pi/180.
inline constexpr double kDegreeFactor = 0.017453277777777776;

inline float ToSingle(double v) { return static_cast<float>(v); }

// Int(): largest integer not above v.
inline int64_t FloorInt(double v) { return static_cast<int64_t>(std::floor(v)); }

// Nearest integer, ties to even (default rounding mode).
inline int64_t RoundEven(double v) { return static_cast<int64_t>(std::nearbyint(v)); }

// Store into a 16-bit field with two's-complement wrap-around.
inline int16_t Wrap16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }
inline int32_t Wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

// Common compositions.
inline int16_t Floor16(double v) { return Wrap16(FloorInt(v)); }
inline int16_t Round16(double v) { return Wrap16(RoundEven(v)); }
inline int32_t Round32(double v) { return Wrap32(RoundEven(v)); }

}  // namespace zt
