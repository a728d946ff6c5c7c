// SoftExtended against the x87 unit itself, bit for bit: random operands over the whole
// encoding range and in the ranges the estimator meets, the edge cases of rounding,
// underflow, overflow and NaNs, the conversions and the decimal text. Built only where
// long double is the x87 format, by the hardware build without sanitizers; the one place
// besides extended.h that writes long double, as the reference.

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "extended_decimal.h"
#include "extended_soft.h"

static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384, "the reference is the x87 format");

namespace genosieve {
namespace {

using Hard = long double;

#ifndef NDEBUG
// Debug builds check the same draws, fewer of them.
constexpr int64_t kOperations = 200'000;
#else
constexpr int64_t kOperations = 10'000'000;
#endif

SoftExtended ToSoft(Hard x) {
  SoftExtended s;
  std::memcpy(&s.significand, &x, 8);
  std::memcpy(&s.signExponent, reinterpret_cast<const unsigned char*>(&x) + 8, 2);
  return s;
}

Hard ToHard(SoftExtended s) {
  Hard x = 0;
  std::memcpy(&x, &s.significand, 8);
  std::memcpy(reinterpret_cast<unsigned char*>(&x) + 8, &s.signExponent, 2);
  return x;
}

bool Same(SoftExtended a, SoftExtended b) {
  return a.significand == b.significand && a.signExponent == b.signExponent;
}

std::string Bits(SoftExtended x) {
  char text[32];
  std::snprintf(text, sizeof text, "%04x:%016llx", static_cast<unsigned>(x.signExponent),
                static_cast<unsigned long long>(x.significand));
  return text;
}

// splitmix64: fast, and the same draws in every build.
struct Random {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>((Next() >> 32) * n >> 32); }
};

SoftExtended Encoding(bool negative, uint32_t exponent, uint64_t significand) {
  // Canonical: the integer bit set exactly when the exponent is not 0.
  significand = exponent == 0 ? significand & ~soft_extended::kIntegerBit
                              : significand | soft_extended::kIntegerBit;
  return soft_extended::Make(significand,
                             static_cast<uint16_t>((negative ? 0x8000 : 0) | exponent));
}

// Any canonical encoding, with the rare classes drawn often: zeros, subnormals,
// infinities, NaNs (quiet and signalling) and the exponents next to the ends.
SoftExtended AnyBits(Random& random) {
  const uint64_t r = random.Next();
  const bool negative = (r & 1) != 0;
  uint64_t significand = random.Next();
  uint32_t exponent = static_cast<uint32_t>(r >> 8) & 0x7FFF;
  switch ((r >> 1) & 15) {
    case 0:
      exponent = 0;
      if ((r >> 5 & 3) == 0) significand = 0;
      if ((r >> 5 & 3) == 1) significand >>= (r >> 24) % 64;  // tiny subnormals
      break;
    case 1:
      exponent = 0x7FFF;
      if ((r >> 5 & 3) == 0) significand = 0;                           // infinity
      if ((r >> 5 & 3) == 1) significand &= ~soft_extended::kQuietBit;  // signalling
      break;
    case 2:
      exponent = static_cast<uint32_t>((r >> 24) % 4) + 1;
      break;
    case 3:
      exponent = 0x7FFE - static_cast<uint32_t>((r >> 24) % 4);
      break;
    default:
      break;
  }
  SoftExtended x = Encoding(negative, exponent, significand);
  if (exponent == 0x7FFF && (x.significand << 1) == 0 && (r >> 5 & 3) != 0) {
    x.significand |= 1;  // a NaN, not an infinity
  }
  return x;
}

// A second operand close in scale to the first, so that additions align, cancel and
// round rather than return the larger operand; sometimes a random one.
SoftExtended Partner(Random& random, SoftExtended a) {
  const uint64_t r = random.Next();
  if ((r & 7) == 0) return AnyBits(random);
  const int32_t exponent = a.signExponent & 0x7FFF;
  int32_t e = exponent + static_cast<int32_t>(r >> 8 & 127) - 63;
  if ((r & 7) == 1) e = exponent;
  if (e < 0) e = 0;
  if (e > 0x7FFE) e = 0x7FFE;
  uint64_t significand = random.Next();
  if ((r & 7) == 2) significand = a.significand ^ (random.Next() >> (r >> 16 & 63));  // cancel
  return Encoding((r >> 3 & 1) != 0, static_cast<uint32_t>(e), significand);
}

// Values as the estimator makes them: frequencies count / 2n and their products with
// sample sizes, floats widened, sums and differences of such, small integers, and values
// near the 0.001 / 0.999 / 1e-20 bounds.
Hard Realistic(Random& random) {
  const uint64_t r = random.Next();
  const Hard n = static_cast<Hard>(1 + random.Below(5000));
  const Hard count = static_cast<Hard>(random.Below(10001));
  const Hard p = count / (Hard(2) * n);
  Hard value = 0;
  switch (r & 7) {
    case 0:
      value = p;
      break;
    case 1:
      value = (p * p) * n;
      break;
    case 2:
      value = static_cast<Hard>(static_cast<float>(p * n - Hard(1) / n));
      break;
    case 3:
      value = (Hard(1) - p) * p - (p / Hard(3)) / n;
      break;
    case 4:
      value = static_cast<Hard>(random.Below(1000)) - Hard(500);
      break;
    case 5:
      value = 1e-20L * (p - Hard(0.5));
      break;
    case 6:
      value = (r >> 8 & 1) != 0 ? 0.001L + p * 1e-6L : 0.999L - p * 1e-6L;
      break;
    default:
      value = p / (Hard(1) + count) - Hard(1) / n;
      break;
  }
  return (r >> 9 & 1) != 0 ? -value : value;
}

// Counts disagreements and describes the first few.
struct Mismatches {
  int64_t count = 0;
  std::string first;
  void Add(const std::string& what) {
    if (count++ < 8) first += what + "\n";
  }
  void Expect(const char* name) const {
    EXPECT_EQ(count, 0) << name << ": " << count << " results differ from the x87; first:\n"
                        << first;
  }
};

enum class Op { kAdd, kSubtract, kMultiply, kDivide };

Hard HardOp(Op op, Hard a, Hard b) {
  switch (op) {
    case Op::kAdd:
      return a + b;
    case Op::kSubtract:
      return a - b;
    case Op::kMultiply:
      return a * b;
    case Op::kDivide:
      return a / b;
  }
  return 0;
}

SoftExtended SoftOp(Op op, SoftExtended a, SoftExtended b) {
  switch (op) {
    case Op::kAdd:
      return a + b;
    case Op::kSubtract:
      return a - b;
    case Op::kMultiply:
      return a * b;
    case Op::kDivide:
      return a / b;
  }
  return {};
}

void CheckOp(Op op, SoftExtended a, SoftExtended b, Mismatches& mismatches) {
  const SoftExtended soft = SoftOp(op, a, b);
  const SoftExtended hard = ToSoft(HardOp(op, ToHard(a), ToHard(b)));
  if (!Same(soft, hard)) {
    mismatches.Add("op " + std::to_string(static_cast<int>(op)) + " " + Bits(a) + " " + Bits(b) +
                   ": soft " + Bits(soft) + ", x87 " + Bits(hard));
  }
}

void CheckRandomOp(Op op, uint64_t seed, const char* name) {
  Mismatches mismatches;
  Random random{seed};
  for (int64_t i = 0; i < kOperations; ++i) {
    const SoftExtended a = AnyBits(random);
    CheckOp(op, a, Partner(random, a), mismatches);
  }
  for (int64_t i = 0; i < kOperations; ++i) {
    CheckOp(op, ToSoft(Realistic(random)), ToSoft(Realistic(random)), mismatches);
  }
  mismatches.Expect(name);
}

TEST(SoftExtendedAgainstX87, Addition) { CheckRandomOp(Op::kAdd, 1, "addition"); }
TEST(SoftExtendedAgainstX87, Subtraction) { CheckRandomOp(Op::kSubtract, 2, "subtraction"); }
TEST(SoftExtendedAgainstX87, Multiplication) { CheckRandomOp(Op::kMultiply, 3, "multiplication"); }
TEST(SoftExtendedAgainstX87, Division) { CheckRandomOp(Op::kDivide, 4, "division"); }

void CheckCompare(SoftExtended a, SoftExtended b, Mismatches& mismatches) {
  const Hard x = ToHard(a);
  const Hard y = ToHard(b);
  const int soft =
      (a == b) | (a != b) << 1 | (a < b) << 2 | (a <= b) << 3 | (a > b) << 4 | (a >= b) << 5;
  const int hard =
      (x == y) | (x != y) << 1 | (x < y) << 2 | (x <= y) << 3 | (x > y) << 4 | (x >= y) << 5;
  if (soft != hard) {
    mismatches.Add(Bits(a) + " " + Bits(b) + ": soft " + std::to_string(soft) + ", x87 " +
                   std::to_string(hard));
  }
}

TEST(SoftExtendedAgainstX87, Comparisons) {
  Mismatches mismatches;
  Random random{5};
  for (int64_t i = 0; i < kOperations; ++i) {
    const SoftExtended a = AnyBits(random);
    const uint64_t r = random.Next();
    // Equal values, zeros of both signs and neighbours besides random partners.
    SoftExtended b = Partner(random, a);
    if ((r & 7) == 0) b = a;
    if ((r & 7) == 1) b = ToSoft(__builtin_nextafterl(ToHard(a), (r >> 3 & 1) != 0 ? 1.0L : -1.0L));
    if ((r & 7) == 2 && a.significand == 0) b = soft_extended::Make(0, (r >> 3 & 1) << 15);
    CheckCompare(a, b, mismatches);
  }
  for (int64_t i = 0; i < kOperations; ++i) {
    CheckCompare(ToSoft(Realistic(random)), ToSoft(Realistic(random)), mismatches);
  }
  mismatches.Expect("comparisons");
}

TEST(SoftExtendedAgainstX87, NegationAbsoluteValueAndClasses) {
  Mismatches mismatches;
  Random random{6};
  for (int64_t i = 0; i < kOperations; ++i) {
    const SoftExtended a = AnyBits(random);
    const Hard x = ToHard(a);
    const SoftExtended negated = -a;
    const SoftExtended magnitude = soft_extended::Make(a.significand, a.signExponent & 0x7FFF);
    const int soft = soft_extended::IsNanValue(a) | soft_extended::IsInfValue(a) << 1;
    const int hard = __builtin_isnan(x) | (__builtin_isinf(x) != 0) << 1;
    if (!Same(negated, ToSoft(-x)) || !Same(magnitude, ToSoft(__builtin_fabsl(x))) ||
        soft != hard) {
      mismatches.Add(Bits(a));
    }
  }
  mismatches.Expect("negation, absolute value, classes");
}

void CheckNarrowing(SoftExtended a, Mismatches& mismatches) {
  const Hard x = ToHard(a);
  const double softDouble = static_cast<double>(a);
  const double hardDouble = static_cast<double>(x);
  const float softFloat = static_cast<float>(a);
  const float hardFloat = static_cast<float>(x);
  if (std::memcmp(&softDouble, &hardDouble, sizeof softDouble) != 0 ||
      std::memcmp(&softFloat, &hardFloat, sizeof softFloat) != 0) {
    char text[96];
    std::snprintf(text, sizeof text, ": soft %a %a, x87 %a %a", softDouble,
                  static_cast<double>(softFloat), hardDouble, static_cast<double>(hardFloat));
    mismatches.Add(Bits(a) + text);
  }
}

// Extended values near the double and float ranges' ends are drawn often: overflow,
// the subnormals of each format, and ties of their rounding.
SoftExtended NearNarrowRanges(Random& random) {
  const uint64_t r = random.Next();
  static constexpr int32_t kCentres[] = {16383 + 1023, 16383 - 1022, 16383 - 1074,
                                         16383 + 127,  16383 - 126,  16383 - 149};
  const int32_t e = kCentres[r % 6] + static_cast<int32_t>(r >> 8 & 63) - 31;
  uint64_t significand = random.Next();
  if ((r >> 16 & 3) == 0) significand &= ~uint64_t{0} << (r >> 20 & 63);  // ties, exact
  return Encoding((r >> 30 & 1) != 0, static_cast<uint32_t>(e), significand);
}

TEST(SoftExtendedAgainstX87, ToDoubleAndFloat) {
  Mismatches mismatches;
  Random random{7};
  for (int64_t i = 0; i < kOperations; ++i) {
    CheckNarrowing(AnyBits(random), mismatches);
    CheckNarrowing(NearNarrowRanges(random), mismatches);
    CheckNarrowing(ToSoft(Realistic(random)), mismatches);
  }
  mismatches.Expect("conversions to double and float");
}

void CheckWidening(uint64_t doubleBits, uint32_t floatBits, Mismatches& mismatches) {
  double d = 0;
  std::memcpy(&d, &doubleBits, sizeof d);
  float f = 0;
  std::memcpy(&f, &floatBits, sizeof f);
  const SoftExtended fromDouble = d;
  const SoftExtended fromFloat = f;
  if (!Same(fromDouble, ToSoft(static_cast<Hard>(d))) ||
      !Same(fromFloat, ToSoft(static_cast<Hard>(f)))) {
    char text[64];
    std::snprintf(text, sizeof text, "double %016llx float %08x",
                  static_cast<unsigned long long>(doubleBits), floatBits);
    mismatches.Add(text);
  }
}

TEST(SoftExtendedAgainstX87, FromDoubleAndFloat) {
  Mismatches mismatches;
  // Every special double and float: zeros, the ends of the subnormals and of the normals,
  // infinities, quiet and signalling NaNs with small and large payloads, both signs.
  const uint64_t doubles[] = {0,
                              1,
                              0x000FFFFFFFFFFFFFu,
                              0x0010000000000000u,
                              0x3FF0000000000000u,
                              0x7FEFFFFFFFFFFFFFu,
                              0x7FF0000000000000u,
                              0x7FF0000000000001u,
                              0x7FF4000000000000u,
                              0x7FF7FFFFFFFFFFFFu,
                              0x7FF8000000000000u,
                              0x7FF8000000000001u,
                              0x7FFFFFFFFFFFFFFFu};
  const uint32_t floats[] = {0,          1,          0x007FFFFF, 0x00800000, 0x3F800000,
                             0x7F7FFFFF, 0x7F800000, 0x7F800001, 0x7FA00000, 0x7FBFFFFF,
                             0x7FC00000, 0x7FC00001, 0x7FFFFFFF};
  for (uint64_t sign : {uint64_t{0}, uint64_t{1}}) {
    for (uint64_t d : doubles) CheckWidening(d | sign << 63, 0, mismatches);
    for (uint32_t f : floats) CheckWidening(0, f | static_cast<uint32_t>(sign) << 31, mismatches);
  }
  Random random{8};
  for (int64_t i = 0; i < kOperations; ++i) {
    const uint64_t r = random.Next();
    CheckWidening(r, static_cast<uint32_t>(r >> 17), mismatches);
  }
  mismatches.Expect("conversions from double and float");
}

TEST(SoftExtendedAgainstX87, FromIntegers) {
  Mismatches mismatches;
  Random random{9};
  const auto check = [&](auto value) {
    const SoftExtended soft = value;
    if (!Same(soft, ToSoft(static_cast<Hard>(value)))) mismatches.Add(std::to_string(value));
  };
  for (int64_t extreme :
       {INT64_MIN, INT64_MIN + 1, int64_t{-1}, int64_t{0}, int64_t{1}, INT64_MAX}) {
    check(extreme);
  }
  check(UINT64_MAX);
  check(INT32_MIN);
  check(INT32_MAX);
  for (int64_t i = 0; i < kOperations; ++i) {
    const uint64_t r = random.Next();
    const uint64_t shifted = r >> (r & 63);  // every magnitude
    check(shifted);
    check(static_cast<int64_t>(r) >> (r & 63));
    check(static_cast<int32_t>(shifted));
  }
  mismatches.Expect("conversions from integers");
}

std::string HardText(Hard x, int precision) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*Le", precision, x);
  return text;
}

