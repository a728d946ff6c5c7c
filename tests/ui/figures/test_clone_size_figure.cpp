// The Pareto plot of the clone sizes, and the command line's --figures that draws it.

#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QProcess>
#include <QScatterSeries>
#include <QSvgRenderer>
#include <QTest>
#include <cmath>
#include <string>
#include <vector>

#include "clone_size_figure.h"
#include "run_figures.h"
#include "support/test_files.h"

using genosieve::testing::ExamplePath;
using genosieve::testing::ReadBytes;
using genosieve::testing::ScopedWorkingFolder;

namespace {

// Whether an image holds anything but white.
bool HasInk(const QImage& image) {
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) {
      if (image.pixelColor(x, y) != QColor(Qt::white)) return true;
    }
  }
  return false;
}

QImage RenderSvg(const QByteArray& svg) {
  QSvgRenderer renderer(svg);
  QImage image(renderer.viewBox().size(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

genosieve::CloneSizeSeries Series(int32_t population, const std::vector<int64_t>& sizes) {
  return {population, "pop" + std::to_string(population), genosieve::FitPareto(sizes)};
}

}  // namespace

class CloneSizeFigureTest : public QObject {
  Q_OBJECT

 private slots:
  void eachPopulationHasItsPointsItsLineAndItsColour() {
    // Sizes 3, 2, 1: points (0, ln 3), (ln 2, ln 2), (ln 3, 0) and a line; a population of
    // single genets has one point and no line.
    const std::vector<genosieve::CloneSizeSeries> populations = {Series(1, {3, 2, 1}),
                                                                 Series(2, {1, 1, 1})};
    const std::unique_ptr<QChart> chart = genosieve::CloneSizeChart(populations);
    std::vector<QScatterSeries*> points;
    std::vector<QLineSeries*> lines;
    for (QAbstractSeries* series : chart->series()) {
      if (auto* scatter = qobject_cast<QScatterSeries*>(series)) {
        points.push_back(scatter);
      } else if (auto* line = qobject_cast<QLineSeries*>(series)) {
        lines.push_back(line);
      }
    }
    QCOMPARE(points.size(), size_t{2});
    QCOMPARE(lines.size(), size_t{1});
    QCOMPARE(points[0]->name(), QStringLiteral("pop1"));
    QCOMPARE(points[0]->count(), 3);
    QCOMPARE(points[0]->at(1), QPointF(std::log(2.0), std::log(2.0)));
    QCOMPARE(points[1]->count(), 1);
    QCOMPARE(points[1]->at(0), QPointF(0.0, std::log(3.0)));
    QVERIFY(points[0]->color() != points[1]->color());
    QCOMPARE(lines[0]->pen().color(), points[0]->color());
    // The line is the least-squares fit, from the smallest size to the largest.
    const genosieve::ParetoFit& fit = populations[0].fit;
    QCOMPARE(lines[0]->count(), 2);
    QCOMPARE(lines[0]->at(0).y(), *fit.intercept);
    QCOMPARE(lines[0]->at(1).x(), std::log(3.0));
    QCOMPARE(lines[0]->at(1).y(), *fit.intercept + *fit.slope * std::log(3.0));
  }

  void populationNamesAreDrawnAsWritten() {
    genosieve::CloneSizeSeries named = Series(1, {2, 1});
    named.name = "<b>Lac & Noir</b>";
    const std::unique_ptr<QChart> chart = genosieve::CloneSizeChart({named});
    auto* points = qobject_cast<QScatterSeries*>(chart->series().front());
    QVERIFY(points != nullptr);
    QCOMPARE(points->name(), QStringLiteral("&lt;b&gt;Lac\u00A0&amp;\u00A0Noir&lt;/b&gt;"));
  }

  void filesAreNamedAfterTheResultAndDrawnWithTheRunsOtherFigures() {
    genosieve::RunFigureData data;
    QVERIFY(genosieve::RunFigureFiles(data, "out.txt").empty());
    genosieve::ClonalityResults results;
    results.cloneSizes = {Series(1, {5, 2, 2, 1})};
    genosieve::AddClonalityToFigures(data, results);
    const auto files = genosieve::RunFigureFiles(data, "out.txt");
    QCOMPARE(files.size(), size_t{2});
    QCOMPARE(files[0].name, std::string("Clone_sizes_out.svg"));
    QCOMPARE(files[1].name, std::string("Clone_sizes_out.png"));
    QVERIFY(HasInk(RenderSvg(files[0].bytes)));
    QCOMPARE(QImage::fromData(files[1].bytes, "PNG").size(), QSize(1600, 1000));
    // A stop asked before it is drawn leaves it out.
    QVERIFY(genosieve::RunFigureFiles(data, "out.txt", [] { return true; }).empty());
  }

  void commandLineDrawsThePlotOfItsPopulations() {
    const ScopedWorkingFolder folder;
    QProcess cli;
    cli.setProgram(QStringLiteral(GENOSIEVE_CLI_PATH));
    cli.setArguments({"-q", "-n", "20", "--seed", "5", "--figures",
                      QString::fromStdString(ExamplePath("aspen.txt").string())});
    cli.start();
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    const QImage svg = RenderSvg(QByteArray::fromStdString(ReadBytes("Clone_sizes_results.svg")));
    QVERIFY(HasInk(svg));
    const QByteArray text = QByteArray::fromStdString(ReadBytes("Clone_sizes_results.svg"));
    // The four stands are named in the legend.
    for (const char* stand : {"pop1", "pop2", "pop3", "pop4"})
      QVERIFY2(text.contains(stand), stand);
    QCOMPARE(
        QImage::fromData(QByteArray::fromStdString(ReadBytes("Clone_sizes_results.png")), "PNG")
            .size(),
        QSize(1600, 1000));
  }
};

QTEST_MAIN(CloneSizeFigureTest)
#include "test_clone_size_figure.moc"
