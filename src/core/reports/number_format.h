#pragma once

#include <string>

#include "extended.h"

namespace genosieve {

// The reports' general number format: 15 significant digits, trailing zeros dropped,
// fixed notation for decimal exponents -4..14, otherwise scientific ("5E-5", "1.5E20"),
// with the given decimal separator.
std::string FormatNumber(Extended value, char decimalSeparator);

}  // namespace genosieve
