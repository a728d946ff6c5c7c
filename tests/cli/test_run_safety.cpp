// What genosieve-cli does to the working folder when Runs meet each other, when the data
// file or planted files bear the names of outputs, when it is interrupted, and when its
// final message cannot be written: a refusal or a sound result with the right exit
// status, and nothing lost.
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_process.h"
#include "support/test_files.h"

namespace {

using genosieve::testing::CliChild;
using genosieve::testing::Entries;
using genosieve::testing::ExamplePath;
using genosieve::testing::Leftovers;
using genosieve::testing::Outcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunCli;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::StartCli;
using genosieve::testing::WaitCli;
using genosieve::testing::WaitUntil;
using genosieve::testing::WithoutResultsAtAGlance;
using genosieve::testing::WriteBytes;

namespace fs = std::filesystem;

const std::string& kValidData = genosieve::testing::kSmallValidData;
const std::string& kDenied = genosieve::testing::kAccessDenied;

// Every file of a Run on kValidData with every analysis and p-value files on.
const std::vector<std::string> kAllOutputs = {
    "results.txt",
    "Clones_results.txt",
    "Clonemembers_results.txt",
    "Withoutrepeats_results.txt",
    "overall p-values_results.txt",
    "Locus1p-values_results.txt",
    "Locus2p-values_results.txt",
    "Pop1p-values_results.txt",
    "Pop2p-values_results.txt",
    "Summary_results.tsv",
    "Clonality_results.tsv",
    "Psex_results.tsv",
    "tempmicrosat.txt",
    "temp.txt",
};

const std::vector<std::string> kEveryAnalysis = {
    "-q", "-n", "5", "--seed", "9", "--per-locus", "--per-pop", "--pvalue-files"};

std::vector<std::string> With(std::vector<std::string> args, const std::string& dataFile) {
  args.push_back(dataFile);
  return args;
}

// The files of a folder, name and content, with the temporary files and lock files a
// Run must never leave.
std::vector<std::pair<std::string, std::string>> Contents(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& name : Entries(folder)) {
    if (fs::is_regular_file(fs::symlink_status(folder / name))) {
      files.emplace_back(name, ReadBytes(folder / name));
    }
  }
  return files;
}

// Whether the process holds an exclusive flock, as the kernel lists them.
bool HoldsExclusiveLock(pid_t pid) {
  std::istringstream locks(ReadBytes("/proc/locks"));
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, holder;
    fields >> number >> kind >> mode >> access >> holder;
    if (kind == "FLOCK" && access == "WRITE" && holder == std::to_string(pid)) return true;
  }
  return false;
}

TEST(RunSafety, ASecondRunInTheSameFolderIsRefusedAndTheFirstGivesASoloRunsResults) {
  ScopedWorkingFolder folder;
  fs::create_directories("shared");
  const std::string data = ExamplePath("pram.txt").string();
  std::vector<std::string> first = {
      "-q", "-n", "5000", "--seed", "5", "--per-locus", "--pvalue-files", "-C", "shared", data};
  // Caught while it holds the folder, and stopped there, so that the second Run surely
  // meets it; a Run too quick to be caught is started again with more iterations.
  CliChild running;
  for (int attempt = 0; attempt < 4 && running.pid < 0; ++attempt) {
    if (attempt > 0) first[2] += "0";
    const CliChild started = StartCli(first);
    if (WaitUntil(started, [&started] { return HoldsExclusiveLock(started.pid); }) &&
        ::kill(started.pid, SIGSTOP) == 0) {
      running = started;
    } else {
      WaitCli(started);
    }
  }
  ASSERT_GT(running.pid, 0) << "the first Run ended each time before it could be caught";

  const Outcome second = RunCli({"-q", "-n", "10", "-o", "other.txt", "-C", "shared", data});
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.err, "genosieve-cli: Working folder \"" + (folder.path() / "shared").string() +
                            "\": another Run is working in this folder; wait until it ends, or "
                            "choose another folder\n");
  EXPECT_EQ(second.out, "");
  // A Run in another folder is not held up.
  fs::create_directories("elsewhere");
  const Outcome elsewhere = RunCli({"-q", "-n", "10", "-C", "elsewhere", data});
  EXPECT_EQ(elsewhere.exitCode, 0) << elsewhere.err;

  ::kill(running.pid, SIGCONT);
  const Outcome firstOutcome = WaitCli(running);
  EXPECT_EQ(firstOutcome.exitCode, 0) << firstOutcome.err;
  EXPECT_EQ(firstOutcome.out, "done ! \n");
  EXPECT_FALSE(fs::exists("shared/other.txt"));

  fs::create_directories("solo");
  std::vector<std::string> alone = first;
  alone[alone.size() - 2] = "solo";
  const Outcome soloOutcome = RunCli(alone);
  ASSERT_EQ(soloOutcome.exitCode, 0) << soloOutcome.err;
  EXPECT_EQ(Contents("shared"), Contents("solo"));
  EXPECT_EQ(Leftovers(folder.path()), std::vector<std::string>{});
}

