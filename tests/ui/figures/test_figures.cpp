#include <QAbstractAxis>
#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QCandlestickSeries>
#include <QCandlestickSet>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QProcess>
#include <QScatterSeries>
#include <QSvgRenderer>
#include <QTest>
#include <QValueAxis>
#include <QXmlStreamReader>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numeric>
#include <random>
#include <string>

#include "figure_rendering.h"
#include "fis_figures.h"
#include "plain_text.h"
#include "run_figures.h"
#include "support/test_files.h"

namespace fs = std::filesystem;
using genosieve::Extended;
using genosieve::operator""_ext;
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

// The text of every <text> element of an SVG file, and the document's <title>; `wellFormed`
// tells whether the file is XML that an XML reader accepts whole.
struct SvgTexts {
  QStringList texts;
  QString title;
  bool wellFormed = false;
};

SvgTexts ReadSvgTexts(const QByteArray& svg) {
  SvgTexts read;
  QXmlStreamReader xml(svg);
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == QLatin1String("text")) {
      read.texts.append(xml.readElementText(QXmlStreamReader::IncludeChildElements));
    } else if (xml.name() == QLatin1String("title")) {
      read.title = xml.readElementText();
    }
  }
  read.wellFormed = !xml.hasError();
  return read;
}

// Tests whose observed values, ranges and P-values come from a seeded generator.
std::vector<genosieve::FisRange> ManyTests(size_t count, double significantShare) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> uniform(0, 1);
  std::vector<genosieve::FisRange> tests;
  for (size_t k = 0; k < count; ++k) {
    const double centre = uniform(random) - 0.5;
    tests.push_back({std::to_string(k + 1), centre + 0.3 * (uniform(random) - 0.5), centre - 0.1,
                     centre + 0.1 * uniform(random),
                     uniform(random) < significantShare ? 0.01 : 0.5});
  }
  return tests;
}

