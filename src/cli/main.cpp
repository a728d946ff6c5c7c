// genosieve-cli: the Run of GENOSIEVE from the command line.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/interpretation.h"
#include "analysis/run.h"
#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "data/data_format.h"
#include "data/native_export.h"
#include "errors.h"
#include "figures_module.h"
#include "io/io_error.h"
#include "io/working_folder.h"
#include "messages.h"
#include "open_figures_module.h"
#include "reports/number_format.h"

namespace {

constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;

// The signal (SIGINT or SIGTERM) that asked the Run to stop, 0 while none has. The
// handler only sets it; the Run polls it through the view and stops at the start of its
// next iteration, removing its temporary files.
volatile std::sig_atomic_t stopSignal = 0;

void RequestStop(int signal) { stopSignal = signal; }

// The first SIGINT or SIGTERM asks the Run to stop; the handler then gives way to the
// default action, so that a second one ends the program at once.
void HandleStopSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Progress on stderr (one redrawn line) when it is a terminal, the final message on
// stdout. Each test is announced before its progress range is set.
struct CliView : genosieve::RunView {
  bool showProgress = false;
  bool bothAnalyses = false;  // locus tests then say "of L", to tell them from the others
  bool showNotices = true;
  bool showSeed = false;  // the clock's seed, so that the Run can be repeated

  int maximum = 0;
  std::string test;
  size_t drawnLength = 0;
  std::chrono::steady_clock::time_point lastDraw{};

  void TestStarted(genosieve::RandomizationKind kind, int32_t index, int32_t count,
                   const std::string&) override {
    switch (kind) {
      case genosieve::RandomizationKind::kOverall:
        test = "overall test";
        break;
      case genosieve::RandomizationKind::kPerLocus:
        test = "locus " + std::to_string(index);
        if (bothAnalyses) test += " of " + std::to_string(count);
        break;
      case genosieve::RandomizationKind::kPerPopulation:
        test = "population " + std::to_string(index);
        break;
    }
  }

  void SeedChosen(uint32_t seed) override {
    if (!showSeed) return;
    ClearProgress();
    std::cerr << "genosieve-cli: seed: " << seed << " (--seed " << seed << " repeats this Run)\n";
  }

  void SetProgressRange(int, int max) override {
    maximum = max;
    if (showProgress) Draw(0, true);
  }

  void SetProgressPosition(int position) override {
    if (!showProgress) return;
    // The range is 0 .. N + 1 and iterations are numbered 1 .. N.
    const bool last = position >= maximum - 1;
    Draw(position, last);
  }

  void Draw(int position, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastDraw < std::chrono::milliseconds(100)) return;
    lastDraw = now;
    const int iterations = maximum > 1 ? maximum - 1 : 0;
    constexpr int kWidth = 30;
    const int filled =
        iterations > 0 ? static_cast<int>(static_cast<int64_t>(position) * kWidth / iterations) : 0;
    std::string text = "genosieve: " + test + " [" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(kWidth - filled), ' ') + "] iteration " +
                       std::to_string(position) + " of " + std::to_string(iterations);
    const size_t length = text.size();
    if (length < drawnLength) text.append(drawnLength - length, ' ');
    std::cerr << '\r' << text << std::flush;
    drawnLength = length;
  }

  void ClearProgress() {
    if (drawnLength == 0) return;
    std::cerr << '\r' << std::string(drawnLength, ' ') << '\r' << std::flush;
    drawnLength = 0;
  }

  void ClearChart() override {}
  void AddChartPoint(double) override {}
  void AddChartPoints(const std::vector<double>&) override {}
  void ShowChartSeries() override {}

  void ShowMessage(const std::string& text) override {
    ClearProgress();
    errno = 0;
    std::cout << text << std::endl;
    // A final message that does not reach its reader is no success: the Run fails.
    if (!std::cout) {
      const std::string reason = genosieve::IoErrorMessageFromErrno(errno);
      std::cout.clear();
      throw genosieve::RunError("cannot write \"" + text + "\" to the standard output: " + reason);
    }
  }

  void ShowNotice(const std::string& text) override {
    if (!showNotices) return;
    ClearProgress();
    std::cerr << "genosieve-cli: " << text << '\n';
  }

  bool StopRequested() override { return stopSignal != 0; }

  void TestFinished(const genosieve::TestOutcome& outcome) override {
    // The lines at the end need no randomized value: they are not kept.
    genosieve::TestOutcome brief = outcome;
    brief.randomizedFis.clear();
    brief.randomizedFis.shrink_to_fit();
    finished.push_back(std::move(brief));
    if (figureSession != nullptr) figures->add(*figureSession, outcome);
  }

  std::vector<genosieve::ViewFile> FilesToWrite(
      const std::function<bool()>& stopRequested) override {
    if (figureSession == nullptr) return {};
    return figures->files(*figureSession, resultName, stopRequested);
  }

  std::vector<genosieve::TestOutcome> finished;
  std::string resultName;
  // Set for --figures: the module that draws them and its session.
  const genosieve::FiguresModule* figures = nullptr;
  genosieve::FiguresSession* figureSession = nullptr;
};

