#pragma once

#include <string>

namespace genosieve {

// Decimal texts of doubles, with a point whatever the locale: the C++ library's
// floating-point to_chars where it has one, else texts made from the C library's
// correctly rounded "%.*e" digits (WebAssembly's standard library lacks it).

// The shortest text that reads back to the same double, as std::to_chars(first, last,
// value) writes it: the fewest significant digits that round-trip (the nearest such
// decimal when several have that many), in fixed or scientific notation, whichever is
// shorter, fixed on a tie ("0.1", "1e-05", "1e+22", "-0.25", "123456789012345680"). A
// fixed integer is written exactly. `value` must be finite.
std::string ShortestDoubleText(double value);

// The same text made from the C library's digits, whatever the C++ library has: what
// ShortestDoubleText writes where to_chars is missing.
std::string PortableShortestDoubleText(double value);

// printf's "%.<significantDigits>g" in the "C" locale (std::to_chars with
// chars_format::general and that precision): "0.1148", "1e-05". `value` must be finite.
std::string GeneralDoubleText(double value, int significantDigits);

}  // namespace genosieve
