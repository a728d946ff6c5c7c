#include "chart_export.h"

#include <QBuffer>
#include <QChartView>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#ifdef GENOSIEVE_HAVE_QT_SVG
#include <QSvgGenerator>
#endif

namespace {

constexpr int kScreenDpi = 96;

void Render(QChartView& view, QPainter& painter, const QRectF& target) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  view.render(&painter, target, view.viewport()->rect());
}

}  // namespace

std::optional<ChartFormat> ChartFormatOfName(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix == QLatin1String("png")) return ChartFormat::kPng;
  if (suffix == QLatin1String("svg")) return ChartFormat::kSvg;
  if (suffix == QLatin1String("pdf")) return ChartFormat::kPdf;
  return std::nullopt;
}

QString ChartFormatFilter(ChartFormat format) {
  switch (format) {
    case ChartFormat::kPng:
      return QStringLiteral("PNG image (*.png)");
    case ChartFormat::kSvg:
      return QStringLiteral("SVG drawing (*.svg)");
    case ChartFormat::kPdf:
      return QStringLiteral("PDF document (*.pdf)");
  }
  return {};
}

QImage ChartImage(QChartView& view) { return view.grab().toImage(); }

QByteArray ChartBytes(QChartView& view, ChartFormat format, const QString& title) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QSizeF size = view.viewport()->size();
  switch (format) {
    case ChartFormat::kPng:
      ChartImage(view).save(&buffer, "PNG");
      break;
    case ChartFormat::kSvg: {
#ifdef GENOSIEVE_HAVE_QT_SVG
      QSvgGenerator generator;
      generator.setOutputDevice(&buffer);
      generator.setSize(size.toSize());
      generator.setViewBox(QRectF(QPointF(0, 0), size));
      generator.setResolution(kScreenDpi);
      generator.setTitle(title);
      QPainter painter(&generator);
      Render(view, painter, QRectF(QPointF(0, 0), size));
#endif
      break;
    }
    case ChartFormat::kPdf: {
      QPdfWriter writer(&buffer);
      writer.setTitle(title);
      writer.setCreator(QStringLiteral("GENOSIEVE"));
      writer.setResolution(kScreenDpi);
      // One page the size of the chart: a pixel is 0.75 point at 96 pixels per inch.
      writer.setPageLayout(QPageLayout(QPageSize(size * 0.75, QPageSize::Point),
                                       QPageLayout::Portrait, QMarginsF()));
      QPainter painter(&writer);
      Render(view, painter, QRectF(0, 0, writer.width(), writer.height()));
      break;
    }
  }
  return bytes;
}

QString WriteFileAtomically(const QString& path, const QByteArray& bytes) {
  const QString fullPath = QFileInfo(path).absoluteFilePath();
  const auto failed = [&fullPath](const QString& why) {
    return QStringLiteral("\"%1\": %2").arg(fullPath, why);
  };
  const QFileInfo existing(fullPath);
  if (existing.isSymLink()) return failed(QStringLiteral("is a link; nothing was written"));
  if (existing.exists() && !existing.isFile()) {
    return failed(QStringLiteral("is not a regular file; nothing was written"));
  }
  if (bytes.isEmpty()) return failed(QStringLiteral("the drawing could not be made"));
  QSaveFile file(fullPath);
  if (!file.open(QIODevice::WriteOnly)) return failed(file.errorString());
  if (file.write(bytes) != bytes.size()) {
    const QString why = file.errorString();
    file.cancelWriting();
    return failed(why);
  }
  if (!file.commit()) return failed(file.errorString());
  return {};
}
