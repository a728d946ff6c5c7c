#include <gtest/gtest.h>
#include <locale.h>

#include <cfenv>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <regex>
#include <string>

#include "errors.h"
#include "reports/number_format.h"
#include "support/extended_text.h"

namespace genosieve {
namespace {

using testing::DecimalText;
using testing::ReadDecimal;

struct FormatCase {
  Extended value;
  const char* expected;
};

void ExpectFormats(const std::vector<FormatCase>& cases, char separator) {
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatNumber(c.value, separator), c.expected) << "value " << DecimalText(c.value);
  }
}

TEST(FormatNumber, WritesTheDocumentedExamples) {
  ExpectFormats({{Extended(1) / 1001, "0.000999000999000999"},
                 {Extended(1) / 10001, "9.99900009999E-5"},
                 {0.00005_ext, "5E-5"},
                 {1.5e20_ext, "1.5E20"},
                 {-0.25_ext, "-0.25"},
                 {0.5_ext, "0.5"},
                 {Extended(1), "1"},
                 {Extended(0), "0"},
                 {Extended(42) / 1001, "0.041958041958042"}},
                '.');
}

TEST(FormatNumber, ChoosesNotationFromTheExponentAfterRounding) {
  ExpectFormats(
      {
          // Lower boundary: 1e-4 is fixed, anything that stays below it is not.
          {0.0001_ext, "0.0001"},
          {0.000099999999999999996_ext,
           "0.0001"},  // rounds up into fixed notation
                       // The stored value lies just below the 15-digit tie, so it rounds down.
          {0.00009999999999999995_ext, "9.99999999999999E-5"},
          {0.00001_ext, "1E-5"},
          {0.000123456789012345678_ext, "0.000123456789012346"},
          // Upper boundary: exponent 14 is fixed, 15 is scientific.
          {99999999999999.95_ext, "99999999999999.9"},  // stored as ...94999...
          {99999999999999.96_ext, "100000000000000"},
          {1e14_ext, "100000000000000"},
          {999999999999999.4_ext, "999999999999999"},
          {999999999999999.6_ext, "1E15"},
          {1e15_ext, "1E15"},
          {Extended(123456789012345678), "1.23456789012346E17"},
          // Carries through all 15 digits.
          {0.999999999999999949_ext, "1"},
          {0.9999999999999994_ext, "0.999999999999999"},
          {9.999999999999999_ext, "10"},
          {9.99999999999994_ext, "9.99999999999994"},
          // Integer digits, zeros and decimals.
          {Extended(100), "100"},
          {12345.678_ext, "12345.678"},
          {123456789.123456789_ext, "123456789.123457"},
          {0.1_ext, "0.1"},
          {Extended(1) / 3, "0.333333333333333"},
          {Extended(2) / 3, "0.666666666666667"},
          // The extremes of the extended format: exponents without leading zeros.
          {std::numeric_limits<Extended>::max(), "1.18973149535723E4932"},
          {std::numeric_limits<Extended>::denorm_min(), "3.64519953188247E-4951"},
      },
      '.');
}

TEST(FormatNumber, WritesNegativeValuesWithALeadingMinus) {
  ExpectFormats({{-Extended(1) / 1001, "-0.000999000999000999"},
                 {-0.00005_ext, "-5E-5"},
                 {-1.5e20_ext, "-1.5E20"},
                 {-9.999999999999999_ext, "-10"},
                 {-Extended(1), "-1"},
                 {-Extended(0), "0"}},
                '.');
}

TEST(FormatNumber, UsesTheGivenDecimalSeparator) {
  ExpectFormats({{0.5_ext, "0,5"},
                 {-0.25_ext, "-0,25"},
                 {Extended(1) / 1001, "0,000999000999000999"},
                 {Extended(1) / 10001, "9,99900009999E-5"},
                 {1.5e20_ext, "1,5E20"},
                 {0.00005_ext, "5E-5"},
                 {Extended(1), "1"},
                 {Extended(0), "0"}},
                ',');
}

TEST(FormatNumber, RefusesValuesThatAreNotFinite) {
  EXPECT_THROW(FormatNumber(std::numeric_limits<Extended>::quiet_NaN(), '.'), RunError);
  EXPECT_THROW(FormatNumber(std::numeric_limits<Extended>::infinity(), '.'), RunError);
  EXPECT_THROW(FormatNumber(-std::numeric_limits<Extended>::infinity(), ','), RunError);
}

// Restores the process and thread locales whatever a test does to them.
struct LocaleGuard {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  ~LocaleGuard() {
    uselocale(LC_GLOBAL_LOCALE);
    std::setlocale(LC_ALL, saved.c_str());
  }
};

const char* kCommaLocales[] = {"fr_FR.UTF-8", "fr_FR.utf8", "de_DE.UTF-8", "de_DE.utf8",
                               "fr_FR",       "de_DE",      "nl_NL.UTF-8", "ru_RU.UTF-8"};

