#pragma once

// SoftExtended: the x87 80-bit extended format computed with integers, for processors
// without it (ARM, WebAssembly). Every operation gives the bits the x87 unit gives with
// its precision control at 64 bits and rounding to nearest even: 64-bit significand with
// an explicit integer bit, 15-bit exponent, gradual underflow to subnormals, signed
// zeros, infinities, and the x87's NaNs (the "indefinite" NaN for an invalid operation,
// operand NaNs quieted and chosen as the x87 chooses them). Only canonical encodings
// occur: the integer bit is set exactly when the exponent is not 0.

#include <bit>
#include <concepts>
#include <cstdint>
#include <limits>

namespace genosieve {

struct SoftExtended {
  uint64_t significand = 0;   // bit 63 is the integer bit
  uint16_t signExponent = 0;  // bit 15 the sign, bits 0..14 the biased exponent

  constexpr SoftExtended() = default;
  // Conversions from integers, float and double are exact, as on the x87.
  template <std::integral T>
  constexpr SoftExtended(T value);  // NOLINT(google-explicit-constructor): as long double
  constexpr SoftExtended(double value);
  constexpr SoftExtended(float value);
  // A long double would reach the double constructor rounded: never what is meant.
  SoftExtended(long double) = delete;

  // Rounded to nearest even; beyond the range, infinity.
  constexpr explicit operator double() const;
  constexpr explicit operator float() const;

