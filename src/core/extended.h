#pragma once

// Extended: the one type of the program's 80-bit extended values (x87 format: 64-bit
// significand, 15-bit exponent, rounding to nearest even). The Fis estimator and the
// test tally compute in it: P-values come from exact comparisons, so any other width or
// rounding would silently change published results.
//
// Where long double is the x87 format, Extended is long double and the hardware computes.
// Elsewhere (GENOSIEVE_SOFT_EXTENDED) it is SoftExtended, which gives the same bits with
// integer arithmetic. Code using Extended writes, the same way in both builds:
//   - integral constants as Extended(2), non-integral ones as 0.001_ext (never an L
//     literal: it would be rounded differently off x86);
//   - Abs, IsNan, IsInf, IsFinite rather than the <cmath> functions;
//   - static_cast<float> / static_cast<double> to narrow (rounded to nearest even);
//   - BitsOf(x) to read the 80 bits, ExtendedFromBits to make a value of them, and
//     StoreBytes / LoadBytes to keep them in 10 bytes (significand first).

#include <cstdint>
#include <cstring>

#if GENOSIEVE_SOFT_EXTENDED
#include "extended_decimal.h"
#include "extended_soft.h"
#else
#include <cfloat>
#include <cmath>

static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384,
              "long double is not the x87 80-bit extended format here: configure with "
              "-DGENOSIEVE_SOFT_EXTENDED=ON");
#endif

namespace genosieve {

// The 80 bits of an extended value: the significand with its explicit integer bit, and
// the sign (bit 15) with the biased exponent.
struct ExtendedBits {
  uint64_t significand = 0;
  uint16_t signExponent = 0;
};

#if GENOSIEVE_SOFT_EXTENDED

using Extended = SoftExtended;

constexpr Extended Abs(Extended x) {
  x.signExponent &= ~soft_extended::kSignBit;
  return x;
}
constexpr bool IsNan(Extended x) { return soft_extended::IsNanValue(x); }
constexpr bool IsInf(Extended x) { return soft_extended::IsInfValue(x); }
constexpr bool IsFinite(Extended x) {
  return soft_extended::ExponentOf(x) != soft_extended::kExponentMask;
}

constexpr ExtendedBits BitsOf(Extended x) { return {x.significand, x.signExponent}; }
constexpr Extended ExtendedFromBits(ExtendedBits bits) {
  return soft_extended::Make(bits.significand, bits.signExponent);
}

inline void StoreBytes(Extended x, unsigned char (&bytes)[10]) {
  std::memcpy(bytes, &x.significand, 8);
  std::memcpy(bytes + 8, &x.signExponent, 2);
}
inline Extended LoadBytes(const unsigned char (&bytes)[10]) {
  Extended x;
  std::memcpy(&x.significand, bytes, 8);
  std::memcpy(&x.signExponent, bytes + 8, 2);
  return x;
}

// 0.001_ext: the decimal constant rounded to nearest even, at compile time.
template <char... text>
consteval Extended operator""_ext() {
  constexpr char characters[] = {text...};
  return soft_extended::ParseDecimal(std::string_view(characters, sizeof characters));
}

#else

using Extended = long double;

inline Extended Abs(Extended x) { return std::fabs(x); }
inline bool IsNan(Extended x) { return std::isnan(x); }
inline bool IsInf(Extended x) { return std::isinf(x); }
inline bool IsFinite(Extended x) { return std::isfinite(x); }

inline ExtendedBits BitsOf(Extended x) {
  ExtendedBits bits;
  std::memcpy(&bits.significand, &x, sizeof bits.significand);
  std::memcpy(&bits.signExponent, reinterpret_cast<const unsigned char*>(&x) + 8,
              sizeof bits.signExponent);
  return bits;
}
inline Extended ExtendedFromBits(ExtendedBits bits) {
  Extended x = 0;
  std::memcpy(&x, &bits.significand, sizeof bits.significand);
  std::memcpy(reinterpret_cast<unsigned char*>(&x) + 8, &bits.signExponent,
              sizeof bits.signExponent);
  return x;
}

inline void StoreBytes(Extended x, unsigned char (&bytes)[10]) { std::memcpy(bytes, &x, 10); }
inline Extended LoadBytes(const unsigned char (&bytes)[10]) {
  Extended x = 0;
  std::memcpy(&x, bytes, 10);
  return x;
}

// The compiler rounds the literal to the x87 format to nearest, as the software build
// does.
constexpr Extended operator""_ext(long double value) { return value; }
constexpr Extended operator""_ext(unsigned long long value) { return static_cast<Extended>(value); }

#endif

}  // namespace genosieve