TEST(RunSafety, ADataFileNamedLikeAnOutputIsRefusedAndKept) {
  for (const std::string& name :
       {std::string("temp.txt"), std::string("tempmicrosat.txt"), std::string("results.txt"),
        std::string("Clones_results.txt"), std::string("Withoutrepeats_results.txt"),
        std::string("Locus2p-values_results.txt")}) {
    SCOPED_TRACE(name);
    ScopedWorkingFolder folder;
    WriteBytes(name, kValidData);
    const Outcome outcome = RunCli(With(kEveryAnalysis, name));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_TRUE(
        outcome.err.starts_with("genosieve-cli: Data file \"" + name + "\": it is also the "))
        << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(ReadBytes(name), kValidData);
    EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{name});
  }
  // The same file under another name is the same file.
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  fs::create_hard_link("data.txt", "results.txt");
  const Outcome linked = RunCli(With(kEveryAnalysis, "data.txt"));
  EXPECT_EQ(linked.exitCode, 1);
  EXPECT_EQ(ReadBytes("data.txt"), kValidData);
}

TEST(RunSafety, AResultNameThatIsAnIntermediateFileIsRefused) {
  for (const std::string& name : {std::string("temp.txt"), std::string("tempmicrosat.txt")}) {
    SCOPED_TRACE(name);
    ScopedWorkingFolder folder;
    WriteBytes("data.txt", kValidData);
    std::vector<std::string> args = kEveryAnalysis;
    args.insert(args.end(), {"-o", name, "data.txt"});
    const Outcome outcome = RunCli(args);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, "genosieve-cli: Result name \"" + name + "\": the results file \"" +
                               name + "\" and the intermediate genotype file \"" + name +
                               "\" would be one and the same file; choose another result name\n");
    EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"data.txt"});
  }
}

TEST(RunSafety, PlantedLinksAreReplacedAndTheirTargetsKept) {
  for (const std::string& output : kAllOutputs) {
    for (const bool symbolic : {true, false}) {
      SCOPED_TRACE(output + (symbolic ? " as a symbolic link" : " as a hard link"));
      ScopedWorkingFolder folder;
      fs::create_directories("victim");
      fs::create_directories("run");
      WriteBytes("victim/file.txt", "another user's file");
      WriteBytes("data.txt", kValidData);
      if (symbolic) {
        fs::create_symlink("../victim/file.txt", "run/" + output);
      } else {
        fs::create_hard_link("victim/file.txt", "run/" + output);
      }
      std::vector<std::string> args = kEveryAnalysis;
      args.insert(args.end(), {"-C", "run", "data.txt"});
      const Outcome outcome = RunCli(args);
      EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
      EXPECT_EQ(ReadBytes("victim/file.txt"), "another user's file");
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status("run/" + output)));
      EXPECT_EQ(fs::hard_link_count("run/" + output), 1u);
      EXPECT_EQ(Entries("run"), [] {
        std::vector<std::string> sorted = kAllOutputs;
        std::sort(sorted.begin(), sorted.end());
        return sorted;
      }());
    }
  }
}

TEST(RunSafety, APipeUnderAnyOutputNameIsRefusedAtOnce) {
  for (const std::string& output : kAllOutputs) {
    SCOPED_TRACE(output);
    ScopedWorkingFolder folder;
    WriteBytes("data.txt", kValidData);
    ASSERT_EQ(::mkfifo(output.c_str(), 0600), 0);
    const std::vector<std::string> before = Entries(folder.path());
    // A hang would end with the child's alarm, and show as a killed child.
    const Outcome outcome = RunCli(With(kEveryAnalysis, "data.txt"));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, "genosieve-cli: Output file \"" + (folder.path() / output).string() +
                               "\": its name is taken by a named pipe: " + kDenied + "\n");
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(Entries(folder.path()), before);
    EXPECT_TRUE(fs::is_fifo(output));
  }
}

// The structure of a results file that a stop cut after k of its per-locus sections:
// the overall section, then k whole locus sections, then the line "Run interrupted".
::testing::AssertionResult IsCutAfterWholeSections(const std::string& text, int loci) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) return ::testing::AssertionFailure() << "no CR LF at the end";
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  if (lines.size() < 6 || lines[0] != "Overall Loci, Overall Populations" ||
      lines.back() != "Run interrupted") {
    return ::testing::AssertionFailure() << text;
  }
  const size_t sectionLines = lines.size() - 6;  // after the overall section, before the end
  int sections = 0;
  if (sectionLines > 0) {
    if (sectionLines < 7 || (sectionLines - 7) % 6 != 0 || lines[6] != "Per Locus Analyses") {
      return ::testing::AssertionFailure() << text;
    }
    sections = 1 + static_cast<int>((sectionLines - 7) / 6);
    for (int k = 1; k <= sections; ++k) {
      const size_t heading = 7 + 6 * static_cast<size_t>(k - 1);
      if (lines[heading] != "locus: " + std::to_string(k) || lines[heading + 1] != "Fis" ||
          !lines[heading + 4].ends_with("\tp-value")) {
        return ::testing::AssertionFailure() << text;
      }
    }
  }
  if (sections > loci) return ::testing::AssertionFailure() << "more sections than loci";
  return ::testing::AssertionSuccess();
}

