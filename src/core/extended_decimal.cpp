#include "extended_decimal.h"

#include <bit>

namespace genosieve {

namespace {

using soft_extended::BigInt;
using soft_extended::kPowersOf10;
using soft_extended::Uint128;

// floor(v × 10^power) for v = significand × 2^binary when it is below 2^64 (else
// `fits` is false), and whether the rest is below, at or above a half (-1, 0, 1).
struct Scaled {
  bool fits = false;
  uint64_t digits = 0;
  int half = -1;
};

Scaled Scale(uint64_t significand, int32_t binary, int32_t power) {
  Scaled scaled;
  if (binary <= 0 && binary > -128 && power >= 0 && power <= 19) {
    // Everything in 128 bits: the values the reports write.
    const Uint128 num = Uint128{significand} * kPowersOf10[power];
    const int down = -binary;
    const Uint128 quotient = down == 0 ? num : num >> down;
    if ((quotient >> 64) != 0) return scaled;
    scaled.fits = true;
    scaled.digits = static_cast<uint64_t>(quotient);
    if (down != 0) {
      const Uint128 rest = num & ((Uint128{1} << down) - 1);
      const Uint128 halfUnit = Uint128{1} << (down - 1);
      scaled.half = rest < halfUnit ? -1 : rest == halfUnit ? 0 : 1;
    }
    return scaled;
  }
  BigInt num = soft_extended::BigFrom(significand);
  BigInt den = soft_extended::BigFrom(1);
  if (binary >= 0) {
    soft_extended::ShiftLeft(num, binary);
  } else {
    soft_extended::ShiftLeft(den, -binary);
  }
  if (power >= 0) {
    soft_extended::MultiplyByPowerOf10(num, power);
  } else {
    soft_extended::MultiplyByPowerOf10(den, -power);
  }
  // A quotient of 2^63 or more is beyond every precision served (10^18 digits).
  if (soft_extended::BitLength(num) - soft_extended::BitLength(den) > 62) return scaled;
  scaled.fits = true;
  scaled.digits = soft_extended::DivideSmall(num, den);
  soft_extended::ShiftLeft(num, 1);
  scaled.half = soft_extended::Compare(num, den);
  return scaled;
}

}  // namespace

std::string FormatScientific(SoftExtended value, int precision) {
  if (precision < 0 || precision > 17) {
    throw std::invalid_argument("FormatScientific serves precisions 0 to 17");
  }
  std::string text = soft_extended::SignOf(value) != 0 ? "-" : "";
  if (soft_extended::IsNanValue(value)) return text + "nan";
  if (soft_extended::IsInfValue(value)) return text + "inf";
  uint64_t digits = 0;
  int32_t exponent = 0;
  if (value.significand != 0) {
    const int32_t binary = soft_extended::ScaleOf(value) - soft_extended::kBias - 63;
    // 2^floorLog2 <= value < 2^(floorLog2 + 1); the decimal exponent is within one of
    // floorLog2 × log10(2).
    const int32_t floorLog2 = binary + 63 - std::countl_zero(value.significand);
    exponent = static_cast<int32_t>((int64_t{floorLog2} * 78913) >> 18);
    const uint64_t lowest = kPowersOf10[precision];
    const uint64_t limit = kPowersOf10[precision + 1];
    Scaled scaled;
    for (;;) {
      scaled = Scale(value.significand, binary, precision - exponent);
      if (!scaled.fits || scaled.digits >= limit) {
        ++exponent;
      } else if (scaled.digits < lowest) {
        --exponent;
      } else {
        break;
      }
    }
    digits = scaled.digits;
    // To nearest, ties to even (as glibc's printf in the default rounding mode).
    if (scaled.half > 0 || (scaled.half == 0 && (digits & 1) != 0)) ++digits;
    if (digits == limit) {
      digits = lowest;
      ++exponent;
    }
  }
  const std::string all = std::to_string(digits);
  text += all.size() == static_cast<std::size_t>(precision) + 1
              ? all
              : std::string(static_cast<std::size_t>(precision) + 1, '0');
  if (precision > 0) text.insert(text.size() - static_cast<std::size_t>(precision), 1, '.');
  text += 'e';
  text += exponent < 0 ? '-' : '+';
  const int32_t magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) text += '0';
  text += std::to_string(magnitude);
  return text;
}

}  // namespace genosieve
