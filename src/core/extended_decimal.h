#pragma once

// Decimal text of x87 extended values, computed exactly with big integers: reading a
// decimal number (the constants written in the code) correctly rounded to nearest even,
// and writing a value as C's printf "%.*Le" does, correctly rounded from the exact
// binary value. Both work on the bits (SoftExtended), whatever type Extended is.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "extended_soft.h"

namespace genosieve {

namespace soft_extended {

// A non-negative integer of up to kCapacity 32-bit limbs, least significant first: room
// for 10^4966 × 2^64 and for 2^16384 × 10^40, the largest numbers the conversions meet.
struct BigInt {
  static constexpr int kCapacity = 560;
  uint32_t limb[kCapacity] = {};
  int size = 0;  // limbs in use; limb[size - 1] is not 0
};

constexpr void Reserve(BigInt& x, int size) {
  if (size > BigInt::kCapacity) throw std::length_error("number too large for a BigInt");
  for (int i = x.size; i < size; ++i) x.limb[i] = 0;
}

constexpr void Trim(BigInt& x) {
  while (x.size > 0 && x.limb[x.size - 1] == 0) --x.size;
}

constexpr BigInt BigFrom(uint64_t value) {
  BigInt x;
  x.limb[0] = static_cast<uint32_t>(value);
  x.limb[1] = static_cast<uint32_t>(value >> 32);
  x.size = 2;
  Trim(x);
  return x;
}

constexpr void MultiplyAdd(BigInt& x, uint32_t factor, uint32_t addend) {
  uint64_t carry = addend;
  for (int i = 0; i < x.size; ++i) {
    const uint64_t t = uint64_t{x.limb[i]} * factor + carry;
    x.limb[i] = static_cast<uint32_t>(t);
    carry = t >> 32;
  }
  if (carry != 0) {
    Reserve(x, x.size + 1);
    x.limb[x.size++] = static_cast<uint32_t>(carry);
  }
}

constexpr void MultiplyByPowerOf10(BigInt& x, int32_t power) {
  constexpr uint32_t kPowers[10] = {1,      10,      100,      1000,      10000,
                                    100000, 1000000, 10000000, 100000000, 1000000000};
  for (; power >= 9; power -= 9) MultiplyAdd(x, kPowers[9], 0);
  if (power > 0) MultiplyAdd(x, kPowers[power], 0);
}

constexpr void ShiftLeft(BigInt& x, int32_t bits) {
  if (x.size == 0 || bits == 0) return;
  const int words = bits / 32;
  const int rest = bits % 32;
  Reserve(x, x.size + words + 1);
  for (int i = x.size; i >= 0; --i) {
    const uint32_t high = i < x.size ? x.limb[i] : 0;
    const uint32_t low = i > 0 ? x.limb[i - 1] : 0;
    x.limb[i + words] = rest == 0 ? high : (high << rest | low >> (32 - rest));
  }
  for (int i = 0; i < words; ++i) x.limb[i] = 0;
  x.size += words + 1;
  Trim(x);
}

constexpr void ShiftRightOne(BigInt& x) {
  for (int i = 0; i < x.size; ++i) {
    const uint32_t next = i + 1 < x.size ? x.limb[i + 1] : 0;
    x.limb[i] = x.limb[i] >> 1 | next << 31;
  }
  Trim(x);
}

constexpr int32_t BitLength(const BigInt& x) {
  if (x.size == 0) return 0;
  return 32 * (x.size - 1) + (32 - std::countl_zero(x.limb[x.size - 1]));
}

constexpr bool BitAt(const BigInt& x, int32_t bit) {
  const int word = bit / 32;
  return word < x.size && ((x.limb[word] >> (bit % 32)) & 1) != 0;
}

constexpr int Compare(const BigInt& a, const BigInt& b) {
  if (a.size != b.size) return a.size < b.size ? -1 : 1;
  for (int i = a.size - 1; i >= 0; --i) {
    if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
  }
  return 0;
}

// a -= b, for a >= b.
constexpr void Subtract(BigInt& a, const BigInt& b) {
  int64_t borrow = 0;
  for (int i = 0; i < a.size; ++i) {
    const int64_t t = int64_t{a.limb[i]} - (i < b.size ? b.limb[i] : 0) - borrow;
    a.limb[i] = static_cast<uint32_t>(t);
    borrow = t < 0 ? 1 : 0;
  }
  Trim(a);
}

// quotient = num / den, num becomes the remainder; den > 0.
constexpr BigInt DivideInPlace(BigInt& num, const BigInt& den) {
  BigInt quotient;
  const int32_t shift = BitLength(num) - BitLength(den);
  if (shift < 0) return quotient;
  BigInt d = den;
  ShiftLeft(d, shift);
  Reserve(quotient, shift / 32 + 1);
  quotient.size = shift / 32 + 1;
  for (int32_t bit = shift; bit >= 0; --bit) {
    if (Compare(num, d) >= 0) {
      Subtract(num, d);
      quotient.limb[bit / 32] |= uint32_t{1} << (bit % 32);
    }
    ShiftRightOne(d);
  }
  Trim(quotient);
  return quotient;
}

// Rounds a positive integer x times 2^scale to an extended value: its top 128 bits,
// the others kept as a sticky bit.
constexpr SoftExtended RoundBig(const BigInt& x, int32_t scale, bool stickyBelow) {
  const int32_t length = BitLength(x);
  uint64_t word[2] = {0, 0};  // hi, lo: bits length-1 .. length-128
  bool sticky = stickyBelow;
  for (int32_t i = 0; i < 128; ++i) {
    const int32_t bit = length - 1 - i;
    if (bit >= 0 && BitAt(x, bit)) word[i / 64] |= uint64_t{1} << (63 - i % 64);
  }
  for (int32_t bit = length - 129; bit >= 0 && !sticky; --bit) sticky = BitAt(x, bit);
  // value = hi:lo × 2^(length - 128 + scale) = hi:lo × 2^(exponent - kBias - 127)
  return RoundPack(0, length - 1 + scale + kBias, word[0], word[1] | (sticky ? 1 : 0));
}

// The value of a decimal number without sign ("0.001", "1e-20", "123.", "5E3"; digit
// separators ' are skipped), rounded to nearest even. Text that is not such a number
// throws std::invalid_argument (a compile error in a constant expression).
constexpr SoftExtended ParseDecimal(std::string_view text) {
  BigInt digits;
  int32_t exponent = 0;
  bool point = false;
  bool anyDigit = false;
  int32_t significantDigits = 0;  // from the first non-zero digit
  std::size_t i = 0;
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch >= '0' && ch <= '9') {
      anyDigit = true;
      MultiplyAdd(digits, 10, static_cast<uint32_t>(ch - '0'));
      if (digits.size != 0) ++significantDigits;
      if (point) --exponent;
    } else if (ch == '.' && !point) {
      point = true;
    } else if (ch == '\'') {
    } else {
      break;
    }
  }
  if (!anyDigit) throw std::invalid_argument("not a decimal number");
  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') throw std::invalid_argument("not a decimal number");
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) throw std::invalid_argument("not a decimal number");
    int32_t written = 0;
    for (; i < text.size(); ++i) {
      if (text[i] < '0' || text[i] > '9') throw std::invalid_argument("not a decimal number");
      if (written < 100000) written = written * 10 + (text[i] - '0');
    }
    exponent += negative ? -written : written;
  }
  if (digits.size == 0) return Make(0, 0);
  if (exponent >= 0) {
    if (exponent > 5000) return Make(kIntegerBit, kExponentMask);  // beyond 10^4933
    MultiplyByPowerOf10(digits, exponent);
    return RoundBig(digits, 0, false);
  }
  // Below 10^-4952, half the smallest subnormal value (3.6e-4951) is out of reach.
  if (-exponent > 4952 + significantDigits) return Make(0, 0);
  // digits / 10^-exponent with at least 130 bits of quotient.
  BigInt power = BigFrom(1);
  MultiplyByPowerOf10(power, -exponent);
  int32_t shift = 130 + BitLength(power) - BitLength(digits);
  if (shift < 0) shift = 0;
  ShiftLeft(digits, shift);
  const BigInt quotient = DivideInPlace(digits, power);
  return RoundBig(quotient, -shift, digits.size != 0);
}

}  // namespace soft_extended

// The text printf("%.*Le", precision, value) gives for the extended value with these
// bits (rounding to nearest, "C" locale), for precision 0 to 17: "1.00000000000000e-03",
// "-inf", "nan".
std::string FormatScientific(SoftExtended value, int precision);

}  // namespace genosieve