void CheckText(SoftExtended a, int precision, Mismatches& mismatches) {
  const std::string soft = FormatScientific(a, precision);
  const std::string hard = HardText(ToHard(a), precision);
  if (soft != hard)
    mismatches.Add(Bits(a) + " %." + std::to_string(precision) + "Le: " + soft + ", glibc " + hard);
}

// The number format's "%.14Le": every value the estimator gives, and the values near
// decimal ties.
TEST(SoftExtendedAgainstX87, DecimalTextOfRealisticValues) {
  Mismatches mismatches;
  Random random{10};
  for (int64_t i = 0; i < kOperations; ++i) {
    const uint64_t r = random.Next();
    SoftExtended a = ToSoft(Realistic(random));
    if ((r & 3) == 0) {
      // An integer of 16 digits ending in 5: an exact tie at 15 digits.
      const uint64_t tie = (100000000000000u + r % 900000000000000u) * 10 + 5;
      a = static_cast<SoftExtended>(tie);
    } else if ((r & 3) == 1) {
      a = Encoding(false, 16383 + static_cast<uint32_t>(r >> 8 & 127) - 64, random.Next());
    }
    CheckText(a, 14, mismatches);
  }
  mismatches.Expect("decimal text");
}

// The whole range, every precision printf is asked for here (0 to 17): big integers of
// thousands of bits, so fewer draws.
TEST(SoftExtendedAgainstX87, DecimalTextOverTheWholeRange) {
  Mismatches mismatches;
  Random random{11};
  for (int64_t i = 0; i < kOperations / 50; ++i) {
    CheckText(AnyBits(random), static_cast<int>(random.Below(18)), mismatches);
  }
  mismatches.Expect("decimal text over the whole range");
}

