#pragma once

// The points a line chart draws for a long curve. Drawing every point of a Run of a
// million iterations costs hundreds of bytes per point in the chart's line geometry;
// a few points per pixel column look the same.

#include <QList>
#include <QPointF>
#include <cstddef>
#include <vector>

// Columns of the drawn curve: more than any plot is wide, so the curve needs no new
// decimation when the window grows.
inline constexpr std::size_t kCurveColumns = 2048;

// The curve of `values`, value i at x = i. Up to four points per column are kept: the
// first, the lowest, the highest and the last of the column, in x order, so the drawn
// line reaches every extreme the full curve reaches. A curve of at most four points per
// column is returned whole.
QList<QPointF> DecimatedCurve(const std::vector<double>& values,
                              std::size_t columns = kCurveColumns);
