// Extended gives the x87's bits in either build: known results of the estimator's
// constants, of rounding at ties, underflow and overflow, of invalid operations, of the
// conversions and of the decimal text. (The differential test compares the software type
// with the x87 itself, where there is one.)

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "extended.h"
#include "extended_decimal.h"
#include "support/extended_text.h"

namespace genosieve {
namespace {

using testing::BitsText;

Extended Bits(uint64_t significand, uint16_t signExponent) {
  return ExtendedFromBits({significand, signExponent});
}

// 2^power, for |power| within the normal range.
Extended PowerOfTwo(int power) {
  return Bits(uint64_t{1} << 63, static_cast<uint16_t>(16383 + power));
}

std::string Text(Extended value, int precision) {
  const ExtendedBits bits = BitsOf(value);
  return FormatScientific(soft_extended::Make(bits.significand, bits.signExponent), precision);
}

TEST(Extended, ConstantsAndQuotientsHaveTheX87Bits) {
  EXPECT_EQ(BitsText(0.001_ext), BitsText(Bits(0x83126E978D4FDF3Bu, 0x3FF5)));
  EXPECT_EQ(BitsText(0.999_ext), BitsText(Bits(0xFFBE76C8B4395810u, 0x3FFE)));
  EXPECT_EQ(BitsText(1e-20_ext), BitsText(Bits(0xBCE5086492111AEBu, 0x3FBC)));
  EXPECT_EQ(BitsText(Extended(1) / Extended(3)), BitsText(Bits(0xAAAAAAAAAAAAAAABu, 0x3FFD)));
  EXPECT_EQ(BitsText(Extended(2) / Extended(3)), BitsText(Bits(0xAAAAAAAAAAAAAAABu, 0x3FFE)));
  EXPECT_EQ(BitsText(-0.25_ext), BitsText(Bits(0x8000000000000000u, 0xBFFD)));
  EXPECT_EQ(BitsText(3_ext), BitsText(Extended(3)));
}

TEST(Extended, RoundsTiesToEvenUnderflowsGraduallyAndOverflowsToInfinity) {
  const Extended one = Extended(1);
  // Half a unit above 1 (even) stays 1; above 1 + one unit (odd) it goes up.
  EXPECT_EQ(BitsText(one + PowerOfTwo(-64)), BitsText(one));
  EXPECT_EQ(BitsText((one + PowerOfTwo(-63)) + PowerOfTwo(-64)),
            BitsText(Bits(0x8000000000000002u, 0x3FFF)));
  const Extended smallest = std::numeric_limits<Extended>::denorm_min();
  EXPECT_EQ(BitsText(std::numeric_limits<Extended>::min() / Extended(2)),
            BitsText(Bits(0x4000000000000000u, 0)));
  EXPECT_EQ(BitsText(smallest / Extended(2)), BitsText(Extended(0)));  // a tie, to even 0
  EXPECT_EQ(BitsText(smallest * 1.5_ext), BitsText(Bits(2, 0)));       // a tie, to even 2
  const Extended largest = std::numeric_limits<Extended>::max();
  EXPECT_TRUE(IsInf(largest * Extended(2)));
  EXPECT_TRUE(IsInf(largest + PowerOfTwo(16383 - 64)));  // half a unit: a tie, to infinity
  EXPECT_EQ(largest + PowerOfTwo(16383 - 65), largest);
}

TEST(Extended, InvalidOperationsGiveTheIndefiniteNaNAndZerosKeepTheirSigns) {
  const Extended zero = Extended(0);
  const Extended infinity = std::numeric_limits<Extended>::infinity();
  const std::string indefinite = BitsText(Bits(0xC000000000000000u, 0xFFFF));
  EXPECT_EQ(BitsText(zero / zero), indefinite);
  EXPECT_EQ(BitsText(infinity - infinity), indefinite);
  EXPECT_EQ(BitsText(infinity * zero), indefinite);
  EXPECT_EQ(BitsText(Extended(1) / zero), BitsText(infinity));
  EXPECT_EQ(BitsText(Extended(1) - Extended(1)), BitsText(zero));
  EXPECT_EQ(BitsText(-zero + -zero), BitsText(Bits(0, 0x8000)));
  EXPECT_EQ(-zero, zero);
  const Extended nan = zero / zero;
  EXPECT_FALSE(nan == nan);
  EXPECT_TRUE(nan != nan);
  EXPECT_FALSE(nan < Extended(1) || nan >= Extended(1));
  EXPECT_TRUE(IsNan(nan) && !IsFinite(nan) && !IsInf(nan));
  EXPECT_TRUE(IsFinite(std::numeric_limits<Extended>::max()));
  EXPECT_EQ(BitsText(Abs(-0.25_ext)), BitsText(0.25_ext));
  EXPECT_TRUE(IsNan(Abs(nan)));
}

TEST(Extended, NarrowsToNearestEvenAndWidensExactly) {
  const Extended third = Extended(1) / Extended(3);
  EXPECT_EQ(static_cast<double>(third), 1.0 / 3.0);
  EXPECT_EQ(static_cast<float>(third), 1.0f / 3.0f);
  EXPECT_EQ(static_cast<double>(Extended(1) + PowerOfTwo(-53)), 1.0);  // a tie, to even
  EXPECT_TRUE(std::isinf(static_cast<float>(Extended(1e39))));
  EXPECT_EQ(static_cast<double>(Extended(0.1)), 0.1);
  EXPECT_EQ(static_cast<float>(Extended(0.1f)), 0.1f);
  EXPECT_EQ(BitsText(Extended(int64_t{-9007199254740993})),
            BitsText(Bits(0x8000000000000400u, 0xC034)));
  EXPECT_EQ(BitsText(Extended(uint64_t{18446744073709551615u})),
            BitsText(Bits(0xFFFFFFFFFFFFFFFFu, 0x403E)));
}

TEST(Extended, DecimalTextIsWhatPrintfWrites) {
  // Exact ties at the fifteenth digit go to the even digit.
  EXPECT_EQ(Text(Extended(uint64_t{1000000000000005}), 14), "1.00000000000000e+15");
  EXPECT_EQ(Text(Extended(uint64_t{1000000000000015}), 14), "1.00000000000002e+15");
  EXPECT_EQ(Text(std::numeric_limits<Extended>::max(), 14), "1.18973149535723e+4932");
  EXPECT_EQ(Text(std::numeric_limits<Extended>::denorm_min(), 14), "3.64519953188247e-4951");
  EXPECT_EQ(Text(Extended(1) / Extended(3), 17), "3.33333333333333333e-01");
  EXPECT_EQ(Text(Extended(2) / Extended(3), 0), "7e-01");
  EXPECT_EQ(Text(Extended(0), 3), "0.000e+00");
  EXPECT_EQ(Text(-Extended(0), 2), "-0.00e+00");
  EXPECT_EQ(Text(-std::numeric_limits<Extended>::infinity(), 14), "-inf");
  EXPECT_EQ(Text(Extended(0) / Extended(0), 14), "-nan");
}

TEST(Extended, DecimalReadingRoundsToNearestEven) {
  EXPECT_EQ(BitsText(testing::ReadDecimal("0.001")), BitsText(0.001_ext));
  EXPECT_EQ(BitsText(testing::ReadDecimal("-1.5e20")), BitsText(-1.5e20_ext));
  // 1 + 2^-64 exactly, a tie, and one digit beyond it.
  EXPECT_EQ(BitsText(testing::ReadDecimal(
                "1.0000000000000000000542101086242752217003726400434970855712890625")),
            BitsText(Extended(1)));
  EXPECT_EQ(BitsText(testing::ReadDecimal(
                "1.0000000000000000000542101086242752217003726400434970855712890626")),
            BitsText(Bits(0x8000000000000001u, 0x3FFF)));
  EXPECT_TRUE(IsInf(testing::ReadDecimal("1.2e4932")));
  EXPECT_EQ(BitsText(testing::ReadDecimal("1e-5000")), BitsText(Extended(0)));
  EXPECT_THROW(testing::ReadDecimal("1e"), std::invalid_argument);
  EXPECT_THROW(testing::ReadDecimal("0x10"), std::invalid_argument);
}

TEST(Extended, TenBytesKeepEveryBit) {
  for (const Extended value :
       {0.001_ext, -Extended(0), std::numeric_limits<Extended>::max(),
        std::numeric_limits<Extended>::denorm_min(), Extended(0) / Extended(0)}) {
    unsigned char bytes[10];
    StoreBytes(value, bytes);
    EXPECT_EQ(BitsText(LoadBytes(bytes)), BitsText(value));
    const ExtendedBits bits = BitsOf(value);
    EXPECT_EQ(BitsText(ExtendedFromBits(bits)), BitsText(value));
  }
  EXPECT_EQ(BitsOf(Extended(1)).significand, uint64_t{1} << 63);
  EXPECT_EQ(BitsOf(Extended(1)).signExponent, 0x3FFF);
}

}  // namespace
}  // namespace genosieve
