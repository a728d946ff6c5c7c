#pragma once

// Saving and copying a chart as the window shows it: PNG through the widget's own
// drawing, SVG and PDF as vector drawings of the same scene, the values as text.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

class QChartView;

enum class ChartFormat { kPng, kSvg, kPdf };

// The format a file name asks for by its extension (case ignored); nothing for another.
std::optional<ChartFormat> ChartFormatOfName(const QString& fileName);

// The file dialog's filter of a format, such as "PNG image (*.png)".
QString ChartFormatFilter(ChartFormat format);

// The chart as shown, at the screen's pixel ratio.
QImage ChartImage(QChartView& view);

// The chart in the format; `title` names the drawing in SVG and PDF files.
QByteArray ChartBytes(QChartView& view, ChartFormat format, const QString& title);

// Writes the bytes to the file through a temporary file renamed into place, so that a
// failure leaves no half-written file; refuses a link or anything but a regular file at
// that name. Returns the error, naming the full path, or an empty text.
QString WriteFileAtomically(const QString& path, const QByteArray& bytes);
