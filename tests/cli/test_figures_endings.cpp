// The figures of Runs that do not end with "done ! ": a failed or interrupted Run draws
// those of the tests it finished, an interrupt while the figures are drawn ends the Run
// at once with only whole figure files, and names are drawn as they are written.

#ifdef GENOSIEVE_CLI_HAS_FIGURES

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_process.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using genosieve::testing::CliChild;
using genosieve::testing::ExamplePath;
using genosieve::testing::Outcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunCli;
using genosieve::testing::Running;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::StartCli;
using genosieve::testing::WaitCli;
using genosieve::testing::WriteBytes;

// Every figure file a Run with both analyses may write, in the order they are drawn.
const std::vector<std::string> kFigureOrder = {
    "Fis_distribution_results.svg", "Fis_distribution_results.png", "Running_pvalue_results.svg",
    "Running_pvalue_results.png",   "Locus_fis_results.svg",        "Locus_fis_results.png",
    "Population_fis_results.svg",   "Population_fis_results.png"};

// The figure files in the working folder, in the order they are drawn.
std::vector<std::string> Figures() {
  std::vector<std::string> present;
  for (const std::string& name : kFigureOrder) {
    if (fs::exists(name)) present.push_back(name);
  }
  return present;
}

// Whether a figure file is whole: an SVG document closed, a PNG image with its end chunk.
::testing::AssertionResult Whole(const std::string& name) {
  const std::string bytes = ReadBytes(name);
  const bool whole = name.ends_with(".svg")
                         ? bytes.starts_with("<?xml") && bytes.ends_with("</svg>\n")
                         : bytes.starts_with("\x89PNG") && bytes.ends_with("IEND\xAE\x42\x60\x82");
  if (whole) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name << " is not whole (" << bytes.size() << " bytes)";
}

// A label, as the SVG file holds its text: markup characters escaped.
bool DrawsLabel(const std::string& svg, const std::string& escapedText) {
  return ReadBytes(svg).find(">" + escapedText + "</text>") != std::string::npos;
}

// This program's temporary files left in the folder.
std::vector<std::string> Leftovers() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".genosieve")) names.push_back(name);
  }
  return names;
}