template <typename Series>
QList<Series*> SeriesOf(QChart& chart) {
  QList<Series*> found;
  for (QAbstractSeries* series : chart.series()) {
    if (auto* typed = qobject_cast<Series*>(series)) found.append(typed);
  }
  return found;
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
    overall.randomizedFis = {0.1_ext, 0.3_ext, 0.2_ext};
    overall.observed = 0.2_ext;
    overall.pLower = 0.75_ext;
    overall.pUpper = 0.75_ext;
    overall.iterations = 3;
    genosieve::AddToFigures(data, overall);
    genosieve::TestOutcome locus = overall;
    locus.kind = genosieve::RandomizationKind::kPerLocus;
    locus.name = "LocA";
    genosieve::AddToFigures(data, locus);
    QVERIFY(data.hasOverall);
    QCOMPARE(data.runningPValues,
             (std::vector<double>{1.0, static_cast<double>(Extended(2) / 3), 0.75}));
    QCOMPARE(data.loci.size(), size_t{1});
    QCOMPARE(data.loci[0].low, static_cast<double>(0.1_ext));
    QCOMPARE(data.loci[0].high, static_cast<double>(0.3_ext));
    QVERIFY(data.populations.empty());

    std::vector<std::string> names;
    for (const auto& file : genosieve::RunFigureFiles(data, "out.txt")) names.push_back(file.name);
    QCOMPARE(names,
             (std::vector<std::string>{"Fis_distribution_out.svg", "Fis_distribution_out.png",
                                       "Running_pvalue_out.svg", "Running_pvalue_out.png",
                                       "Locus_fis_out.svg", "Locus_fis_out.png"}));
  }

  void namesAreDrawnAsPlainText() {
    using namespace std::string_literals;
    const double none = std::numeric_limits<double>::quiet_NaN();
    // Markup, control characters (NUL among them), a name twice and an empty name.
    const std::vector<genosieve::FisRange> tests = {{"L<2>&\"x\"", 0.1, 0.0, 0.2, 0.5},
                                                    {"A\0B\x01\x7f"s, 0.1, 0.0, 0.2, 0.5},
                                                    {"<b>bold</b>", 0.1, 0.0, 0.2, 0.01},
                                                    {"<b>bold</b>", 0.2, 0.0, 0.2, 0.5},
                                                    {"", 0.0, none, none, 1.0}};
    const auto chart = genosieve::FisRangeChart(tests, QStringLiteral("Locus"), 40);
    auto* x = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    QVERIFY(x != nullptr);
    QCOMPARE(x->count(), 5);  // one category per test, whatever the names

    const QByteArray svg = genosieve::ChartSvg(*chart, QString::fromStdString("t<b>&\x01\"q\0"s));
    const SvgTexts read = ReadSvgTexts(svg);
    QVERIFY(read.wellFormed);
    QVERIFY2(read.texts.contains(QStringLiteral("L<2>&\"x\"")), qPrintable(read.texts.join('|')));
    QVERIFY2(read.texts.contains(QStringLiteral("A\u2400B\u2401\u2421")),
             qPrintable(read.texts.join('|')));
    QCOMPARE(read.texts.count(QStringLiteral("<b>bold</b>")), 2);
    QCOMPARE(read.title, QStringLiteral("t<b>&\u2401\"q\u2400"));
    for (const char byte : svg) {
      QVERIFY2(
          static_cast<unsigned char>(byte) >= 0x20 || byte == '\n' || byte == '\r' || byte == '\t',
          "a control character in the SVG file");
    }
    bool valid = false;
    RenderSvg(svg, valid);
    QVERIFY(valid);

    QCOMPARE(genosieve::DrawableText("a\tb\r\n\u0085\u2028\uFFFE"s),
             QStringLiteral("a\u2409b\u240D\u240A\uFFFD\uFFFD\uFFFD"));
    QCOMPARE(genosieve::PlainTextHtml("a  <b>"), QStringLiteral("a\u00A0\u00A0&lt;b&gt;"));
  }

  void moreTestsThanNamesFitAreNumberedInTheOrderOfTheDataFile() {
    const auto named = genosieve::FisRangeChart(ManyTests(genosieve::kNamedTests, 0.1),
                                                QStringLiteral("Population"), 100);
    QVERIFY(qobject_cast<QBarCategoryAxis*>(named->axes(Qt::Horizontal).value(0)) != nullptr);

    const std::vector<genosieve::FisRange> few = ManyTests(genosieve::kNamedTests + 1, 0.2);
    const auto numbered = genosieve::FisRangeChart(few, QStringLiteral("Population"), 100);
    auto* x = qobject_cast<QValueAxis*>(numbered->axes(Qt::Horizontal).value(0));
    QVERIFY(x != nullptr);
    QCOMPARE(x->titleText(), QStringLiteral("Population number (order of the data file)"));
    QCOMPARE(x->min(), 0.5);
    QCOMPARE(x->max(), few.size() + 0.5);
    QCOMPARE(AxisTitle(*numbered, Qt::AlignLeft), QStringLiteral("Fis (dimensionless)"));
    // Every test its own bar and its dot, the significant ones red, at its number.
    const QList<QCandlestickSeries*> bars = SeriesOf<QCandlestickSeries>(*numbered);
    QCOMPARE(bars.size(), 1);
    QCOMPARE(bars[0]->count(), static_cast<int>(few.size()));
    const QList<QLineSeries*> dots = SeriesOf<QLineSeries>(*numbered);
    QCOMPARE(dots.size(), 2);
    QCOMPARE(dots[0]->count() + dots[1]->count(), static_cast<int>(few.size()));
    for (size_t k = 0; k < few.size(); ++k) {
      const QCandlestickSet* bar = bars[0]->sets()[static_cast<qsizetype>(k)];
      QCOMPARE(bar->timestamp(), k + 1.0);
      QCOMPARE(bar->low(), few[k].low);
      QCOMPARE(bar->high(), few[k].high);
      QLineSeries* series = dots[few[k].pLower <= 0.05 ? 1 : 0];
      QVERIFY(series->points().contains(QPointF(k + 1.0, few[k].observed)));
    }
  }

  void aPanelOfManyTestsStaysTheSizeOfItsPicture() {
    // 20,000 tests: at most kRangeColumns bars, each spanning the ranges of its tests.
    const std::vector<genosieve::FisRange> tests = ManyTests(20000, 0.001);
    const auto chart = genosieve::FisRangeChart(tests, QStringLiteral("Locus"), 100);
    QVERIFY(chart->title().contains(QStringLiteral("a bar spans up to 100 consecutive tests")));
    const QList<QCandlestickSeries*> bars = SeriesOf<QCandlestickSeries>(*chart);
    QCOMPARE(bars.size(), 1);
    QCOMPARE(bars[0]->count(), static_cast<int>(genosieve::kRangeColumns));
    double low = tests[0].low;
    double high = tests[0].high;
    for (size_t k = 1; k < 100; ++k) {
      low = std::min(low, tests[k].low);
      high = std::max(high, tests[k].high);
    }
    QCOMPARE(bars[0]->sets()[0]->low(), low);
    QCOMPARE(bars[0]->sets()[0]->high(), high);
    QCOMPARE(bars[0]->sets()[0]->timestamp(), 50.0);  // the middle of tests 1 to 100
    // The few significant tests keep every dot.
    const QList<QLineSeries*> dots = SeriesOf<QLineSeries>(*chart);
    QCOMPARE(dots.size(), 2);
    const auto significant = std::count_if(tests.begin(), tests.end(),
                                           [](const auto& test) { return test.pLower <= 0.05; });
    QVERIFY(significant > 0);
    QCOMPARE(dots[1]->count(), static_cast<int>(significant));
    QVERIFY(dots[0]->count() <= static_cast<int>(tests.size() - significant));
    QVERIFY(dots[0]->count() > static_cast<int>(tests.size() / 2));

    // Dots that would fall on one pixel are drawn once: as many equal tests as the figure
    // has pixels across give a dot per pixel column at most.
    std::vector<genosieve::FisRange> equal(100000, {"L", 0.1, 0.0, 0.2, 0.5});
    const auto crowded = genosieve::FisRangeChart(equal, QStringLiteral("Locus"), 100);
    const QList<QLineSeries*> crowdedDots = SeriesOf<QLineSeries>(*crowded);
    QVERIFY(crowdedDots[0]->count() <= 1600);
    QVERIFY(crowdedDots[0]->count() >= 800);

    bool valid = false;
    const QByteArray svg = genosieve::ChartSvg(*chart, QStringLiteral("Locus_fis_results"));
    QVERIFY(HasInk(RenderSvg(svg, valid)));
    QVERIFY(valid);
    QVERIFY(svg.size() < 4'000'000);
    const QImage png = QImage::fromData(genosieve::ChartPng(*chart), "PNG");
    QCOMPARE(png.size(), QSize(1600, 1000));
  }

  void aStopBetweenFiguresKeepsTheFilesDrawnUntilThen() {
    genosieve::RunFigureData data;
    data.hasOverall = true;
    data.randomized = {0.1, 0.3, 0.2};
    data.runningPValues = {1.0, 2.0 / 3, 0.75};
    data.observed = 0.2;
    data.iterations = 3;
    data.loci = ManyTests(30, 0.1);
    int asked = 0;
    const auto files = genosieve::RunFigureFiles(data, "out.txt", [&asked] { return ++asked > 3; });
    QCOMPARE(asked, 4);  // not asked again once it answered true
    std::vector<std::string> names;
    for (const auto& file : files) names.push_back(file.name);
    QCOMPARE(names,
             (std::vector<std::string>{"Fis_distribution_out.svg", "Fis_distribution_out.png",
                                       "Running_pvalue_out.svg"}));
    bool valid = false;
    RenderSvg(files[2].bytes, valid);
    QVERIFY(valid);
    QCOMPARE(QImage::fromData(files[1].bytes, "PNG").size(), QSize(1600, 1000));
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