// Starts a Run on pram.txt with `args` in the current folder and sends it `signal` once
// `ready` holds; a Run too quick to be caught (one that ends before the signal reaches it)
// is started again with more iterations. Whether it was caught, and its outcome.
template <typename Ready>
bool Interrupt(std::vector<std::string> args, int signal, Ready ready, Outcome& outcome) {
  args.insert(args.end(), {"-q", "-n", "20000", ExamplePath("pram.txt").string()});
  for (int attempt = 0; attempt < 4; ++attempt) {
    WriteBytes("results.txt", "the previous Run's results\r\n");
    const CliChild running = StartCli(args);
    const bool caught = WaitUntil(running, ready) && ::kill(running.pid, signal) == 0;
    outcome = WaitCli(running);
    if (caught && outcome.exitCode != 0) return true;
    args[args.size() - 2] += "0";
  }
  return false;
}

TEST(RunSafety, AnInterruptKeepsThisRunsFinishedSectionsAndSaysSo) {
  ScopedWorkingFolder folder;
  Outcome outcome;
  // Once the overall section is in place, the per-locus tests are running.
  ASSERT_TRUE(Interrupt(
      {"--per-locus"}, SIGINT,
      [] { return ReadBytes("results.txt").starts_with("Overall Loci, Overall Populations"); },
      outcome))
      << "the Run ended each time before it could be interrupted";
  EXPECT_EQ(outcome.exitCode, 130);
  EXPECT_EQ(outcome.err, "genosieve-cli: Run interrupted\n");
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(IsCutAfterWholeSections(ReadBytes("results.txt"), 5));
  EXPECT_EQ(Leftovers(folder.path()), std::vector<std::string>{});
}

TEST(RunSafety, AnInterruptBeforeTheResultsKeepsThePreviousResultsFile) {
  ScopedWorkingFolder folder;
  Outcome outcome;
  // Once the clone files are written, the overall test is running.
  ASSERT_TRUE(Interrupt(
      {}, SIGTERM, [] { return fs::exists("Withoutrepeats_results.txt"); }, outcome))
      << "the Run ended each time before it could be interrupted";
  EXPECT_EQ(outcome.exitCode, 143);
  EXPECT_EQ(outcome.err, "genosieve-cli: Run interrupted\n");
  EXPECT_EQ(ReadBytes("results.txt"), "the previous Run's results\r\n");
  EXPECT_EQ(Leftovers(folder.path()), std::vector<std::string>{});
}

TEST(RunSafety, AMultibyteDecimalSeparatorGivesAPointAndOneNotice) {
  const locale_t pashto = ::newlocale(LC_ALL_MASK, "ps_AF.UTF-8", static_cast<locale_t>(0));
  if (pashto == static_cast<locale_t>(0)) {
    GTEST_SKIP() << "the locale ps_AF.UTF-8 is missing (scripts/install-deps test makes it)";
  }
  ::freelocale(pashto);
  ScopedWorkingFolder folder;
  fs::create_directories("pashto");
  fs::create_directories("plain");
  WriteBytes("data.txt", kValidData);
  const auto runUnder = [](const char* locale, const char* workingFolder) {
    const std::optional<std::string> saved =
        std::getenv("LC_ALL") ? std::optional<std::string>(std::getenv("LC_ALL")) : std::nullopt;
    ::setenv("LC_ALL", locale, 1);
    // Without -q, which may silence notices; stderr is no terminal, so no progress shows.
    std::vector<std::string> args(kEveryAnalysis.begin() + 1, kEveryAnalysis.end());
    args.insert(args.end(), {"-C", workingFolder, "data.txt"});
    const Outcome outcome = RunCli(args);
    if (saved) {
      ::setenv("LC_ALL", saved->c_str(), 1);
    } else {
      ::unsetenv("LC_ALL");
    }
    return outcome;
  };
  const Outcome pashtoRun = runUnder("ps_AF.UTF-8", "pashto");
  EXPECT_EQ(pashtoRun.exitCode, 0) << pashtoRun.err;
  EXPECT_EQ(WithoutResultsAtAGlance(pashtoRun.err),
            "genosieve-cli: the regional decimal separator \"\xD9\xAB\" is not a single "
            "character; numbers are written with \".\" instead\n");
  const Outcome plainRun = runUnder("C", "plain");
  EXPECT_EQ(plainRun.exitCode, 0) << plainRun.err;
  EXPECT_EQ(WithoutResultsAtAGlance(plainRun.err), "");
  EXPECT_EQ(Contents("pashto"), Contents("plain"));
  EXPECT_NE(ReadBytes("pashto/results.txt").find("\tp-value"), std::string::npos);
}

TEST(RunSafety, DoneThatCannotBeWrittenIsAFailure) {
  if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  const Outcome outcome = WaitCli(StartCli({"-q", "-n", "3", "data.txt"}, {false, "/dev/full"}));
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.err,
            "genosieve-cli: cannot write \"done ! \" to the standard output: Disque plein\n");
}

}  // namespace
