#pragma once

// Extended values as text for test messages, and from decimal text, the same way in the
// hardware and the software build.

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "extended.h"
#include "extended_decimal.h"

namespace genosieve::testing {

// The bits of a value, the same in both builds: "0x3ffe:aaaaaaaaaaaaaaab".
inline std::string BitsText(Extended value) {
  const ExtendedBits bits = BitsOf(value);
  char text[32];
  std::snprintf(text, sizeof text, "0x%04x:%016llx", static_cast<unsigned>(bits.signExponent),
                static_cast<unsigned long long>(bits.significand));
  return text;
}

// A decimal number ("-1.5e20", "0.001") rounded to nearest even.
inline Extended ReadDecimal(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  const SoftExtended value = soft_extended::ParseDecimal(text);
  const Extended magnitude = ExtendedFromBits({value.significand, value.signExponent});
  return negative ? -magnitude : magnitude;
}

// The value to 18 significant digits, as "%.17Le" writes it.
inline std::string DecimalText(Extended value) {
  const ExtendedBits bits = BitsOf(value);
  return FormatScientific(soft_extended::Make(bits.significand, bits.signExponent), 17);
}

}  // namespace genosieve::testing

#if GENOSIEVE_SOFT_EXTENDED
namespace genosieve {

// GoogleTest's printer for the software type.
inline void PrintTo(const SoftExtended& value, std::ostream* out) {
  *out << testing::DecimalText(value) << " (" << testing::BitsText(value) << ")";
}

}  // namespace genosieve
#endif
