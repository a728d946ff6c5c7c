#pragma once

#include <string>
#include <string_view>

#include "extended.h"

namespace genosieve {

// The reports' general number format: 15 significant digits, trailing zeros dropped,
// fixed notation for decimal exponents -4..14, otherwise scientific ("5E-5", "1.5E20"),
// with the given decimal separator.
std::string FormatNumber(Extended value, char decimalSeparator);

// The separator the files use for the regional one (the locale's text, as it gives it):
// that character when it is one printable ASCII character, otherwise '.', with a notice
// for the user saying so (empty when nothing was replaced).
struct DecimalSeparatorChoice {
  char separator = '.';
  std::string notice;
};
DecimalSeparatorChoice ChooseDecimalSeparator(std::string_view regional);

// The tables' format: the shortest text that reads back to the same double, with a
// point whatever the locale ("0.1", "1e-05", "-0.25").
std::string FormatShortest(double value);

}  // namespace genosieve
