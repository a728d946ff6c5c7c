#pragma once

// Decimal text of x87 extended values, computed exactly with big integers: reading a
// decimal number (the constants written in the code) correctly rounded to nearest even,
// and writing a value as C's printf "%.*Le" does, correctly rounded from the exact
// binary value. Both work on the bits (SoftExtended), whatever type Extended is.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "extended_soft.h"

namespace genosieve {

namespace soft_extended {

// A non-negative integer of up to kCapacity 64-bit limbs, least significant first: room
// for 10^4968 × 2^64 and for 2^16384 × 10^17, the largest numbers the conversions meet.
// Limbs from `size` on are left unset, except in a constant expression, where clang 14
// (emscripten's) refuses to copy a BigInt holding unset limbs.
struct BigInt {
  static constexpr int kCapacity = 280;
  uint64_t limb[kCapacity];
  int size = 0;  // limbs in use; limb[size - 1] is not 0
  constexpr BigInt() {
    if (std::is_constant_evaluated()) {
      for (uint64_t& l : limb) l = 0;
    }
  }
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
  x.limb[0] = value;
  x.size = value != 0 ? 1 : 0;
  return x;
}

constexpr void MultiplyAdd(BigInt& x, uint64_t factor, uint64_t addend) {
  uint64_t carry = addend;
  for (int i = 0; i < x.size; ++i) {
    const Uint128 t = Uint128{x.limb[i]} * factor + carry;
    x.limb[i] = static_cast<uint64_t>(t);
    carry = static_cast<uint64_t>(t >> 64);
  }
  if (carry != 0) {
    Reserve(x, x.size + 1);
    x.limb[x.size++] = carry;
  }
}

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

constexpr void MultiplyByPowerOf10(BigInt& x, int32_t power) {
  for (; power >= 19; power -= 19) MultiplyAdd(x, kPowersOf10[19], 0);
  if (power > 0) MultiplyAdd(x, kPowersOf10[power], 0);
}

constexpr void ShiftLeft(BigInt& x, int32_t bits) {
  if (x.size == 0 || bits == 0) return;
  const int words = bits / 64;
  const int rest = bits % 64;
  Reserve(x, x.size + words + 1);
  for (int i = x.size; i >= 0; --i) {
    const uint64_t high = i < x.size ? x.limb[i] : 0;
    const uint64_t low = i > 0 ? x.limb[i - 1] : 0;
    x.limb[i + words] = rest == 0 ? high : (high << rest | low >> (64 - rest));
  }
  for (int i = 0; i < words; ++i) x.limb[i] = 0;
  x.size += words + 1;
  Trim(x);
}

constexpr int32_t BitLength(const BigInt& x) {
  if (x.size == 0) return 0;
  return 64 * (x.size - 1) + (64 - std::countl_zero(x.limb[x.size - 1]));
}

constexpr bool BitAt(const BigInt& x, int32_t bit) {
  const int word = bit / 64;
  return word < x.size && ((x.limb[word] >> (bit % 64)) & 1) != 0;
}

// 128 bits of x from bit `low` up (bits beyond x are 0).
constexpr Uint128 BitsFrom(const BigInt& x, int32_t low) {
  Uint128 bits = 0;
  const int word = low / 64;
  const int rest = low % 64;
  for (int i = 2; i >= 0; --i) {
    const uint64_t limb = word + i < x.size ? x.limb[word + i] : 0;
    if (i == 2) {
      if (rest != 0) bits = Uint128{limb << (64 - rest)} << 64;
    } else {
      bits |= (Uint128{limb} << (64 * i)) >> rest;
    }
  }
  return bits;
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
  uint64_t borrow = 0;
  for (int i = 0; i < a.size; ++i) {
    const uint64_t subtrahend = i < b.size ? b.limb[i] : 0;
    const uint64_t t = a.limb[i] - subtrahend;
    const uint64_t next = (a.limb[i] < subtrahend || t < borrow) ? 1 : 0;
    a.limb[i] = t - borrow;
    borrow = next;
  }
  Trim(a);
}

// num / den for a quotient below 2^64 (num < den × 2^64, den > 0); num becomes the
// remainder. The quotient is estimated from the top 64 bits of den, at most a few units
// low, then corrected.
constexpr uint64_t DivideSmall(BigInt& num, const BigInt& den) {
  const int32_t length = BitLength(den);
  const int32_t shift = length > 64 ? length - 64 : 0;
  const Uint128 top = BitsFrom(num, shift);
  const uint64_t denTop = static_cast<uint64_t>(BitsFrom(den, shift));
  uint64_t q = static_cast<uint64_t>(shift == 0 ? top / denTop : top / (Uint128{denTop} + 1));
  if (q != 0) {
    BigInt product = den;
    MultiplyAdd(product, q, 0);
    Subtract(num, product);
  }
  while (Compare(num, den) >= 0) {
    Subtract(num, den);
    ++q;
  }
  return q;
}

// Rounds a positive integer x times 2^scale to an extended value: its top 128 bits,
// the others kept as a sticky bit.
constexpr SoftExtended RoundBig(const BigInt& x, int32_t scale) {
  const int32_t length = BitLength(x);
  const int32_t low = length > 128 ? length - 128 : 0;
  const Uint128 top = BitsFrom(x, low) << (128 - (length - low));
  bool sticky = false;
  for (int i = 0; i < x.size && 64 * (i + 1) <= low; ++i) sticky = sticky || x.limb[i] != 0;
  if (low % 64 != 0 && low / 64 < x.size) {
    sticky = sticky || (x.limb[low / 64] & ((uint64_t{1} << (low % 64)) - 1)) != 0;
  }
  // value = top × 2^(length - 128 + scale) = top × 2^(exponent - kBias - 127)
  return RoundPack(0, length - 1 + scale + kBias, static_cast<uint64_t>(top >> 64),
                   static_cast<uint64_t>(top) | (sticky ? 1 : 0));
}

// The rest of a division by den with remainder rem, below a half, a half or above, as
// Divide passes it to RoundPack.
constexpr uint64_t RestOf(const BigInt& rem, const BigInt& den) {
  if (rem.size == 0) return 0;
  BigInt twice = rem;
  ShiftLeft(twice, 1);
  const int half = Compare(twice, den);
  return half < 0 ? 1 : half == 0 ? kIntegerBit : kIntegerBit | 1;
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
    return RoundBig(digits, 0);
  }
  // Below 10^-4952, half the smallest subnormal value (3.6e-4951) is out of reach.
  if (-exponent > 4952 + significantDigits) return Make(0, 0);
  // digits × 2^shift / 10^-exponent, a quotient of 64 bits; the remainder rounds it.
  BigInt power = BigFrom(1);
  MultiplyByPowerOf10(power, -exponent);
  int32_t shift = 63 + BitLength(power) - BitLength(digits);
  for (;;) {
    BigInt num = digits;
    if (shift > 0) ShiftLeft(num, shift);
    BigInt den = power;
    if (shift < 0) ShiftLeft(den, -shift);
    const uint64_t q = DivideSmall(num, den);
    if (q >= kIntegerBit) {
      // q × 2^-shift = q × 2^(exponent - kBias - 63)
      return RoundPack(0, 63 - shift + kBias, q, RestOf(num, den));
    }
    ++shift;
  }
}

}  // namespace soft_extended

// The text printf("%.*Le", precision, value) gives for the extended value with these
// bits (rounding to nearest, "C" locale), for precision 0 to 17: "1.00000000000000e-03",
// "-inf", "nan".
std::string FormatScientific(SoftExtended value, int precision);

}  // namespace genosieve