TEST(SoftExtendedAgainstX87, DecimalReading) {
  Mismatches mismatches;
  Random random{12};
  for (int64_t i = 0; i < kOperations / 10; ++i) {
    const uint64_t r = random.Next();
    // Digits, beyond 64 bits at times, a decimal point anywhere or none, an exponent.
    std::string digits = std::to_string(random.Next() >> (r & 63));
    if ((r >> 16 & 1) != 0) digits += std::to_string(random.Next());
    const int32_t exponent = (r >> 17 & 1) != 0 ? static_cast<int32_t>(random.Below(100)) - 50
                                                : static_cast<int32_t>(random.Below(9900)) - 4970;
    char text[96];
    const int point = (r >> 6 & 3) != 0 ? static_cast<int>((r >> 8) % (digits.size() + 1)) : -1;
    if (point < 0) {
      std::snprintf(text, sizeof text, "%se%d", digits.c_str(), exponent);
    } else {
      std::snprintf(text, sizeof text, "%.*s.%se%d", point, digits.c_str(), digits.c_str() + point,
                    exponent);
    }
    const SoftExtended soft = soft_extended::ParseDecimal(text);
    const SoftExtended hard = ToSoft(std::strtold(text, nullptr));
    if (!Same(soft, hard)) {
      mismatches.Add(std::string(text) + ": soft " + Bits(soft) + ", x87 " + Bits(hard));
    }
  }
  mismatches.Expect("decimal reading");
}

