#pragma once

#include <cfloat>

// The Fis estimator and the test tally must compute in the x87 80-bit extended format
// (64-bit significand, 15-bit exponent): P-values come from exact comparisons, so a
// different width would silently change published results.
static_assert(LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384,
              "GENOSIEVE needs long double to be the x87 80-bit extended format "
              "(64-bit significand); build with GCC or Clang for x86 or x86-64.");

namespace genosieve {

using Extended = long double;

}  // namespace genosieve
