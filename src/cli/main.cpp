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

// The signal (SIGINT, SIGTERM or SIGHUP) that asked the Run to stop, 0 while none has.
// The handler only sets it; the Run polls it through the view and stops at the start of
// its next iteration (or its next block of a file it reads or writes), removing its
// temporary files.
volatile std::sig_atomic_t stopSignal = 0;

void RequestStop(int signal) { stopSignal = signal; }

// The first SIGINT, SIGTERM or SIGHUP (the terminal closed) asks the Run to stop; the
// handler then gives way to the default action, so that a second one ends the program at
// once.
void HandleStopSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

// The lines of a message, each after "genosieve-cli: " (a message may give its reason on
// a line of its own).
void PrintError(const std::string& message) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = message.find('\n', start);
    std::cerr << "genosieve-cli: " << message.substr(start, end - start) << '\n';
    if (end == std::string::npos) break;
    start = end + 1;
  }
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
    // A final message that does not reach its reader is no success: the Run fails (also
    // when the reader has gone: SIGPIPE is ignored, so the write fails with EPIPE).
    if (!std::cout) {
      const int err = errno;
      std::cout.clear();
      throw genosieve::RunError(genosieve::StandardOutputFailure("\"" + text + "\"", err));
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

  void ClonalityFound(const genosieve::ClonalityResults& results) override {
    clonality = results;
    if (figureSession != nullptr) figures->addClonality(*figureSession, results);
  }

  std::vector<genosieve::ViewFile> FilesToWrite(
      const std::function<bool()>& stopRequested) override {
    if (figureSession == nullptr) return {};
    return figures->files(*figureSession, resultName, stopRequested);
  }

  std::vector<genosieve::TestOutcome> finished;
  genosieve::ClonalityResults clonality;
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

// Every integer option (-n, --seed, --threads) is read by one rule: decimal digits, after
// an optional sign, with any blanks (spaces, TABs) around them ignored, so that " 5" and
// "5 " both mean 5. The validators below put the number without its blanks in place of
// the text given.
std::string WithoutBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of a text of decimal digits after an optional sign, when it is one.
std::optional<int64_t> WholeNumber(const std::string& text) {
  const std::size_t digits = text.starts_with('+') || text.starts_with('-') ? 1 : 0;
  if (text.size() == digits || text.size() > digits + 18 ||
      text.find_first_not_of("0123456789", digits) != std::string::npos) {
    return std::nullopt;
  }
  const int64_t magnitude = std::stoll(text.substr(digits));
  return text.starts_with('-') ? -magnitude : magnitude;
}

// An integer option from `low` to `high`, `what` naming it in the refusal.
CLI::Validator IntegerOption(int64_t low, int64_t high, const std::string& what) {
  return CLI::Validator(
      [low, high, what](std::string& text) -> std::string {
        const std::string given = genosieve::EscapeControls(text);
        text = WithoutBlanks(text);
        const std::optional<int64_t> value = WholeNumber(text);
        if (!value || *value < low || *value > high) {
          return genosieve::FillMessage("{} must be an integer from {} to {}, not '{}'", what, low,
                                        high, given);
        }
        return "";
      },
      std::to_string(low) + ".." + std::to_string(high));
}

// The number of iterations: the Run's own conversion, so that the window and the command
// line refuse the same texts with the same messages.
CLI::Validator IterationsOption() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        text = WithoutBlanks(text);
        try {
          genosieve::ConvertIterations(text);
        } catch (const genosieve::RunError&) {
          // The same message about the text as shown: a text with control characters is
          // no integer either way.
          try {
            genosieve::ConvertIterations(genosieve::EscapeControls(text));
          } catch (const genosieve::RunError& error) {
            return error.what();
          }
        }
        return "";
      },
      "0..2147483647");
}

// A name that must not be empty, where an empty one would quietly mean something else.
CLI::Validator NonEmptyName(const std::string& what) {
  return CLI::Validator(
      [what](const std::string& text) -> std::string {
        return text.empty() ? "the " + what + " is empty" : "";
      },
      "");
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (genosieve-cli ... | head) makes writes to it fail with EPIPE,
  // which the program reports, instead of ending it silently.
  std::signal(SIGPIPE, SIG_IGN);
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
                 "Number of iterations of each randomization test (blanks around a number are "
                 "ignored, in every integer option)")
      ->capture_default_str()
      ->type_name("N")
      ->transform(IterationsOption());
  app.add_option("-o,--result", settings.resultName,
                 "Result name: the results file, and the suffix of the other files' names")
      ->capture_default_str()
      ->type_name("NAME")
      ->check(NonEmptyName("result name"));
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
      ->transform(IntegerOption(0, 4294967295, "the seed"));
  app.add_option("--threads", settings.threads,
                 "Threads that work out the randomized values (0: one per core); the files are "
                 "the same whatever the number")
      ->capture_default_str()
      ->type_name("N")
      ->transform(IntegerOption(0, 4096, "the number of threads"));
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
                     "Write DATAFILE as read to OUT in the native layout and stop without a Run "
                     "(\"-\": to the standard output)")
          ->type_name("OUT")
          ->check(NonEmptyName("output name"));
  app.add_flag("-q,--quiet", quiet, "No progress display, no notices");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version, on stdout.
    if (error.get_exit_code() == 0) return app.exit(error);
    PrintError(error.what());
    std::cerr << "Run with --help for more information.\n";
    return kExitUsage;
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
      std::cerr << "genosieve-cli: -C: '" << genosieve::EscapeControls(directory)
                << "' is not an existing folder\n";
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
      genosieve::ExportNativeDataFile(
          genosieve::OpenWorkingFolder(settings.workingFolder), writeData, settings.dataPath,
          settings.format, [&view](const std::string& text) { view.ShowNotice(text); },
          [] { return stopSignal != 0; });
      view.ShowNotice(writeData == genosieve::kStandardOutputName
                          ? genosieve::messages::WrittenToStandardOutput()
                          : genosieve::Located(
                                {.lead = genosieve::messages::kOutputFileLead, .path = writeData},
                                genosieve::messages::WrittenInNativeLayout()));
      return 0;
    }
    genosieve::Run(settings, view);
  } catch (const genosieve::RunStopped& stop) {
    view.ClearProgress();
    PrintError(stop.what());
    return 128 + (stopSignal != 0 ? static_cast<int>(stopSignal) : SIGINT);
  } catch (const genosieve::RunError& error) {
    view.ClearProgress();
    PrintError(genosieve::MessageNamingFile(error));
    return kExitRunFailed;
  } catch (const std::bad_alloc&) {
    // The Run names what it was allocating where the large tables are made; this is any
    // other allocation.
    view.ClearProgress();
    PrintError(genosieve::kOutOfMemoryMessage);
    return kExitRunFailed;
  } catch (const std::exception& error) {
    view.ClearProgress();
    PrintError(error.what());
    return kExitRunFailed;
  }
  if (!quiet) {
    for (const std::string& line : genosieve::InterpretationLines(view.finished)) {
      std::cerr << "genosieve-cli: " << line << '\n';
    }
    for (const std::string& line : genosieve::ClonalityLines(view.clonality)) {
      std::cerr << "genosieve-cli: " << line << '\n';
    }
  }
  return 0;
}
