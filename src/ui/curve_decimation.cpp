#include "curve_decimation.h"

#include <algorithm>
#include <array>

QList<QPointF> DecimatedCurve(const std::vector<double>& values, std::size_t columns) {
  const std::size_t count = values.size();
  QList<QPointF> points;
  const auto point = [&values](std::size_t i) {
    return QPointF(static_cast<double>(i), values[i]);
  };
  if (columns == 0 || count <= 4 * columns) {
    points.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = 0; i < count; ++i) points.append(point(i));
    return points;
  }
  points.reserve(static_cast<qsizetype>(4 * columns));
  for (std::size_t column = 0; column < columns; ++column) {
    // Integer bounds: every value falls in exactly one column.
    const std::size_t first = column * count / columns;
    const std::size_t last = (column + 1) * count / columns - 1;
    std::size_t lowest = first;
    std::size_t highest = first;
    for (std::size_t i = first + 1; i <= last; ++i) {
      // A NaN compares false both ways and is never chosen over a number; the chart
      // draws no NaN.
      if (values[i] < values[lowest]) lowest = i;
      if (values[i] > values[highest]) highest = i;
    }
    std::array<std::size_t, 4> kept = {first, lowest, highest, last};
    std::sort(kept.begin(), kept.end());
    const auto end = std::unique(kept.begin(), kept.end());
    for (auto i = kept.begin(); i != end; ++i) points.append(point(*i));
  }
  return points;
}