// The regional decimal separator as the locale writes it (empty when none is set), read
// once; the C numeric locale is restored at once so that no number the program reads or
// writes depends on the user's locale.
std::string RegionalDecimalSeparator() {
  std::string separator;
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const std::lconv* conventions = std::localeconv();
    if (conventions != nullptr && conventions->decimal_point != nullptr) {
      separator = conventions->decimal_point;
    }
  }
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

std::string CheckSeed(const std::string& text) {
  if (text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoull(text) > 4294967295ULL) {
    return "the seed must be an integer from 0 to 4294967295, not '" + text + "'";
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  genosieve::RunSettings settings;
  std::string dataPath;
  std::string seedText;
  std::string directory;
  std::string formatName = genosieve::FormatName(genosieve::DataFormat::kAuto);
  std::string writeData;
  bool quiet = false;

  CLI::App app{"GENOSIEVE " GENOSIEVE_VERSION
               ": finds the clones of each population in a genotype data file and tests whether\n"
               "Fis is lower than when clone sizes are given at random to distinct genotypes.",
               "genosieve-cli"};
  app.footer(
      "Exit status: 0 when the Run ends with \"done ! \", 1 when it fails (the message is on\n"
      "stderr), 2 for a usage error, 130 or 143 when SIGINT or SIGTERM stopped it.");
  app.set_version_flag("--version", "genosieve-cli " GENOSIEVE_VERSION);
  app.add_option("DATAFILE", dataPath, "Genotype data file")->required();
  app.add_option("-n,--iterations", settings.iterationsText,
                 "Number of iterations of each randomization test")
      ->capture_default_str()
      ->type_name("TEXT");
  app.add_option("-o,--result", settings.resultName,
                 "Result name: the results file, and the suffix of the other files' names")
      ->capture_default_str()
      ->type_name("NAME");
  app.add_flag("--pvalue-files", settings.createPValueFiles,
               "Create files iterations / p-values, one per test");
  app.add_flag("--per-locus", settings.perLocusAnalysis, "Per locus analysis");
  app.add_flag("--per-pop", settings.perPopulationAnalysis, "Per pop analysis");
  app.add_flag("--fis-values", settings.writeFisValues,
               "Write every randomized Fis of every test to Fisvalues_<stem>.tsv");
  bool figures = false;
  app.add_flag("--figures", figures,
               "Draw the figures (SVG and PNG): the overall test's Fis distribution and running "
               "P-value, and one panel per kind of single test");
  app.add_option("--seed", seedText,
                 "Seed every test's random generator with N instead of the "
                 "clock, so that a Run can be repeated")
      ->type_name("N")
      ->check(CLI::Validator(CheckSeed, "0..4294967295", "seed"));
  app.add_option("--threads", settings.threads,
                 "Threads that work out the randomized values (0: one per core); the files are "
                 "the same whatever the number")
      ->capture_default_str()
      ->type_name("N")
      ->check(CLI::Range(0, 4096));
  app.add_option("-C,--directory", directory,
                 "Working folder where every output and intermediate file goes (default: the "
                 "current folder); DATAFILE is found from the current folder")
      ->type_name("DIR");
  app.add_option("--format", formatName,
                 "Layout of DATAFILE: native, genepop (.gen), genalex (GenAlEx sheet saved as "
                 ".csv), fstat (.dat), or auto: recognised from its content, then its extension")
      ->capture_default_str()
      ->check(CLI::IsMember({"auto", "native", "genepop", "genalex", "fstat"}));
  CLI::Option* writeDataOption =
      app.add_option("--write-data", writeData,
                     "Write DATAFILE as read to OUT in the native layout and stop without a Run")
          ->type_name("OUT");
  app.add_flag("-q,--quiet", quiet, "No progress display, no notices");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : kExitUsage;
  }

  if (!seedText.empty()) settings.seed = static_cast<uint32_t>(std::stoull(seedText));

  if (app.count("-C") != 0) {
    std::error_code error;
    // An empty name would quietly mean the current folder.
    if (directory.empty()) {
      std::cerr << "genosieve-cli: -C: the folder name is empty\n";
      return kExitUsage;
    }
    if (!std::filesystem::is_directory(directory, error)) {
      std::cerr << "genosieve-cli: -C: '" << directory << "' is not an existing folder\n";
      return kExitUsage;
    }
    settings.workingFolder = directory;
  }

  // Qt, in the figures module, starts before the regional settings are read, as it sets
  // the process locale when it starts; its session lasts until the program ends.
  const genosieve::FiguresModule* figuresModule = nullptr;
  std::unique_ptr<genosieve::FiguresSession, void (*)(genosieve::FiguresSession*)> figureSession(
      nullptr, nullptr);
#ifdef GENOSIEVE_HAVE_FIGURES
  if (figures) {
    const genosieve::OpenedFiguresModule opened = genosieve::OpenFiguresModule();
    if (opened.module == nullptr) {
      std::cerr << "genosieve-cli: --figures: " << opened.error << '\n';
      return kExitRunFailed;
    }
    figuresModule = opened.module;
    figureSession = {figuresModule->start(), figuresModule->end};
  }
#else
  if (figures) {
    std::cerr << "genosieve-cli: --figures: this genosieve-cli was built without Qt, so it "
                 "cannot draw figures\n";
    return kExitUsage;
  }
#endif

  settings.dataPath = dataPath;
  settings.format = *genosieve::FormatFromName(formatName);

  CliView view;
  view.showNotices = !quiet;
  view.showProgress = !quiet && ::isatty(STDERR_FILENO) == 1;
  view.bothAnalyses = settings.perLocusAnalysis && settings.perPopulationAnalysis;
  view.showSeed = !quiet && !settings.seed;
  view.figures = figuresModule;
  view.figureSession = figureSession.get();
  view.resultName = settings.resultName;
  settings.drawFigures = figures;

  const genosieve::DecimalSeparatorChoice separator =
      genosieve::ChooseDecimalSeparator(RegionalDecimalSeparator());
  settings.decimalSeparator = separator.separator;
  if (!separator.notice.empty()) view.ShowNotice(separator.notice);

  HandleStopSignals();
  try {
    if (*writeDataOption) {
      genosieve::ExportNativeDataFile(genosieve::OpenWorkingFolder(settings.workingFolder),
                                      writeData, settings.dataPath, settings.format,
                                      [&view](const std::string& text) { view.ShowNotice(text); });
      view.ShowNotice(
          genosieve::Located({.lead = genosieve::messages::kOutputFileLead, .path = writeData},
                             genosieve::messages::WrittenInNativeLayout()));
      return 0;
    }
    genosieve::Run(settings, view);
  } catch (const genosieve::RunStopped& stop) {
    view.ClearProgress();
    std::cerr << "genosieve-cli: " << stop.what() << '\n';
    return 128 + (stopSignal != 0 ? static_cast<int>(stopSignal) : SIGINT);
  } catch (const genosieve::RunError& error) {
    view.ClearProgress();
    std::cerr << "genosieve-cli: " << error.what() << '\n';
    return kExitRunFailed;
  } catch (const std::bad_alloc&) {
    // The Run names what it was allocating where the large tables are made; this is any
    // other allocation.
    view.ClearProgress();
    std::cerr << "genosieve-cli: " << genosieve::kOutOfMemoryMessage << '\n';
    return kExitRunFailed;
  } catch (const std::exception& error) {
    view.ClearProgress();
    std::cerr << "genosieve-cli: " << error.what() << '\n';
    return kExitRunFailed;
  }
  if (!quiet) {
    for (const std::string& line : genosieve::InterpretationLines(view.finished)) {
      std::cerr << "genosieve-cli: " << line << '\n';
    }
  }
  return 0;
}
