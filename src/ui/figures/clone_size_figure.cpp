#include "clone_size_figure.h"

#include <QColor>
#include <QFont>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <array>
#include <cmath>

#include "plain_text.h"

namespace genosieve {

namespace {

// Colours that most colour-blind readers also tell apart (Okabe & Ito, without the yellow
// that a white background hides), then again.
constexpr std::array<QRgb, 7> kPalette = {0x0072b2, 0xe69f00, 0x009e73, 0xcc79a7,
                                          0x56b4e9, 0xd55e00, 0x000000};

QFont PixelFont(int pixels, bool bold = false) {
  QFont font;
  font.setFamily(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QValueAxis* AddAxis(QChart& chart, Qt::Alignment alignment, const QString& title, double low,
                    double high) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setTitleFont(PixelFont(14, true));
  axis->setLabelsFont(PixelFont(13));
  axis->setLabelsColor(QColor(0x33, 0x33, 0x33));
  axis->setLabelFormat(QStringLiteral("%.2g"));
  axis->setRange(low, high);
  // Ticks on round values (1, 2 or 5 times a power of ten) over exactly this range.
  const double rough = (high - low) / 5;
  const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
  const double scaled = rough / magnitude;
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval((scaled < 1.5 ? 1 : scaled < 3 ? 2 : scaled < 7 ? 5 : 10) * magnitude);
  chart.addAxis(axis, alignment);
  return axis;
}

}  // namespace

std::unique_ptr<QChart> CloneSizeChart(const std::vector<CloneSizeSeries>& populations) {
  auto chart = std::make_unique<QChart>();
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setBackgroundBrush(Qt::white);
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setTitleFont(PixelFont(17));
  chart->setTitle(QStringLiteral(
      "<div align=\"center\"><b>Clone sizes</b><br><span style=\"font-size:14px\">genets with "
      "at least x ramets against x, logarithms; lines: least squares, slope = -beta</span></div>"));
  chart->legend()->setFont(PixelFont(13));
  chart->legend()->setAlignment(Qt::AlignBottom);

  double lowX = 0.0;
  double highX = 0.0;
  double lowY = 0.0;
  double highY = 0.0;
  bool first = true;
  for (const CloneSizeSeries& population : populations) {
    for (const ParetoPoint& point : population.fit.points) {
      const double x = std::log(static_cast<double>(point.size));
      const double y = std::log(static_cast<double>(point.genets));
      lowX = first ? x : std::min(lowX, x);
      highX = first ? x : std::max(highX, x);
      lowY = first ? y : std::min(lowY, y);
      highY = first ? y : std::max(highY, y);
      first = false;
    }
  }
  // A single point, or a single size, still gets a plot of some width; a margin keeps the
  // points on the axes (x = ln 1, y = ln 1) whole.
  highX = std::max(highX, lowX + 1.0);
  highY = std::max(highY, lowY + 1.0);
  const double marginX = 0.04 * (highX - lowX);
  const double marginY = 0.04 * (highY - lowY);
  QValueAxis* xAxis = AddAxis(*chart, Qt::AlignBottom, QStringLiteral("ln(clone size x)"),
                              lowX - marginX, highX + marginX);
  QValueAxis* yAxis =
      AddAxis(*chart, Qt::AlignLeft, QStringLiteral("ln(genets with at least x ramets)"),
              lowY - marginY, highY + marginY);

  for (std::size_t i = 0; i < populations.size(); ++i) {
    const CloneSizeSeries& population = populations[i];
    const QColor colour(kPalette[i % kPalette.size()]);
    auto* points = new QScatterSeries;
    // Qt Charts reads a legend's label as HTML: the name is drawn as written.
    points->setName(PlainTextHtml(population.name));
    points->setColor(colour);
    points->setBorderColor(colour);
    points->setMarkerSize(9);
    for (const ParetoPoint& point : population.fit.points) {
      points->append(std::log(static_cast<double>(point.size)),
                     std::log(static_cast<double>(point.genets)));
    }
    chart->addSeries(points);
    points->attachAxis(xAxis);
    points->attachAxis(yAxis);
    if (!population.fit.slope || population.fit.points.empty()) continue;
    auto* line = new QLineSeries;
    line->setPen(QPen(colour, 2));
    const double from = std::log(static_cast<double>(population.fit.points.front().size));
    const double to = std::log(static_cast<double>(population.fit.points.back().size));
    for (const double x : {from, to})
      line->append(x, *population.fit.intercept + *population.fit.slope * x);
    chart->addSeries(line);
    line->attachAxis(xAxis);
    line->attachAxis(yAxis);
    for (QLegendMarker* marker : chart->legend()->markers(line)) marker->setVisible(false);
  }
  return chart;
}

}  // namespace genosieve