  constexpr SoftExtended& operator+=(SoftExtended other);
  constexpr SoftExtended& operator-=(SoftExtended other);
  constexpr SoftExtended& operator*=(SoftExtended other);
  constexpr SoftExtended& operator/=(SoftExtended other);
};

namespace soft_extended {

__extension__ typedef unsigned __int128 Uint128;

inline constexpr int32_t kBias = 16383;
inline constexpr uint16_t kExponentMask = 0x7FFF;
inline constexpr uint16_t kSignBit = 0x8000;
inline constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
inline constexpr uint64_t kQuietBit = uint64_t{1} << 62;

constexpr SoftExtended Make(uint64_t significand, uint16_t signExponent) {
  SoftExtended value;
  value.significand = significand;
  value.signExponent = signExponent;
  return value;
}

// The x87's default NaN, the result of an invalid operation on operands that are not NaN.
inline constexpr SoftExtended kIndefinite = Make(0xC000000000000000u, 0xFFFF);

constexpr uint16_t SignOf(SoftExtended x) { return x.signExponent & kSignBit; }
constexpr int32_t ExponentOf(SoftExtended x) { return x.signExponent & kExponentMask; }
constexpr bool IsNanValue(SoftExtended x) {
  return ExponentOf(x) == kExponentMask && (x.significand << 1) != 0;
}
constexpr bool IsInfValue(SoftExtended x) {
  return ExponentOf(x) == kExponentMask && (x.significand << 1) == 0;
}
constexpr bool IsZeroValue(SoftExtended x) { return x.significand == 0; }

// The exponent of the significand's unit as for a normal value: subnormals (exponent
// field 0) share the scale of exponent 1.
constexpr int32_t ScaleOf(SoftExtended x) {
  const int32_t e = ExponentOf(x);
  return e == 0 ? 1 : e;
}

// Rounds sign × s × 2^(exponent - kBias - 127), s = hi:lo ≠ 0 (lo may carry a sticky bit
// at its bottom), to nearest even, with gradual underflow and overflow to infinity.
constexpr SoftExtended RoundPack(uint16_t sign, int32_t exponent, uint64_t hi, uint64_t lo) {
  // Normalise: the leading one to bit 127.
  if (hi == 0) {
    hi = lo;
    lo = 0;
    exponent -= 64;
  }
  const int shift = std::countl_zero(hi);
  if (shift != 0) {
    hi = hi << shift | lo >> (64 - shift);
    lo <<= shift;
    exponent -= shift;
  }
  if (exponent >= 1) [[likely]] {
    if (lo > kIntegerBit || (lo == kIntegerBit && (hi & 1) != 0)) {
      ++hi;
      if (hi == 0) {
        hi = kIntegerBit;
        ++exponent;
      }
    }
    if (exponent >= kExponentMask) return Make(kIntegerBit, sign | kExponentMask);
    return Make(hi, static_cast<uint16_t>(sign | exponent));
  }
  // Below the normal range: the unit becomes 2^(1 - kBias - 63), 1 - exponent bits lower.
  const int32_t down = 1 - exponent;
  uint64_t m = 0;
  bool half = false;
  bool sticky = false;
  if (down < 64) {
    m = hi >> down;
    half = ((hi >> (down - 1)) & 1) != 0;
    sticky = (hi & ((uint64_t{1} << (down - 1)) - 1)) != 0 || lo != 0;
  } else if (down == 64) {
    half = true;  // bit 127 is the leading one
    sticky = (hi << 1) != 0 || lo != 0;
  }
  if (half && (sticky || (m & 1) != 0)) ++m;
  // Rounding up to 2^63 reaches the smallest normal value, exponent 1.
  return Make(m, static_cast<uint16_t>(sign | (m >> 63)));
}

// The NaN result of an operation with at least one NaN operand: a signalling NaN is
// quieted; of two, the quiet one wins over a signalling one, else the larger
// significand, and of equal significands the positive one.
constexpr SoftExtended PropagateNan(SoftExtended a, SoftExtended b) {
  const bool aNan = IsNanValue(a);
  const bool bNan = IsNanValue(b);
  SoftExtended chosen = aNan ? a : b;
  if (aNan && bNan) {
    const bool aQuiet = (a.significand & kQuietBit) != 0;
    const bool bQuiet = (b.significand & kQuietBit) != 0;
    if (aQuiet != bQuiet) {
      chosen = aQuiet ? a : b;
    } else if (a.significand != b.significand) {
      chosen = a.significand > b.significand ? a : b;
    } else {
      chosen = SignOf(a) == 0 ? a : b;
    }
  }
  chosen.significand |= kQuietBit;
  return chosen;
}

constexpr SoftExtended Add(SoftExtended a, SoftExtended b) {
  const int32_t ea = ExponentOf(a);
  const int32_t eb = ExponentOf(b);
  if (ea == kExponentMask || eb == kExponentMask) [[unlikely]] {
    if (IsNanValue(a) || IsNanValue(b)) return PropagateNan(a, b);
    if (ea == kExponentMask && eb == kExponentMask && SignOf(a) != SignOf(b)) return kIndefinite;
    return ea == kExponentMask ? a : b;
  }
  if (b.significand == 0) [[unlikely]] {
    // x + 0 = x; +0 + -0 = +0 when rounding to nearest.
    if (a.significand == 0) return Make(0, static_cast<uint16_t>(SignOf(a) & SignOf(b)));
    return a;
  }
  if (a.significand == 0) [[unlikely]]
    return b;
  // a the larger in magnitude.
  int32_t sa = ea == 0 ? 1 : ea;
  int32_t sb = eb == 0 ? 1 : eb;
  if (sa < sb || (sa == sb && a.significand < b.significand)) {
    const SoftExtended t = a;
    a = b;
    b = t;
    const int32_t ts = sa;
    sa = sb;
    sb = ts;
  }
  const uint16_t sign = SignOf(a);
  const uint32_t d = static_cast<uint32_t>(sa - sb);
  // b's significand aligned below a's in a 128-bit frame, bits shifted out kept as a
  // sticky bit at the bottom.
  uint64_t bHi = b.significand;
  uint64_t bLo = 0;
  if (d == 0) {
  } else if (d < 64) {
    bLo = bHi << (64 - d);
    bHi >>= d;
  } else if (d < 128) {
    const uint32_t e = d - 64;
    bLo = e == 0 ? bHi : (bHi >> e | ((bHi << (64 - e)) != 0 ? 1 : 0));
    bHi = 0;
  } else {
    bLo = 1;
    bHi = 0;
  }
  if (SignOf(a) == SignOf(b)) {
    uint64_t lo = bLo;  // a's low half is 0
    uint64_t hi = a.significand + bHi;
    if (hi < bHi) {
      // Carry out of bit 127: one bit down, the lost bit kept as sticky.
      lo = lo >> 1 | (hi << 63) | (lo & 1);
      hi = hi >> 1 | kIntegerBit;
      return RoundPack(sign, sa + 1, hi, lo);
    }
    return RoundPack(sign, sa, hi, lo);
  }
  const uint64_t lo = 0 - bLo;
  const uint64_t hi = a.significand - bHi - (bLo != 0 ? 1 : 0);
  if ((hi | lo) == 0) return Make(0, 0);  // exact cancellation gives +0
  return RoundPack(sign, sa, hi, lo);
}

constexpr SoftExtended Negate(SoftExtended x) {
  x.signExponent ^= kSignBit;
  return x;
}

constexpr SoftExtended Subtract(SoftExtended a, SoftExtended b) {
  // A NaN operand is not negated.
  if (IsNanValue(b)) [[unlikely]]
    return PropagateNan(a, b);
  return Add(a, Negate(b));
}

constexpr SoftExtended Multiply(SoftExtended a, SoftExtended b) {
  const int32_t ea = ExponentOf(a);
  const int32_t eb = ExponentOf(b);
  const uint16_t sign = SignOf(a) ^ SignOf(b);
  if (ea == kExponentMask || eb == kExponentMask) [[unlikely]] {
    if (IsNanValue(a) || IsNanValue(b)) return PropagateNan(a, b);
    if (a.significand == 0 || b.significand == 0) return kIndefinite;  // 0 × ∞
    return Make(kIntegerBit, sign | kExponentMask);
  }
  if (a.significand == 0 || b.significand == 0) [[unlikely]]
    return Make(0, sign);
  const Uint128 product = Uint128{a.significand} * b.significand;
  return RoundPack(sign, ScaleOf(a) + ScaleOf(b) - kBias + 1, static_cast<uint64_t>(product >> 64),
                   static_cast<uint64_t>(product));
}

constexpr SoftExtended Divide(SoftExtended a, SoftExtended b) {
  const int32_t ea = ExponentOf(a);
  const int32_t eb = ExponentOf(b);
  const uint16_t sign = SignOf(a) ^ SignOf(b);
  if (ea == kExponentMask || eb == kExponentMask) [[unlikely]] {
    if (IsNanValue(a) || IsNanValue(b)) return PropagateNan(a, b);
    if (ea == kExponentMask) {
      if (eb == kExponentMask) return kIndefinite;  // ∞ / ∞
      return Make(kIntegerBit, sign | kExponentMask);
    }
    return Make(0, sign);  // x / ∞
  }
  if (b.significand == 0) [[unlikely]] {
    if (a.significand == 0) return kIndefinite;      // 0 / 0
    return Make(kIntegerBit, sign | kExponentMask);  // x / 0
  }
  if (a.significand == 0) [[unlikely]]
    return Make(0, sign);
  uint64_t ma = a.significand;
  uint64_t mb = b.significand;
  int32_t scale = ScaleOf(a) - ScaleOf(b) + kBias;
  if (ma < kIntegerBit || mb < kIntegerBit) [[unlikely]] {
    const int za = std::countl_zero(ma);
    const int zb = std::countl_zero(mb);
    ma <<= za;
    mb <<= zb;
    scale += zb - za;
  }
  // A 64-bit quotient of the significands, then what the remainder says of the rest:
  // nothing, below a half, a half, above a half.
  Uint128 dividend = Uint128{ma} << 64;
  if (ma >= mb) {
    dividend >>= 1;
  } else {
    scale -= 1;
  }
  const uint64_t q = static_cast<uint64_t>(dividend / mb);
  const uint64_t r = static_cast<uint64_t>(dividend - Uint128{q} * mb);
  uint64_t rest = 0;
  if (r != 0) {
    const uint64_t other = mb - r;
    rest = r < other ? 1 : r == other ? kIntegerBit : kIntegerBit | 1;
  }
  return RoundPack(sign, scale, q, rest);
}

// Comparisons as the x87's unordered compare: any NaN makes all but != false; -0 = +0.
constexpr bool Unordered(SoftExtended a, SoftExtended b) { return IsNanValue(a) || IsNanValue(b); }

// For ordered operands: a < b.
constexpr bool LessOrdered(SoftExtended a, SoftExtended b) {
  const bool aNegative = SignOf(a) != 0;
  const bool bNegative = SignOf(b) != 0;
  if (aNegative != bNegative) {
    // Different signs: a < b unless both are zeros.
    return aNegative && (a.significand | b.significand) != 0;
  }
  // Canonical encodings order as (exponent, significand) within a sign.
  const int32_t ea = ExponentOf(a);
  const int32_t eb = ExponentOf(b);
  if (ea != eb) return aNegative ? ea > eb : ea < eb;
  return aNegative ? a.significand > b.significand : a.significand < b.significand;
}

constexpr bool EqualOrdered(SoftExtended a, SoftExtended b) {
  return (a.significand == b.significand && a.signExponent == b.signExponent) ||
         (a.significand == 0 && b.significand == 0);
}

template <std::integral T>
constexpr SoftExtended FromInteger(T value) {
  uint16_t sign = 0;
  uint64_t magnitude = static_cast<uint64_t>(value);
  if constexpr (std::is_signed_v<T>) {
    if (value < 0) {
      sign = kSignBit;
      magnitude = 0 - magnitude;
    }
  }
  if (magnitude == 0) return Make(0, 0);
  const int z = std::countl_zero(magnitude);
  return Make(magnitude << z, static_cast<uint16_t>(sign | (kBias + 63 - z)));
}

// An IEEE binary value of `bits` significand bits (hidden bit excluded) and
// `exponentBits` exponent bits, widened exactly; a signalling NaN is quieted.
template <int bits, int exponentBits>
constexpr SoftExtended Widen(uint64_t encoding) {
  constexpr int32_t bias = (1 << (exponentBits - 1)) - 1;
  constexpr uint64_t fractionMask = (uint64_t{1} << bits) - 1;
  constexpr int32_t maxExponent = (1 << exponentBits) - 1;
  const uint16_t sign = (encoding >> (bits + exponentBits)) != 0 ? kSignBit : 0;
  const int32_t e = static_cast<int32_t>((encoding >> bits) & static_cast<uint64_t>(maxExponent));
  const uint64_t fraction = encoding & fractionMask;
  if (e == maxExponent) {
    if (fraction == 0) return Make(kIntegerBit, sign | kExponentMask);
    return Make(kIntegerBit | kQuietBit | fraction << (63 - bits), sign | kExponentMask);
  }
  if (e == 0) {
    if (fraction == 0) return Make(0, sign);
    const int z = std::countl_zero(fraction);
    // fraction × 2^(1 - bias - bits), leading one moved to bit 63.
    return Make(fraction << z, static_cast<uint16_t>(sign | (kBias + 1 - bias + (63 - bits) - z)));
  }
  return Make(kIntegerBit | fraction << (63 - bits),
              static_cast<uint16_t>(sign | (e - bias + kBias)));
}

// The IEEE binary encoding of x rounded to nearest even: NaNs quieted keeping the top of
// their payload, overflow to infinity, gradual underflow.
template <int bits, int exponentBits>
constexpr uint64_t Narrow(SoftExtended x) {
  constexpr int32_t bias = (1 << (exponentBits - 1)) - 1;
  constexpr uint64_t maxExponent = (uint64_t{1} << exponentBits) - 1;
  const uint64_t sign = SignOf(x) != 0 ? uint64_t{1} << (bits + exponentBits) : 0;
  const int32_t e = ExponentOf(x);
  if (e == kExponentMask) {
    uint64_t fraction = 0;
    if (IsNanValue(x)) fraction = ((x.significand << 1) >> (64 - bits)) | uint64_t{1} << (bits - 1);
    return sign | maxExponent << bits | fraction;
  }
  if (x.significand == 0) return sign;
  const int z = std::countl_zero(x.significand);
  const uint64_t m = x.significand << z;
  // x = m × 2^(exponent - 63), m with its leading one at bit 63.
  const int32_t exponent = ScaleOf(x) - kBias - z;
  int32_t target = exponent + bias;  // the biased exponent if normal
  if (target >= static_cast<int32_t>(maxExponent)) return sign | maxExponent << bits;
  // Bits of m dropped: 63 - bits for a normal result, more below the normal range.
  int32_t drop = 63 - bits;
  if (target < 1) {
    drop += 1 - target;
    target = 0;
  }
  if (drop > 64) return sign;  // below half the smallest subnormal
  uint64_t kept = drop == 64 ? 0 : m >> drop;
  const uint64_t halfBit = uint64_t{1} << (drop - 1);
  const uint64_t rest = m & ((halfBit << 1) - 1);  // drop ≤ 64: the mask is exact
  if (rest > halfBit || (rest == halfBit && (kept & 1) != 0)) ++kept;
  // kept holds the hidden bit for a normal result; rounding may carry into the next
  // binade (or from the subnormals into the normals), which adds to the exponent field.
  uint64_t encoding = 0;
  if (target == 0) {
    encoding = kept;  // a carry to 2^bits is the smallest normal's encoding
  } else {
    encoding = (static_cast<uint64_t>(target) << bits) + (kept - (uint64_t{1} << bits));
  }
  if ((encoding >> bits) >= maxExponent) return sign | maxExponent << bits;
  return sign | encoding;
}

// std::bit_cast, which some standard libraries lack (WebAssembly's libc++); GCC and
// Clang both have its builtin.
template <typename To, typename From>
constexpr To BitCast(const From& from) {
  static_assert(sizeof(To) == sizeof(From));
  return __builtin_bit_cast(To, from);
}

}  // namespace soft_extended

template <std::integral T>
constexpr SoftExtended::SoftExtended(T value) : SoftExtended(soft_extended::FromInteger(value)) {}

constexpr SoftExtended::SoftExtended(double value)
    : SoftExtended(soft_extended::Widen<52, 11>(soft_extended::BitCast<uint64_t>(value))) {}

constexpr SoftExtended::SoftExtended(float value)
    : SoftExtended(soft_extended::Widen<23, 8>(soft_extended::BitCast<uint32_t>(value))) {}

constexpr SoftExtended::operator double() const {
  return soft_extended::BitCast<double>(soft_extended::Narrow<52, 11>(*this));
}

constexpr SoftExtended::operator float() const {
  return soft_extended::BitCast<float>(static_cast<uint32_t>(soft_extended::Narrow<23, 8>(*this)));
}

constexpr SoftExtended operator+(SoftExtended a, SoftExtended b) {
  return soft_extended::Add(a, b);
}
constexpr SoftExtended operator-(SoftExtended a, SoftExtended b) {
  return soft_extended::Subtract(a, b);
}
constexpr SoftExtended operator*(SoftExtended a, SoftExtended b) {
  return soft_extended::Multiply(a, b);
}
constexpr SoftExtended operator/(SoftExtended a, SoftExtended b) {
  return soft_extended::Divide(a, b);
}
constexpr SoftExtended operator-(SoftExtended a) { return soft_extended::Negate(a); }
constexpr SoftExtended operator+(SoftExtended a) { return a; }

constexpr SoftExtended& SoftExtended::operator+=(SoftExtended other) {
  return *this = *this + other;
}
constexpr SoftExtended& SoftExtended::operator-=(SoftExtended other) {
  return *this = *this - other;
}
constexpr SoftExtended& SoftExtended::operator*=(SoftExtended other) {
  return *this = *this * other;
}
constexpr SoftExtended& SoftExtended::operator/=(SoftExtended other) {
  return *this = *this / other;
}

constexpr bool operator==(SoftExtended a, SoftExtended b) {
  return !soft_extended::Unordered(a, b) && soft_extended::EqualOrdered(a, b);
}
constexpr bool operator<(SoftExtended a, SoftExtended b) {
  return !soft_extended::Unordered(a, b) && soft_extended::LessOrdered(a, b);
}
constexpr bool operator>(SoftExtended a, SoftExtended b) { return b < a; }
constexpr bool operator<=(SoftExtended a, SoftExtended b) {
  return !soft_extended::Unordered(a, b) && !soft_extended::LessOrdered(b, a);
}
constexpr bool operator>=(SoftExtended a, SoftExtended b) { return b <= a; }

}  // namespace genosieve

