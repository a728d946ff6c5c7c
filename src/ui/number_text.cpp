#include "number_text.h"

#include <cmath>

#include "results_table.h"

namespace {

QString WithSeparator(QString text, char separator) {
  if (separator != '.') text.replace(QLatin1Char('.'), QLatin1Char(separator));
  return text;
}

}  // namespace

QString ReadableNumber(double value, char separator) {
  if (!std::isfinite(value)) return ShortestNumber(value);
  return WithSeparator(QString::number(value, 'g', 4), separator);
}

QString ExactNumber(double value, char separator) {
  return WithSeparator(ShortestNumber(value), separator);
}

QLocale ChartLocale(char separator) {
  const QLocale system = QLocale::system();
  if (system.decimalPoint() == QChar::fromLatin1(separator)) return system;
  if (separator == ',') return QLocale(QLocale::French, QLocale::France);
  return QLocale::c();
}
