// The figures of a Run with many single tests, drawn off screen as --figures draws them:
//   BM_RunFigures/<tests>   every figure file (SVG and PNG) of a Run whose overall test and
//   <tests> population tests made 100 iterations each. The time should grow no faster than
//   the tests (the complexity line), and stay well below the Run's own at 20,000 tests.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtGlobal>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "run_figures.h"

namespace genosieve::bench {
namespace {

RunFigureData FiguresOfManyTests(int64_t tests) {
  constexpr int kIterations = 100;
  std::mt19937_64 random(7);
  std::normal_distribution<double> fis(0.05, 0.1);
  std::uniform_real_distribution<double> uniform(0, 1);
  RunFigureData data;
  data.hasOverall = true;
  data.observed = 0.02;
  int below = 0;
  for (int i = 1; i <= kIterations; ++i) {
    data.randomized.push_back(fis(random));
    if (data.randomized.back() <= data.observed) ++below;
    data.runningPValues.push_back(static_cast<double>(1 + below) / (i + 1));
  }
  data.pLower = data.runningPValues.back();
  data.pUpper = 1 - data.pLower + 1.0 / (kIterations + 1);
  data.iterations = kIterations;
  for (int64_t k = 1; k <= tests; ++k) {
    const double centre = fis(random);
    const double half = 0.05 + 0.1 * uniform(random);
    data.populations.push_back({std::to_string(k), centre + fis(random) - 0.05, centre - half,
                                centre + half, uniform(random)});
  }
  return data;
}

void BM_RunFigures(benchmark::State& state) {
  const RunFigureData data = FiguresOfManyTests(state.range(0));
  int64_t bytes = 0;
  for (auto _ : state) {
    const std::vector<FigureFile> files = RunFigureFiles(data, "results.txt");
    bytes = 0;
    for (const FigureFile& file : files) bytes += file.bytes.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RunFigures)
    ->Arg(24)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(20000)
    ->Arg(80000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) qFatal("%s", qPrintable(text));
}

}  // namespace
}  // namespace genosieve::bench

int main(int argc, char** argv) {
  // Drawn off screen, as genosieve-cli's figures module does.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(genosieve::bench::QuietQt);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
