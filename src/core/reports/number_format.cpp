#include "reports/number_format.h"

#include <locale.h>

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "errors.h"
#include "extended_decimal.h"
#include "messages.h"
#include "reports/double_text.h"

namespace genosieve {

namespace {

constexpr int kSignificantDigits = 15;
constexpr int kLowestFixedExponent = -4;
constexpr int kHighestFixedExponent = 14;

#if !GENOSIEVE_SOFT_EXTENDED
// The "C" locale, created once: printf writes its radix character from the thread's
// locale, and the program may run under a locale whose separator is a comma. The
// separator the user asked for is put in afterwards.
locale_t ClassicLocale() {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return classic;
}
#endif

// The 15 significant digits (trailing zeros dropped, at least one kept) and the decimal
// exponent of a finite, non-zero magnitude, rounded correctly to nearest. The exponent
// is the one of the rounded value, so 9.999999999999999 gives "1" and 1.
struct Rounded {
  std::string digits;
  int exponent = 0;
};

// The text of "%.14Le": d.dddddddddddddde[+-]xx(x...).
std::string ScientificText(Extended magnitude) {
#if GENOSIEVE_SOFT_EXTENDED
  // Worked out from the bits, as glibc's printf does from the x87 value.
  return FormatScientific(magnitude, kSignificantDigits - 1);
#else
  const locale_t classic = ClassicLocale();
  if (classic == static_cast<locale_t>(0)) {
    throw RunError(messages::NoClassicLocale());
  }
  // glibc's printf rounds the exact binary value in the current rounding mode; make
  // sure that is to nearest whatever the caller left behind.
  const int previousRounding = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const locale_t previousLocale = uselocale(classic);
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%.*Le", kSignificantDigits - 1, magnitude);
  uselocale(previousLocale);
  std::fesetround(previousRounding);
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
#endif
}

Rounded RoundToSignificantDigits(Extended magnitude) {
  const std::string text = ScientificText(magnitude);
  const std::string_view written(text);
  const size_t e = written.find('e');
  Rounded rounded;
  if (e != std::string_view::npos) {
    for (size_t i = 0; i < e; ++i) {
      if (written[i] >= '0' && written[i] <= '9') rounded.digits.push_back(written[i]);
    }
  }
  if (e == std::string_view::npos || rounded.digits.size() != kSignificantDigits ||
      rounded.digits.front() == '0') {
    ThrowInternalError("unexpected number text: " + text);
  }
  rounded.exponent = std::atoi(text.c_str() + e + 1);
  const size_t last = rounded.digits.find_last_not_of('0');
  rounded.digits.erase(last + 1);
  return rounded;
}

}  // namespace

std::string FormatNumber(Extended value, char decimalSeparator) {
  if (!IsFinite(value)) {
    // The engine raises its floating-point errors before such a value can reach a report.
    ThrowInternalError(FillMessage("a {} value was about to be written to a report",
                                   IsNan(value) ? "NaN" : "infinite"));
  }
  if (value == 0) return "0";  // also -0

  const Rounded rounded = RoundToSignificantDigits(Abs(value));
  const std::string& digits = rounded.digits;
  const int x = rounded.exponent;

  std::string text = value < 0 ? "-" : "";
  if (x >= kLowestFixedExponent && x <= kHighestFixedExponent) {
    if (x < 0) {
      text += '0';
      text += decimalSeparator;
      text.append(static_cast<size_t>(-x - 1), '0');
      text += digits;
    } else {
      const size_t integerDigits = static_cast<size_t>(x) + 1;
      if (digits.size() <= integerDigits) {
        text += digits;
        text.append(integerDigits - digits.size(), '0');
      } else {
        text.append(digits, 0, integerDigits);
        text += decimalSeparator;
        text.append(digits, integerDigits);
      }
    }
  } else {
    text += digits.front();
    if (digits.size() > 1) {
      text += decimalSeparator;
      text.append(digits, 1);
    }
    text += 'E';
    text += std::to_string(x);  // a minus sign only for negative exponents
  }
  return text;
}

DecimalSeparatorChoice ChooseDecimalSeparator(std::string_view regional) {
  DecimalSeparatorChoice choice;
  // A separator of several bytes (U+066B is two in UTF-8) would be cut to its first byte,
  // which is no character at all.
  if (regional.size() == 1 && regional[0] > ' ' && regional[0] < 127) {
    choice.separator = regional[0];
  } else if (!regional.empty()) {
    choice.notice = messages::DecimalSeparatorReplaced(regional, choice.separator);
  }
  return choice;
}

std::string FormatShortest(double value) {
  if (!std::isfinite(value)) {
    ThrowInternalError(FillMessage("a {} value was about to be written to a table",
                                   std::isnan(value) ? "NaN" : "infinite"));
  }
  return ShortestDoubleText(value);
}

}  // namespace genosieve
