// The decimal texts of doubles, checked against the C++ library's std::to_chars where
// this build has it: the tables and the command line's last lines must read the same
// on every platform, WebAssembly (which lacks it) included.
#include <gtest/gtest.h>
#include <locale.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "errors.h"
#include "reports/double_text.h"

namespace {

using genosieve::GeneralDoubleText;
using genosieve::PortableShortestDoubleText;
using genosieve::RunError;
using genosieve::ShortestDoubleText;

std::string ToChars(double value) {
  char text[512];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

std::string ToCharsGeneral(double value, int precision) {
  char text[512];
  const std::to_chars_result end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, precision);
  return std::string(text, end.ptr);
}

// Compares both texts of one value with the library's; a count of failures keeps a
// run of millions of values readable.
struct Checker {
  int failures = 0;
  void Check(double value) {
    if (!std::isfinite(value)) return;
    const std::string expected = ToChars(value);
    for (const std::string& got : {ShortestDoubleText(value), PortableShortestDoubleText(value)}) {
      if (got != expected && ++failures <= 20) {
        ADD_FAILURE() << "shortest of " << std::bit_cast<uint64_t>(value) << ": " << got
                      << " instead of " << expected;
      }
    }
    const std::string general = GeneralDoubleText(value, 4);
    if (general != ToCharsGeneral(value, 4) && ++failures <= 20) {
      ADD_FAILURE() << "4 digits of " << expected << ": " << general;
    }
  }
};

TEST(DoubleText, ShortestTextsOfKnownValues) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0"},
      {-0.0, "-0"},
      {0.1, "0.1"},
      {-0.25, "-0.25"},
      {1e-5, "1e-05"},
      {1e-4, "1e-04"},      // shorter than 0.0001
      {1.5e-4, "0.00015"},  // as long as 1.5e-04: fixed
      {100000, "1e+05"},    // shorter than 100000
      {123456, "123456"},
      {1e22, "1e+22"},
      {123456789012345680.0, "123456789012345680"},
      {1152921504606846976.0, "1152921504606846976"},  // fixed integers are exact
      {12345678901234567890.0, "12345678901234567168"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e+308"},
      {2.0 / 3, "0.6666666666666666"},
      {0.1 + 0.2, "0.30000000000000004"},
  };
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(ShortestDoubleText(value), text) << text;
    EXPECT_EQ(PortableShortestDoubleText(value), text) << text;
  }
}

TEST(DoubleText, FourDigitTextsOfKnownValues) {
  EXPECT_EQ(GeneralDoubleText(0.11478, 4), "0.1148");
  EXPECT_EQ(GeneralDoubleText(0.619, 4), "0.619");
  EXPECT_EQ(GeneralDoubleText(-0.00001234, 4), "-1.234e-05");
  EXPECT_EQ(GeneralDoubleText(0.0001, 4), "0.0001");
  EXPECT_EQ(GeneralDoubleText(99999, 4), "1e+05");
  EXPECT_EQ(GeneralDoubleText(9999, 4), "9999");
  EXPECT_EQ(GeneralDoubleText(1, 4), "1");
  EXPECT_EQ(GeneralDoubleText(0, 4), "0");
}

TEST(DoubleText, RefusesValuesThatAreNotFinite) {
  EXPECT_THROW(ShortestDoubleText(std::numeric_limits<double>::quiet_NaN()), RunError);
  EXPECT_THROW(ShortestDoubleText(-std::numeric_limits<double>::infinity()), RunError);
  EXPECT_THROW(PortableShortestDoubleText(std::numeric_limits<double>::infinity()), RunError);
  EXPECT_THROW(GeneralDoubleText(std::numeric_limits<double>::infinity(), 4), RunError);
}

// Powers of two (where the round-trip interval is lopsided), powers of ten, their
// neighbours, subnormals and the integers around 2^53.
TEST(DoubleText, EdgesAgreeWithToChars) {
  Checker checker;
  for (int e = -1074; e <= 1023; ++e) {
    const double power = std::ldexp(1.0, e);
    for (double v : {power, std::nextafter(power, 0.0), std::nextafter(power, 2 * power), 3 * power,
                     5 * power, -power}) {
      checker.Check(v);
    }
  }
  for (int e = -323; e <= 308; ++e) {
    const double power = std::pow(10.0, e);
    for (double v : {power, std::nextafter(power, 0.0), std::nextafter(power, 2 * power),
                     1.5 * power, 9.5 * power, 0.99999 * power}) {
      checker.Check(v);
    }
  }
  for (uint64_t bits = 1; bits < 5000; ++bits) checker.Check(std::bit_cast<double>(bits));
  for (int64_t i = -3000; i <= 3000; ++i)
    checker.Check(static_cast<double>((int64_t{1} << 53) + 7 * i));
  for (int64_t i = -5000; i <= 5000; ++i) checker.Check(static_cast<double>(i));
  EXPECT_EQ(checker.failures, 0);
}

// Every kind of double: arbitrary bit patterns, short decimals (P-values k / N, values
// read from text), and values of the tables' usual size.
TEST(DoubleText, ManyValuesAgreeWithToChars) {
  Checker checker;
  std::mt19937_64 random(25);
  for (int n = 0; n < 100000; ++n) checker.Check(std::bit_cast<double>(random()));
  std::uniform_int_distribution<int64_t> count(0, 1000000);
  std::uniform_int_distribution<int64_t> mantissa(1, 99999999);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::uniform_real_distribution<double> fis(-1.0, 1.0);
  for (int n = 0; n < 100000; ++n) {
    checker.Check(static_cast<double>(count(random)) / static_cast<double>(count(random) + 1));
    checker.Check(
        std::stod(std::to_string(mantissa(random)) + "e" + std::to_string(exponent(random))));
    checker.Check(fis(random));
    checker.Check(static_cast<double>(static_cast<float>(fis(random))));
  }
  EXPECT_EQ(checker.failures, 0);
}

TEST(DoubleText, PointWhateverTheLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  bool comma = false;
  for (const char* name : {"fr_FR.UTF-8", "fr_FR.utf8", "de_DE.UTF-8", "ps_AF.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      comma = true;
      break;
    }
  }
  if (!comma) {
    std::setlocale(LC_ALL, saved.c_str());
    GTEST_SKIP() << "no locale with another decimal separator is installed";
  }
  const std::string shortest = ShortestDoubleText(0.30000000000000004);
  const std::string brief = GeneralDoubleText(-1.5e-7, 4);
  const std::string half = ShortestDoubleText(0.5);
  const std::string portable = PortableShortestDoubleText(0.30000000000000004);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(shortest, "0.30000000000000004");
  EXPECT_EQ(brief, "-1.5e-07");
  EXPECT_EQ(half, "0.5");
  EXPECT_EQ(portable, "0.30000000000000004");
}

}  // namespace
