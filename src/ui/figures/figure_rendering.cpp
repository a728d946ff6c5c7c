#include "figure_rendering.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "errors.h"
#include "messages.h"
#include "plain_text.h"

namespace genosieve {

namespace {

constexpr int kScreenDpi = 96;

// Lays the chart out at `size` in a scene of its own and draws it with `painter`; the
// chart goes back to its owner afterwards.
void Draw(QChart& chart, QSizeF size, QPainter& painter, const QRectF& target) {
  QGraphicsScene scene;
  scene.addItem(&chart);
  chart.setGeometry(QRectF(QPointF(0, 0), size));
  // The layout requests posted by the changes above are handled before drawing.
  QCoreApplication::sendPostedEvents();
  chart.layout()->activate();
  scene.setSceneRect(QRectF(QPointF(0, 0), size));
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  scene.render(&painter, target, QRectF(QPointF(0, 0), size));
  scene.removeItem(&chart);
}

[[noreturn]] void DrawingFailed(const char* format) {
  ThrowInternalError(FillMessage("the {} figure could not be drawn", format));
}

}  // namespace

QByteArray ChartSvg(QChart& chart, const QString& title, QSizeF size) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size.toSize());
  generator.setViewBox(QRectF(QPointF(0, 0), size));
  generator.setResolution(kScreenDpi);
  // The title is the result name's stem, which may hold any character a file name can;
  // Qt SVG writes it into the file as it is given.
  generator.setTitle(DrawableText(title).toHtmlEscaped());
  QPainter painter;
  if (!painter.begin(&generator)) DrawingFailed("SVG");
  Draw(chart, size, painter, QRectF(QPointF(0, 0), size));
  painter.end();
  return bytes;
}

QByteArray ChartPng(QChart& chart, QSizeF size, qreal scale) {
  QImage image((size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(scale);
  image.setDotsPerMeterX(static_cast<int>(kScreenDpi * scale / 0.0254));
  image.setDotsPerMeterY(static_cast<int>(kScreenDpi * scale / 0.0254));
  image.fill(Qt::white);
  QPainter painter;
  if (!painter.begin(&image)) DrawingFailed("PNG");
  Draw(chart, size, painter, QRectF(QPointF(0, 0), size));
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(image)) DrawingFailed("PNG");
  return bytes;
}

QByteArray ChartPdf(QChart& chart, const QString& title, QSizeF size) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setTitle(title);
  writer.setCreator(QStringLiteral("GENOSIEVE"));
  writer.setResolution(kScreenDpi);
  // One page the size of the figure, at the screen's resolution: 1 pixel = 0.75 point.
  writer.setPageLayout(
      QPageLayout(QPageSize(size * 0.75, QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
  QPainter painter;
  if (!painter.begin(&writer)) DrawingFailed("PDF");
  Draw(chart, size, painter, QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height())));
  painter.end();
  return bytes;
}

}  // namespace genosieve
