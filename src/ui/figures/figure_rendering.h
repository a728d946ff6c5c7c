#pragma once

// A chart drawn into the bytes of a file, off screen. Fonts are sized in pixels, so a
// figure looks the same in every format.

#include <QByteArray>
#include <QChart>
#include <QSizeF>

namespace genosieve {

// The figures' size in pixels at scale 1; PNG files are drawn at twice that.
inline constexpr QSizeF kFigureSize{800, 500};
inline constexpr qreal kPngScale = 2.0;

QByteArray ChartSvg(QChart& chart, const QString& title, QSizeF size = kFigureSize);
QByteArray ChartPng(QChart& chart, QSizeF size = kFigureSize, qreal scale = kPngScale);
QByteArray ChartPdf(QChart& chart, const QString& title, QSizeF size = kFigureSize);

}  // namespace genosieve
