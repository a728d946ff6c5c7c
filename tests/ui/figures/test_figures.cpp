#include <QAbstractAxis>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QProcess>
#include <QScatterSeries>
#include <QSvgRenderer>
#include <QTest>
#include <QValueAxis>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numeric>
#include <string>

#include "figure_rendering.h"
#include "fis_figures.h"
#include "run_figures.h"
#include "support/test_files.h"

namespace fs = std::filesystem;
using genosieve::testing::ExamplePath;
using genosieve::testing::ReadBytes;
using genosieve::testing::ScopedWorkingFolder;

namespace {

QString AxisTitle(QChart& chart, Qt::Alignment alignment) {
  for (QAbstractAxis* axis : chart.axes()) {
    if (axis->alignment() == alignment) return axis->titleText();
  }
  return {};
}

// Whether an image holds anything but white: something was drawn.
bool HasInk(const QImage& image) {
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) {
      if (image.pixelColor(x, y) != QColor(Qt::white)) return true;
    }
  }
  return false;
}

QStringList svgComplaints;

void KeepComplaints(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtDebugMsg && type != QtInfoMsg) svgComplaints.append(text);
}

// Draws an SVG figure at its own size in pixels (its view box); valid when Qt SVG read it
// and drew it without a warning.
QImage RenderSvg(const QByteArray& svg, bool& valid) {
  svgComplaints.clear();
  const QtMessageHandler previous = qInstallMessageHandler(KeepComplaints);
  QSvgRenderer renderer(svg);
  QImage image(renderer.viewBox().size(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  qInstallMessageHandler(previous);
  valid = renderer.isValid() && svgComplaints.isEmpty();
  if (!svgComplaints.isEmpty()) qWarning() << svgComplaints;
  return image;
}

}  // namespace

class FiguresTest : public QObject {
  Q_OBJECT

 private slots:
  void histogramBinsCoverTheValuesAndTheObservedOne() {
    std::vector<double> values;
    for (int i = 0; i < 100; ++i) values.push_back(0.1 + 0.001 * i);
    const auto bins = genosieve::HistogramBins(values, 0.5);
    QCOMPARE(bins.size(), size_t{10});  // sqrt(100)
    QCOMPARE(bins.front().low, 0.1);
    QCOMPARE(bins.back().high, 0.5);
    int total = 0;
    for (size_t b = 0; b < bins.size(); ++b) {
      total += bins[b].count;
      if (b > 0) QCOMPARE(bins[b].low, bins[b - 1].high);
    }
    QCOMPARE(total, 100);
    QCOMPARE(bins.back().count, 0);  // only the observed value lies out there

    // Few values, all equal: at least five bins over a widened range.
    const auto flat = genosieve::HistogramBins({0.2, 0.2, 0.2}, 0.2);
    QCOMPARE(flat.size(), size_t{5});
    QVERIFY(flat.front().low < 0.2 && flat.back().high > 0.2);
    QCOMPARE(flat[2].count, 3);
    QCOMPARE(genosieve::HistogramBins(std::vector<double>(10000, 0.0), 1.0).size(), size_t{50});
  }

  void distributionChartShowsBothTailsAndTheObservedLine() {
    const std::vector<double> values = {0.01, 0.02, 0.02, 0.05, 0.08, 0.09};
    const auto chart = genosieve::FisDistributionChart(values, 0.03, 4.0 / 7, 3.0 / 7);
    QVERIFY(chart->title().contains(QStringLiteral("P(lower) = 0.5714")));
    QVERIFY(chart->title().contains(QStringLiteral("P(upper) = 0.4286")));
    QCOMPARE(AxisTitle(*chart, Qt::AlignBottom), QStringLiteral("Fis (dimensionless)"));
    QCOMPARE(AxisTitle(*chart, Qt::AlignLeft), QStringLiteral("Randomized values (count)"));
    QCOMPARE(chart->series().size(), 2);
    QVERIFY(qobject_cast<QAreaSeries*>(chart->series()[0]) != nullptr);
    auto* observed = qobject_cast<QLineSeries*>(chart->series()[1]);
    QVERIFY(observed != nullptr);
    QCOMPARE(observed->count(), 2);
    QCOMPARE(observed->at(0).x(), 0.03);
    QCOMPARE(observed->at(1).x(), 0.03);
  }

  void runningPValueChartPlacesIterationIAtI() {
    const auto chart = genosieve::RunningPValueChart({1.0, 2.0 / 3, 0.5});
    auto* series = qobject_cast<QLineSeries*>(chart->series().value(0));
    QVERIFY(series != nullptr);
    QCOMPARE(series->count(), 3);
    QCOMPARE(series->at(0), QPointF(1, 1.0));
    QCOMPARE(series->at(2), QPointF(3, 0.5));
    QCOMPARE(AxisTitle(*chart, Qt::AlignBottom), QStringLiteral("Iteration number"));
    QCOMPARE(AxisTitle(*chart, Qt::AlignLeft), QStringLiteral("P-value"));
    QVERIFY(chart->title().contains(QStringLiteral("P(lower) = 0.5 after 3 iterations")));

    // A long test: the first thousand points, then a few thousand more up to the last.
    std::vector<double> many(1'000'000);
    for (size_t i = 0; i < many.size(); ++i) many[i] = 1.0 / static_cast<double>(i + 2);
    const auto longChart = genosieve::RunningPValueChart(many);
    auto* longSeries = qobject_cast<QLineSeries*>(longChart->series().value(0));
    QVERIFY(longSeries->count() > 3000 && longSeries->count() <= 4001);
    QCOMPARE(longSeries->at(999), QPointF(1000, 1.0 / 1001));
    QCOMPARE(longSeries->at(longSeries->count() - 1), QPointF(1'000'000, 1.0 / 1'000'001));
    for (qsizetype p = 1; p < longSeries->count(); ++p) {
      QVERIFY(longSeries->at(p).x() > longSeries->at(p - 1).x());
    }
  }

  void rangeChartHasOneCategoryPerTest() {
    const double none = std::numeric_limits<double>::quiet_NaN();
    const std::vector<genosieve::FisRange> tests = {{"LocA", 0.1, 0.05, 0.3, 0.2},
                                                    {"LocB", -0.2, 0.0, 0.2, 0.01},
                                                    {"LocC", 0.0, none, none, 1.0}};
    const auto chart = genosieve::FisRangeChart(tests, QStringLiteral("Locus"), 40);
    auto* x = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    QVERIFY(x != nullptr);
    QCOMPARE(x->categories(), (QStringList{"LocA", "LocB", "LocC"}));
    QCOMPARE(x->titleText(), QStringLiteral("Locus"));
    QCOMPARE(AxisTitle(*chart, Qt::AlignLeft), QStringLiteral("Fis (dimensionless)"));
    int ranges = 0;
    QList<QScatterSeries*> observed;
    for (QAbstractSeries* series : chart->series()) {
      if (auto* scatter = qobject_cast<QScatterSeries*>(series)) {
        observed.append(scatter);
      } else if (qobject_cast<QLineSeries*>(series) != nullptr) {
        ++ranges;
      }
    }
    QCOMPARE(ranges, 2);  // the test without iterations has no range
    QCOMPARE(observed.size(), 2);
    QCOMPARE(observed[0]->count(), 2);  // P(lower) above 0.05
    QCOMPARE(observed[1]->count(), 1);
    QCOMPARE(observed[1]->at(0), QPointF(1, -0.2));
  }

  void chartsBecomeSvgPngAndPdf() {
    const auto chart = genosieve::RunningPValueChart({1.0, 0.5, 2.0 / 3, 0.75});
    bool valid = false;
    const QImage drawn = RenderSvg(genosieve::ChartSvg(*chart, QStringLiteral("title")), valid);
    QVERIFY(valid);
    QCOMPARE(drawn.size(), QSize(800, 500));
    QVERIFY(HasInk(drawn));

    const QImage png = QImage::fromData(genosieve::ChartPng(*chart), "PNG");
    QCOMPARE(png.size(), QSize(1600, 1000));
    QVERIFY(HasInk(png));

    const QByteArray pdf = genosieve::ChartPdf(*chart, QStringLiteral("title"));
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.size() > 1000);
    // The chart is still its owner's, and can be drawn again.
    QCOMPARE(QImage::fromData(genosieve::ChartPng(*chart, {400, 250}, 1), "PNG").size(),
             QSize(400, 250));
  }

  void runFiguresKeepOnlyRangesOfSingleTests() {
    genosieve::RunFigureData data;
    genosieve::TestOutcome overall;
    overall.randomizedFis = {0.1, 0.3, 0.2};
    overall.notAboveObserved = {true, false, true};
    overall.centralRange = {0.1, 0.3};
    overall.observed = 0.2L;
    overall.pLower = 0.75L;
    overall.pUpper = 0.75L;
    overall.iterations = 3;
    genosieve::AddToFigures(data, overall);
    genosieve::TestOutcome locus = overall;
    locus.kind = genosieve::RandomizationKind::kPerLocus;
    locus.name = "LocA";
    genosieve::AddToFigures(data, locus);
    QVERIFY(data.hasOverall);
    QCOMPARE(data.runningPValues, (std::vector<double>{1.0, static_cast<double>(2.0L / 3), 0.75}));
    QCOMPARE(data.loci.size(), size_t{1});
    QCOMPARE(data.loci[0].low, 0.1);
    QCOMPARE(data.loci[0].high, 0.3);
    QVERIFY(data.populations.empty());

    std::vector<std::string> names;
    for (const auto& file : genosieve::RunFigureFiles(data, "out.txt")) names.push_back(file.name);
    QCOMPARE(names,
             (std::vector<std::string>{"Fis_distribution_out.svg", "Fis_distribution_out.png",
                                       "Running_pvalue_out.svg", "Running_pvalue_out.png",
                                       "Locus_fis_out.svg", "Locus_fis_out.png"}));
  }

  void commandLineWritesEveryFigureOfARun() {
    const ScopedWorkingFolder folder;
    QProcess cli;
    cli.setProgram(QStringLiteral(GENOSIEVE_CLI_PATH));
    cli.setArguments({"-q", "-n", "200", "--seed", "5", "--per-locus", "--per-pop", "--figures",
                      "--fis-values", QString::fromStdString(ExamplePath("aspen.txt").string())});
    cli.start();
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(cli.readAllStandardOutput(), QByteArray("done ! \n"));
    for (const char* stem : {"Fis_distribution_results", "Running_pvalue_results",
                             "Locus_fis_results", "Population_fis_results"}) {
      const std::string name = stem;
      bool valid = false;
      const QImage svg = RenderSvg(QByteArray::fromStdString(ReadBytes(name + ".svg")), valid);
      QVERIFY2(valid, stem);
      QVERIFY2(HasInk(svg), stem);
      const QImage png =
          QImage::fromData(QByteArray::fromStdString(ReadBytes(name + ".png")), "PNG");
      QCOMPARE(png.size(), QSize(1600, 1000));
    }
    QVERIFY(fs::exists("Fisvalues_results.tsv"));
  }
};

QTEST_MAIN(FiguresTest)
#include "test_figures.moc"