// ---- Edge cases, every pair of a set of values that make them.

std::vector<SoftExtended> EdgeValues() {
  const Hard hard[] = {0.0L,
                       1.0L,
                       2.0L,
                       3.0L,
                       0.5L,
                       0.1L,
                       1.0L / 3,
                       0.001L,
                       0.999L,
                       1e-20L,
                       LDBL_MAX,
                       LDBL_MIN,
                       LDBL_TRUE_MIN,
                       LDBL_MIN - LDBL_TRUE_MIN,  // the largest subnormal
                       LDBL_MIN + LDBL_TRUE_MIN,
                       LDBL_MIN / 2,
                       LDBL_TRUE_MIN * 3,
                       LDBL_EPSILON,
                       1.0L + LDBL_EPSILON,
                       1.0L - LDBL_EPSILON / 2,
                       LDBL_MAX / 2,
                       static_cast<Hard>(DBL_MAX),
                       static_cast<Hard>(DBL_MIN),
                       static_cast<Hard>(DBL_TRUE_MIN),
                       static_cast<Hard>(FLT_MAX),
                       static_cast<Hard>(FLT_TRUE_MIN),
                       static_cast<Hard>(FLT_MAX) * (1.0L + 0x1p-24L),  // float overflow tie
                       static_cast<Hard>(FLT_TRUE_MIN) / 2,             // float underflow tie
                       static_cast<Hard>(DBL_MAX) * (1.0L + 0x1p-53L),
                       static_cast<Hard>(DBL_TRUE_MIN) / 2,
                       18446744073709551615.0L,
                       9223372036854775808.0L,
                       __builtin_infl(),
                       __builtin_nanl(""),
                       __builtin_nansl(""),
                       __builtin_nanl("0x1234"),
                       __builtin_nansl("0x5678"),
                       __builtin_nanl("0x3FFFFFFFFFFFFFFF")};
  std::vector<SoftExtended> values;
  for (Hard x : hard) {
    values.push_back(ToSoft(x));
    values.push_back(ToSoft(-x));
  }
  values.push_back(soft_extended::kIndefinite);
  // Neighbours of each finite one: one unit of the last place above and below.
  const std::size_t count = values.size();
  for (std::size_t i = 0; i < count; ++i) {
    const SoftExtended x = values[i];
    if ((x.signExponent & 0x7FFF) == 0x7FFF || x.significand == 0) continue;
    values.push_back(ToSoft(__builtin_nextafterl(ToHard(x), __builtin_infl())));
    values.push_back(ToSoft(__builtin_nextafterl(ToHard(x), -__builtin_infl())));
  }
  return values;
}

