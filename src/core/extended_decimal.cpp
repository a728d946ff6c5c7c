#include "extended_decimal.h"

#include <bit>

namespace genosieve {

namespace {

using soft_extended::BigInt;

constexpr uint64_t kPowersOf10[20] = {1u,
                                      10u,
                                      100u,
                                      1000u,
                                      10000u,
                                      100000u,
                                      1000000u,
                                      10000000u,
                                      100000000u,
                                      1000000000u,
                                      10000000000u,
                                      100000000000u,
                                      1000000000000u,
                                      10000000000000u,
                                      100000000000000u,
                                      1000000000000000u,
                                      10000000000000000u,
                                      100000000000000000u,
                                      1000000000000000000u,
                                      10000000000000000000u};

uint64_t ToUint64(const BigInt& x) {
  uint64_t value = 0;
  for (int i = x.size - 1; i >= 0; --i) value = value << 32 | x.limb[i];
  return value;
}

// floor(v × 10^power) for v = significand × 2^binary, and whether the rest is below,
// at or above a half (-1, 0, 1).
struct Scaled {
  uint64_t digits = 0;
  int half = -1;
};

Scaled Scale(uint64_t significand, int32_t binary, int32_t power) {
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
  Scaled scaled;
  const BigInt quotient = soft_extended::DivideInPlace(num, den);
  // The quotient stays below 10^19 for the precisions this serves; more means a wrong
  // estimate of the exponent, which the caller corrects.
  if (soft_extended::BitLength(quotient) > 64) {
    scaled.digits = ~uint64_t{0};
    return scaled;
  }
  scaled.digits = ToUint64(quotient);
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
      if (scaled.digits >= limit) {
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
