#include "reports/double_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

// The most significant digits a double needs to read back: 17 always suffice.
constexpr int kMaxDigits = 17;

// The digits d1 d2 ... dn (d1 not 0) of d1.d2...dn × 10^exponent.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

// The `count` significant digits of a finite, positive magnitude, correctly rounded to
// nearest by the C library. The locale's radix character is skipped, whatever it is.
Decimal RoundedDigits(double magnitude, int count) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%.*e", count - 1, magnitude);
  const std::string_view written(text, length > 0 ? static_cast<std::size_t>(length) : 0);
  const std::size_t e = written.find('e');
  Decimal decimal;
  if (e != std::string_view::npos) {
    for (std::size_t i = 0; i < e; ++i) {
      if (written[i] >= '0' && written[i] <= '9') decimal.digits.push_back(written[i]);
    }
    decimal.exponent = std::atoi(text + e + 1);
  }
  if (e == std::string_view::npos || decimal.digits.size() != static_cast<std::size_t>(count) ||
      decimal.digits.front() == '0') {
    ThrowInternalError("unexpected number text from the C library: " + std::string(written));
  }
  return decimal;
}

// Whether the decimal reads back as `magnitude`. Written without a radix character
// ("12345e-6"), so that no locale changes how strtod reads it.
bool ReadsBackAs(const Decimal& decimal, double magnitude) {
  const int scale = decimal.exponent - static_cast<int>(decimal.digits.size()) + 1;
  const std::string text = decimal.digits + 'e' + std::to_string(scale);
  return std::strtod(text.c_str(), nullptr) == magnitude;
}

// The decimals of as many digits just above and just below.
Decimal Above(Decimal decimal) {
  std::string& digits = decimal.digits;
  std::size_t i = digits.size();
  while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
  if (i == 0) {  // 99..9 + 1 = 100..0, one place up
    digits.front() = '1';
    ++decimal.exponent;
  } else {
    ++digits[i - 1];
  }
  return decimal;
}

Decimal Below(Decimal decimal) {
  std::string& digits = decimal.digits;
  if (digits.front() == '1' && digits.find_first_not_of('0', 1) == std::string::npos) {
    // 10..0 - 1 would lose a digit: 99..9, one place down
    digits.assign(digits.size(), '9');
    --decimal.exponent;
    return decimal;
  }
  std::size_t i = digits.size();
  while (digits[i - 1] == '0') digits[--i] = '9';
  --digits[i - 1];
  return decimal;
}

// The decimal of `count` significant digits nearest to the magnitude among those that
// read back as it, if any. The round-trip interval holds the magnitude, so when the
// nearest decimal falls outside it (its lower half is narrower at a power of two), only
// the neighbour on the other side can be inside.
std::optional<Decimal> RoundTripping(double magnitude, int count) {
  const Decimal nearest = RoundedDigits(magnitude, count);
  if (ReadsBackAs(nearest, magnitude)) return nearest;
  for (const Decimal& neighbour : {Above(nearest), Below(nearest)}) {
    if (ReadsBackAs(neighbour, magnitude)) return neighbour;
  }
  return std::nullopt;
}

std::string ExponentText(int exponent) {
  std::string text = exponent < 0 ? "e-" : "e+";
  const int size = std::abs(exponent);
  if (size < 10) text += '0';
  return text + std::to_string(size);
}

std::string Scientific(const Decimal& decimal) {
  std::string text(1, decimal.digits.front());
  if (decimal.digits.size() > 1) {
    text += '.';
    text.append(decimal.digits, 1);
  }
  return text + ExponentText(decimal.exponent);
}

// Fixed notation of the digits, zeros added before the point as needed.
std::string Fixed(const Decimal& decimal) {
  const std::string& digits = decimal.digits;
  if (decimal.exponent < 0) {
    return "0." + std::string(static_cast<std::size_t>(-decimal.exponent - 1), '0') + digits;
  }
  const std::size_t whole = static_cast<std::size_t>(decimal.exponent) + 1;
  if (digits.size() <= whole) return digits + std::string(whole - digits.size(), '0');
  return digits.substr(0, whole) + '.' + digits.substr(whole);
}

void DropTrailingZeros(Decimal& decimal) {
  decimal.digits.erase(decimal.digits.find_last_not_of('0') + 1);
}

void RequireFinite(double value) {
  if (!std::isfinite(value)) {
    ThrowInternalError(FillMessage("a {} value was about to be written as text",
                                   std::isnan(value) ? "NaN" : "infinite"));
  }
}

}  // namespace

std::string ShortestDoubleText(double value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
  // A few times faster: a Run of many tests writes thousands of these.
  RequireFinite(value);
  char text[400];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
  if (end.ec != std::errc()) ThrowInternalError("a number too long for its text");
  return std::string(text, end.ptr);
#else
  return PortableShortestDoubleText(value);
#endif
}

std::string PortableShortestDoubleText(double value) {
  RequireFinite(value);
  const std::string sign = std::signbit(value) ? "-" : "";
  if (value == 0) return sign + "0";
  const double magnitude = std::fabs(value);

  // Reading back with n digits implies reading back with n + 1: the fewest is found by
  // halving [1, 17].
  int low = 1;
  int high = kMaxDigits;
  std::optional<Decimal> best;
  while (low < high) {
    const int middle = (low + high) / 2;
    if (std::optional<Decimal> found = RoundTripping(magnitude, middle)) {
      best = std::move(found);
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  if (!best || static_cast<int>(best->digits.size()) != low) best = RoundTripping(magnitude, low);
  if (!best) ThrowInternalError("no decimal text reads back as a double");
  DropTrailingZeros(*best);

  const std::string scientific = Scientific(*best);
  const int digits = static_cast<int>(best->digits.size());
  const int exponent = best->exponent;
  const std::size_t fixedLength = exponent < 0
                                      ? static_cast<std::size_t>(1 - exponent + digits)
                                      : static_cast<std::size_t>(std::max(digits, exponent + 1) +
                                                                 (digits > exponent + 1 ? 1 : 0));
  if (fixedLength > scientific.size()) return sign + scientific;
  if (exponent >= digits) {
    // An integer whose shortest digits end before its units: written exactly, every
    // digit, as printf's "%.0f" does.
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", magnitude);
    return sign + text;
  }
  return sign + Fixed(*best);
}

std::string GeneralDoubleText(double value, int significantDigits) {
  RequireFinite(value);
  const std::string sign = std::signbit(value) ? "-" : "";
  if (value == 0) return sign + "0";
  const int precision = std::max(significantDigits, 1);
  Decimal decimal = RoundedDigits(std::fabs(value), precision);
  const int exponent = decimal.exponent;
  DropTrailingZeros(decimal);
  if (exponent >= -4 && exponent < precision) return sign + Fixed(decimal);
  return sign + Scientific(decimal);
}

}  // namespace genosieve