TEST(SoftExtendedAgainstX87, EveryPairOfEdgeValues) {
  const std::vector<SoftExtended> values = EdgeValues();
  Mismatches mismatches;
  for (SoftExtended a : values) {
    for (SoftExtended b : values) {
      for (Op op : {Op::kAdd, Op::kSubtract, Op::kMultiply, Op::kDivide}) {
        CheckOp(op, a, b, mismatches);
      }
      CheckCompare(a, b, mismatches);
    }
    CheckNarrowing(a, mismatches);
    for (int precision = 0; precision <= 17; ++precision) CheckText(a, precision, mismatches);
  }
  mismatches.Expect("edge values");
}

// Results exactly half a unit from two neighbours round to the even one; results just
// off the half round to the nearer; subnormal results round at their own unit.
TEST(SoftExtendedAgainstX87, TiesAndSubnormalResults) {
  Mismatches mismatches;
  Random random{13};
  for (int64_t i = 0; i < kOperations / 10; ++i) {
    const uint64_t r = random.Next();
    const int32_t e = static_cast<int32_t>(r >> 8 & 0x7FFF);
    const SoftExtended a = Encoding(false, static_cast<uint32_t>(e), random.Next());
    // b = half a unit of a's last place, with a few low bits varied: ties and near ties.
    const int32_t shift = 64 + static_cast<int32_t>(r >> 24 & 3);
    const int32_t be = e - shift;
    uint64_t bs = soft_extended::kIntegerBit;
    if ((r >> 26 & 1) != 0) bs |= (random.Next() >> 1) >> (r >> 27 & 63);
    if (be > 0)
      CheckOp((r >> 33 & 1) != 0 ? Op::kAdd : Op::kSubtract, a,
              Encoding((r >> 34 & 1) != 0, static_cast<uint32_t>(be), bs), mismatches);
    // Products and quotients landing among the subnormals, and at their top.
    const SoftExtended small = Encoding((r >> 35 & 1) != 0, r >> 36 & 127, random.Next());
    const SoftExtended scale =
        Encoding(false, static_cast<uint32_t>(16383 - 200 + (r >> 44 & 255)), random.Next());
    CheckOp(Op::kMultiply, small, scale, mismatches);
    CheckOp(Op::kDivide, small, scale, mismatches);
    CheckOp(Op::kMultiply, Encoding(false, 1, random.Next()),
            Encoding(false, 16383 - static_cast<uint32_t>(r >> 56 & 3), random.Next()), mismatches);
  }
  mismatches.Expect("ties and subnormal results");
}