// Waits until `ready` holds while the child runs (at most 60 seconds): whether it did.
template <typename Ready>
bool WaitFor(const CliChild& child, Ready ready) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < limit && Running(child)) {
    if (ready()) return Running(child);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

size_t Lines(const std::string& text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

TEST(FigureEndings, AFailedRunDrawsItsFinishedTestsAndSaysWhyItFailed) {
  ScopedWorkingFolder folder;
  // The third population carries one genotype only: its test fails, after the overall
  // test, both loci and two populations. The first locus's name is markup.
  WriteBytes("data.txt",
             "3 2 300 3\r\nL<2>&\"x\"\r\nLB\r\n"
             "1\t100102\t200202\r\n1\t102102\t200200\r\n1\t100100\t202202\r\n1\t100102\t200202\r\n"
             "2\t100102\t200204\r\n2\t102104\t204200\r\n2\t100100\t202202\r\n2\t104104\t200202\r\n"
             "3\t100100\t200200\r\n3\t100100\t200200\r\n3\t100100\t200200\r\n");
  const Outcome outcome = RunCli(
      {"-q", "-n", "20", "--seed", "1", "--per-locus", "--per-pop", "--figures", "data.txt"});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(
      outcome.err.starts_with("genosieve-cli: Op\xC3\xA9ration en virgule flottante incorrecte\n"))
      << outcome.err;
  EXPECT_EQ(Figures(), kFigureOrder);
  for (const std::string& name : Figures()) EXPECT_TRUE(Whole(name));
  // Drawn as written, not read as markup.
  EXPECT_TRUE(DrawsLabel("Locus_fis_results.svg", "L&lt;2&gt;&amp;&quot;x&quot;"));
  EXPECT_TRUE(DrawsLabel("Locus_fis_results.svg", "LB"));
  EXPECT_TRUE(DrawsLabel("Population_fis_results.svg", "pop2"));
  EXPECT_FALSE(DrawsLabel("Population_fis_results.svg", "pop3"));
  EXPECT_TRUE(Leftovers().empty());
}

TEST(FigureEndings, AnInterruptedRunDrawsItsFinishedTests) {
  ScopedWorkingFolder folder;
  const std::vector<std::string> loci = {"PrMS6A1", "Pr9C3A1", "PrMS39A1", "PrMS45A1", "PrMS43A1"};
  std::string iterations = "20000";
  Outcome outcome;
  bool caught = false;
  // Once the overall section is in place, the locus tests are being reported; a Run too
  // quick to be caught among them (one that has reported them all when the signal reaches
  // it) is started again with more iterations.
  size_t finished = 0;
  for (int attempt = 0; attempt < 4 && !caught; ++attempt, iterations += "0") {
    for (const std::string& name : Figures()) fs::remove(name);
    fs::remove("results.txt");
    const CliChild running = StartCli(
        {"-q", "-n", iterations, "--per-locus", "--figures", ExamplePath("pram.txt").string()});
    caught =
        WaitFor(running,
                [] {
                  return ReadBytes("results.txt").starts_with("Overall Loci, Overall Populations");
                }) &&
        ::kill(running.pid, SIGINT) == 0;
    outcome = WaitCli(running);
    const std::string results = ReadBytes("results.txt");
    finished = 0;
    while (results.find("locus: " + std::to_string(finished + 1)) != std::string::npos) ++finished;
    if (finished == loci.size()) caught = false;
  }
  ASSERT_TRUE(caught) << "the Run ended each time before it could be interrupted";
  EXPECT_EQ(outcome.exitCode, 130);
  EXPECT_EQ(outcome.err, "genosieve-cli: Run interrupted\n");
  const std::string results = ReadBytes("results.txt");
  ASSERT_TRUE(results.ends_with("Run interrupted\r\n"));

  std::vector<std::string> expected(kFigureOrder.begin(), kFigureOrder.begin() + 4);
  if (finished > 0)
    expected.insert(expected.end(), kFigureOrder.begin() + 4, kFigureOrder.end() - 2);
  EXPECT_EQ(Figures(), expected) << finished << " loci finished";
  for (const std::string& name : Figures()) EXPECT_TRUE(Whole(name));
  for (size_t k = 0; k < loci.size() && finished > 0; ++k) {
    EXPECT_EQ(DrawsLabel("Locus_fis_results.svg", loci[k]), k < finished) << loci[k];
  }
  EXPECT_TRUE(Leftovers().empty());
}

TEST(FigureEndings, AnInterruptWhileTheFiguresAreDrawnLeavesOnlyWholeFigures) {
  ScopedWorkingFolder folder;
  // 3000 populations of four: their tests end quickly, and the Run goes on to draw.
  constexpr int kPopulations = 3000;
  std::string data = std::to_string(kPopulations) + " 2 200 3\r\nLocA\r\nLocB\r\n";
  for (int p = 1; p <= kPopulations; ++p) {
    for (int i = 0; i < 4; ++i) {
      const auto allele = [](int j) { return std::to_string(100 + 2 * (j % 4)); };
      data += std::to_string(p) + '\t' + allele(p + i) + allele(3 * p + 2 * i + 1) + '\t' +
              allele(5 * p + 3 * i) + allele(p + i * i + 2) + "\r\n";
    }
  }
  WriteBytes("data.txt", data);
  // The summary table holds every test once they have all finished, just before the
  // figures are drawn. An interrupt that comes only after they are written is too late:
  // the Run is started again.
  const size_t allTests = 1 + 1 + kPopulations;  // the header, the overall test, populations
  bool caught = false;
  for (int attempt = 0; attempt < 4 && !caught; ++attempt) {
    for (const std::string& name : Figures()) fs::remove(name);
    const CliChild running =
        StartCli({"-q", "-n", "5", "--seed", "2", "--per-pop", "--figures", "data.txt"});
    const bool sent =
        WaitFor(running, [&] { return Lines(ReadBytes("Summary_results.tsv")) == allTests; }) &&
        ::kill(running.pid, SIGTERM) == 0;
    const Outcome outcome = WaitCli(running);
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    ASSERT_TRUE(sent) << outcome.err;
    caught = outcome.exitCode == 143;
    if (!caught) {
      EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
      continue;
    }
    EXPECT_EQ(outcome.err, "genosieve-cli: Run interrupted\n");
    EXPECT_EQ(outcome.out, "");
    // Every test is in the results file, which says that the Run was interrupted.
    const std::string results = ReadBytes("results.txt");
    EXPECT_NE(results.find("Population: " + std::to_string(kPopulations)), std::string::npos);
    EXPECT_TRUE(results.ends_with("Run interrupted\r\n"));
    // The figures drawn before the interrupt, each whole, and none after.
    const std::vector<std::string> drawn = Figures();
    const std::vector<std::string> order = {kFigureOrder[0], kFigureOrder[1], kFigureOrder[2],
                                            kFigureOrder[3], kFigureOrder[6], kFigureOrder[7]};
    EXPECT_EQ(drawn, std::vector<std::string>(order.begin(), order.begin() + drawn.size()));
    for (const std::string& name : drawn) EXPECT_TRUE(Whole(name));
    EXPECT_TRUE(Leftovers().empty());
  }
  EXPECT_TRUE(caught) << "the figures were drawn each time before the interrupt came";
}

}  // namespace

#endif  // GENOSIEVE_CLI_HAS_FIGURES
