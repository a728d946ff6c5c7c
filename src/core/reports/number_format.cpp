#include "reports/number_format.h"

namespace genosieve {

std::string FormatNumber(Extended value, char decimalSeparator) {
  (void)decimalSeparator;
  return std::to_string(static_cast<double>(value));
}

}  // namespace genosieve