// The estimator's constants, written once as literals and compared with the compiler's
// own rounding of the same decimal.
TEST(SoftExtendedAgainstX87, ConstantsAreTheCompilersRounding) {
  EXPECT_TRUE(Same(soft_extended::ParseDecimal("0.001"), ToSoft(0.001L)));
  EXPECT_TRUE(Same(soft_extended::ParseDecimal("0.999"), ToSoft(0.999L)));
  EXPECT_TRUE(Same(soft_extended::ParseDecimal("1e-20"), ToSoft(1e-20L)));
  EXPECT_TRUE(
      Same(soft_extended::ParseDecimal("0.123456789012345678"), ToSoft(0.123456789012345678L)));
  EXPECT_TRUE(Same(soft_extended::ParseDecimal("99999999999999.95"), ToSoft(99999999999999.95L)));
  EXPECT_TRUE(Same(soft_extended::ParseDecimal("1.18973149535723176502e4932"), ToSoft(LDBL_MAX)));
  EXPECT_TRUE(
      Same(soft_extended::ParseDecimal("3.64519953188247460253e-4951"), ToSoft(LDBL_TRUE_MIN)));
  EXPECT_TRUE(Same(soft_extended::ParseDecimal("1.2e4932"), ToSoft(__builtin_infl())));
  EXPECT_TRUE(Same(soft_extended::ParseDecimal("1e-4952"), ToSoft(0.0L)));
}

}  // namespace
}  // namespace genosieve