TEST(FormatNumber, IgnoresTheProcessNumericLocale) {
  LocaleGuard guard;
  const char* found = nullptr;
  for (const char* name : kCommaLocales) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      found = name;
      break;
    }
  }
  if (found == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  ASSERT_STREQ(probe, "0,5") << found << " should write a decimal comma";

  EXPECT_EQ(FormatNumber(0.5_ext, '.'), "0.5");
  EXPECT_EQ(FormatNumber(Extended(1) / 10001, '.'), "9.99900009999E-5");
  EXPECT_EQ(FormatNumber(Extended(42) / 1001, '.'), "0.041958041958042");
  EXPECT_EQ(FormatNumber(-0.25_ext, ','), "-0,25");

  // A thread locale set with uselocale is ignored as well.
  std::setlocale(LC_NUMERIC, "C");
  const locale_t comma = newlocale(LC_NUMERIC_MASK, found, static_cast<locale_t>(0));
  ASSERT_NE(comma, static_cast<locale_t>(0));
  uselocale(comma);
  EXPECT_EQ(FormatNumber(1.5e20_ext, '.'), "1.5E20");
  EXPECT_EQ(FormatNumber(Extended(1) / 1001, '.'), "0.000999000999000999");
  uselocale(LC_GLOBAL_LOCALE);
  freelocale(comma);
}

TEST(FormatNumber, RoundsToNearestWhateverTheRoundingModeLeftBehind) {
  const int saved = std::fegetround();
  std::fesetround(FE_UPWARD);
  const std::string up = FormatNumber(Extended(1) / 3, '.');
  std::fesetround(FE_DOWNWARD);
  const std::string down = FormatNumber(Extended(2) / 3, '.');
  std::fesetround(saved);
  EXPECT_EQ(up, "0.333333333333333");
  EXPECT_EQ(down, "0.666666666666667");
}

// A value read from a decimal of at most 15 significant digits lies far closer to that
// decimal than half a unit of its 15th digit, so its text must name the same decimal:
// reading the text back gives the same extended value. The shape of the text must follow
// the notation rule for the decimal's exponent.
TEST(FormatNumber, GivesBackEveryFifteenDigitDecimal) {
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<long long> mantissa(1, 999'999'999'999'999LL);
  std::uniform_int_distribution<int> exponent(-4920, 4900);
  std::uniform_int_distribution<int> nearExponent(-8, 18);
  const std::regex fixedShape(R"(-?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?)");
  const std::regex scientificShape(R"(-?[1-9](\.[0-9]*[1-9])?E-?[1-9][0-9]*)");
  for (int n = 0; n < 20000; ++n) {
    const long long m = mantissa(random);
    const int e = n % 2 == 0 ? exponent(random) : nearExponent(random);
    const std::string decimal =
        (n % 3 == 0 ? "-" : "") + std::to_string(m) + "e" + std::to_string(e);
    const Extended value = ReadDecimal(decimal);
    ASSERT_TRUE(IsFinite(value) && value != 0) << decimal;

    const std::string text = FormatNumber(value, '.');
    EXPECT_EQ(ReadDecimal(text), value) << decimal << " -> " << text;
    const int x = e + static_cast<int>(std::to_string(m).size()) - 1;
    const bool fixed = x >= -4 && x <= 14;
    EXPECT_TRUE(std::regex_match(text, fixed ? fixedShape : scientificShape))
        << decimal << " -> " << text;
    if (!fixed) {
      EXPECT_TRUE(text.ends_with("E" + std::to_string(x))) << decimal << " -> " << text;
    }
  }
}

TEST(DecimalSeparator, OnePrintableCharacterIsKeptAnythingElseGivesAPointAndANotice) {
  for (const char* kept : {".", ",", "'"}) {
    const DecimalSeparatorChoice choice = ChooseDecimalSeparator(kept);
    EXPECT_EQ(choice.separator, kept[0]);
    EXPECT_EQ(choice.notice, "");
  }
  // No regional setting at all: the point, nothing to say.
  EXPECT_EQ(ChooseDecimalSeparator("").separator, '.');
  EXPECT_EQ(ChooseDecimalSeparator("").notice, "");
  // U+066B, the Arabic decimal separator, is two bytes in UTF-8; its first byte alone is
  // no character.
  const DecimalSeparatorChoice arabic = ChooseDecimalSeparator("\xD9\xAB");
  EXPECT_EQ(arabic.separator, '.');
  EXPECT_EQ(arabic.notice,
            "the regional decimal separator \"\xD9\xAB\" is not a single character; numbers are "
            "written with \".\" instead");
  for (const char* refused : {"\xC2\xB7", " ", "\t", "\xB7"}) {
    const DecimalSeparatorChoice choice = ChooseDecimalSeparator(refused);
    EXPECT_EQ(choice.separator, '.') << refused;
    EXPECT_NE(choice.notice, "") << refused;
  }
}

}  // namespace
}  // namespace genosieve