// The limits of the x87 format, as std::numeric_limits<long double> gives them there.
template <>
class std::numeric_limits<genosieve::SoftExtended> {
  using T = genosieve::SoftExtended;
  static constexpr T Of(uint64_t significand, uint16_t signExponent) {
    return genosieve::soft_extended::Make(significand, signExponent);
  }

 public:
  static constexpr bool is_specialized = true;
  static constexpr bool is_signed = true;
  static constexpr bool is_integer = false;
  static constexpr bool is_exact = false;
  static constexpr bool has_infinity = true;
  static constexpr bool has_quiet_NaN = true;
  static constexpr bool has_signaling_NaN = true;
  static constexpr bool is_iec559 = true;
  static constexpr bool is_bounded = true;
  static constexpr bool is_modulo = false;
  static constexpr bool tinyness_before = false;
  static constexpr bool traps = false;
  static constexpr std::float_round_style round_style = std::round_to_nearest;
  static constexpr int digits = 64;
  static constexpr int digits10 = 18;
  static constexpr int max_digits10 = 21;
  static constexpr int radix = 2;
  static constexpr int min_exponent = -16381;
  static constexpr int min_exponent10 = -4931;
  static constexpr int max_exponent = 16384;
  static constexpr int max_exponent10 = 4932;

  static constexpr T min() noexcept { return Of(0x8000000000000000u, 0x0001); }
  static constexpr T max() noexcept { return Of(0xFFFFFFFFFFFFFFFFu, 0x7FFE); }
  static constexpr T lowest() noexcept { return Of(0xFFFFFFFFFFFFFFFFu, 0xFFFE); }
  static constexpr T epsilon() noexcept { return Of(0x8000000000000000u, 16383 - 63); }
  static constexpr T round_error() noexcept { return Of(0x8000000000000000u, 16382); }
  static constexpr T infinity() noexcept { return Of(0x8000000000000000u, 0x7FFF); }
  static constexpr T quiet_NaN() noexcept { return Of(0xC000000000000000u, 0x7FFF); }
  static constexpr T signaling_NaN() noexcept { return Of(0xA000000000000000u, 0x7FFF); }
  static constexpr T denorm_min() noexcept { return Of(1, 0); }
};
