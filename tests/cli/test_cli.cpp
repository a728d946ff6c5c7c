#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "support/test_files.h"

extern char** environ;

namespace {

using genosieve::testing::ReadBytes;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::WriteBytes;

using genosieve::testing::Entries;
using genosieve::testing::Outcome;
using genosieve::testing::PseudoTerminalAvailable;
using genosieve::testing::RunCli;

const std::string kValidData =
    "2 2 140 3\r\nLocA\r\nLocB\r\n"
    "1\t120124\t130132\t\r\n1\t120124\t130132\t\r\n1\t124124\t132132\t\r\n"
    "2\t120120\t130130\t\r\n2\t124120\t132132\t\r\n2\t120124\t132130\t\r\n";

TEST(Cli, HelpAndVersion) {
  const Outcome help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option :
       {"DATAFILE", "-n,--iterations", "-o,--result", "--pvalue-files", "--per-locus", "--per-pop",
        "--seed", "--threads", "-C,--directory", "-q,--quiet", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option << "\n" << help.out;
  }
  const Outcome version = RunCli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("genosieve-cli ", 0), 0u) << version.out;
  EXPECT_EQ(version.out.find_first_not_of("0123456789.\n", 14), std::string::npos) << version.out;
}

TEST(Cli, UsageErrorsExitWithTwoAndWriteNothing) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{}, "DATAFILE is required"},
      {{"--seed", "-1", "data.txt"}, "--seed"},
      {{"--seed", "4294967296", "data.txt"}, "--seed"},
      {{"--seed", "12x", "data.txt"}, "--seed"},
      {{"--seed", "", "data.txt"}, "--seed"},
      {{"--unknown", "data.txt"}, "--unknown"},
      {{"data.txt", "other.txt"}, "other.txt"},
      {{"-C", "no such folder", "data.txt"}, "genosieve-cli: -C: 'no such folder'"},
      {{"-C", "data.txt", "data.txt"}, "genosieve-cli: -C: 'data.txt' is not an existing folder"},
      // Every option is checked before the data file is read, whatever the file.
      {{"-n", "abc", "missing.txt"},
       "genosieve-cli: --iterations: 'abc' n'est pas une valeur enti\xC3\xA8re correcte\n"},
      {{"--iterations", "-5", "--per-locus", "--pvalue-files", "data.txt"},
       "genosieve-cli: --iterations: The number of iterations must be 0 or more, not -5.\n"},
      {{"-n", "2147483648", "data.txt"}, "'2147483648' n'est pas une valeur"},
      {{"-n", "", "data.txt"}, "'' n'est pas une valeur"},
      {{"-n", "5 5", "data.txt"}, "'5 5' n'est pas une valeur"},
      {{"--threads", "4097", "data.txt"}, "--threads: the number of threads must be an integer"},
      {{"--threads", "two", "data.txt"}, "not 'two'"},
      {{"--seed", "1\t2", "data.txt"}, "not '1\\t2'"},
      {{"-o", "", "data.txt"}, "genosieve-cli: --result: the result name is empty\n"},
      {{"--write-data", "", "data.txt"}, "genosieve-cli: --write-data: the output name is empty\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Outcome outcome = RunCli(c.args);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.err.find(c.expected), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"data.txt"});
  }
}

TEST(Cli, RunFailuresExitWithOne) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  WriteBytes("bad.txt", "2 2 140 3\r\nLocA\r\nLocB\r\n1\t120124\t130132\t\r\n2\t1201\r\n");
  struct Case {
    std::vector<std::string> args;
    std::string expectedErr;
  };
  const std::vector<Case> cases = {
      // The file, with its full path, what was being done, then the system's message.
      {{"missing.txt"},
       "genosieve-cli: Data file \"" + folder.path().string() +
           "/missing.txt\": cannot open it for reading: Fichier introuvable\n"},
      {{""}, "genosieve-cli: No data file given: Fichier introuvable\n"},
      {{"."},
       "genosieve-cli: Data file \"" + folder.path().string() +
           "\": it is a folder, not a regular file: Acc\xC3\xA8s au fichier refus\xC3\xA9\n"},
      {{"-q", "bad.txt"},
       "genosieve-cli: Data file \"bad.txt\", line 5, locus 1, second allele: the line ends inside "
       "the genotype (each genotype has 2 x D = 6 characters)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Outcome outcome = RunCli(c.args);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, c.expectedErr);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(Entries(folder.path()), (std::vector<std::string>{"bad.txt", "data.txt"}));
  }
}

// The files of a folder, name and bytes.
std::vector<std::pair<std::string, std::string>> FolderBytes(const std::filesystem::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& name : Entries(folder))
    files.emplace_back(name, ReadBytes(folder / name));
  return files;
}

TEST(Cli, ClockSeedIsPrintedAndRepeatsTheRunWithAnyThreads) {
  ScopedWorkingFolder folder;
  for (const char* sub : {"clock", "again", "one"}) std::filesystem::create_directories(sub);
  WriteBytes("data.txt", kValidData);
  const std::vector<std::string> common = {"-n", "40", "--per-locus", "--per-pop",
                                           "--pvalue-files"};
  std::vector<std::string> args = {"-C", "clock"};
  args.insert(args.end(), common.begin(), common.end());
  args.push_back("data.txt");
  const Outcome clock = RunCli(args);
  ASSERT_EQ(clock.exitCode, 0) << clock.err;
  const std::string prefix = "genosieve-cli: seed: ";
  ASSERT_EQ(clock.err.rfind(prefix, 0), 0u) << clock.err;
  const std::string seed =
      clock.err.substr(prefix.size(), clock.err.find(' ', prefix.size()) - prefix.size());
  EXPECT_EQ(genosieve::testing::WithoutResultsAtAGlance(clock.err),
            prefix + seed + " (--seed " + seed + " repeats this Run)\n");

  for (const auto& [sub, threads] :
       {std::pair<const char*, const char*>{"again", "2"}, {"one", "1"}}) {
    std::vector<std::string> repeat = {"-q", "-C", sub, "--seed", seed, "--threads", threads};
    repeat.insert(repeat.end(), common.begin(), common.end());
    repeat.push_back("data.txt");
    const Outcome outcome = RunCli(repeat);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(FolderBytes(folder.path() / sub), FolderBytes(folder.path() / "clock")) << sub;
  }
  // Quiet Runs print nothing, and a bad thread count is a usage error.
  EXPECT_EQ(RunCli({"-q", "-n", "2", "-C", "one", "data.txt"}).err, "");
  EXPECT_EQ(RunCli({"--threads", "-1", "data.txt"}).exitCode, 2);
}

// One rule for every integer option: blanks around the number are ignored, on either
// side, and the Run is the one the number alone gives.
TEST(Cli, BlanksAroundAnIntegerOptionAreIgnoredOnEitherSide) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  const std::vector<std::vector<std::string>> spellings = {
      {"-n", "5", "--seed", "3", "--threads", "2"},
      {"-n", " 5", "--seed", " 3", "--threads", " 2"},
      {"-n", "5 ", "--seed", "3 ", "--threads", "2 "},
      {"-n", "\t5 ", "--seed", " 3\t", "--threads", " 2 "},
  };
  for (size_t k = 0; k < spellings.size(); ++k) {
    SCOPED_TRACE(testing::PrintToString(spellings[k]));
    const std::string sub = "run" + std::to_string(k);
    std::filesystem::create_directories(sub);
    std::vector<std::string> args = {"-q", "--per-locus", "-C", sub};
    args.insert(args.end(), spellings[k].begin(), spellings[k].end());
    args.push_back("data.txt");
    const Outcome outcome = RunCli(args);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(FolderBytes(folder.path() / sub), FolderBytes(folder.path() / "run0"));
  }
  EXPECT_NE(ReadBytes("run1/Summary_results.tsv").find("\t5\t3\r\n"), std::string::npos);
}

TEST(Cli, DirectoryOptionTakesEveryFileAndResolvesTheDataFileFirst) {
  ScopedWorkingFolder folder;
  std::filesystem::create_directories("in");
  std::filesystem::create_directories("out");
  WriteBytes("in/data.txt", kValidData);
  const Outcome outcome =
      RunCli({"-C", "out", "-n", "2", "--seed", "4294967295", "-o", "res.txt", "in/data.txt"});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "done ! \n");
  // No progress display when stderr is not a terminal: only the results at a glance.
  EXPECT_EQ(outcome.err.find('\r'), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.err.rfind("genosieve-cli: overall: observed Fis ", 0), 0u) << outcome.err;
  EXPECT_EQ(Entries(folder.path()), (std::vector<std::string>{"in", "out"}));
  EXPECT_EQ(Entries(folder.path() / "in"), std::vector<std::string>{"data.txt"});

  // The same file given relative to the working folder, without -C.
  const Outcome here = RunCli({"--iterations=0", "-q", "in/data.txt"});
  EXPECT_EQ(here.exitCode, 0) << here.err;
  EXPECT_EQ(here.out, "done ! \n");
}

// Runs genosieve-cli with stderr on a terminal and returns what it drew there.
std::string TerminalOutput(const std::vector<std::string>& args, int& exitCode) {
  int master = -1;
  int slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return "";
  }
  const int devNull = ::open("/dev/null", O_WRONLY);
  std::vector<std::string> argvText = genosieve::testing::CommandFor(GENOSIEVE_CLI_PATH);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, master);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(slave);
  ::close(devNull);
  std::string drawn;
  if (spawned == 0) {
    // Read until the child closes its end of the terminal (read then fails with EIO).
    char buffer[4096];
    for (;;) {
      pollfd ready{master, POLLIN, 0};
      if (::poll(&ready, 1, 30000) <= 0) break;
      const ssize_t count = ::read(master, buffer, sizeof buffer);
      if (count <= 0) break;
      drawn.append(buffer, static_cast<size_t>(count));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  } else {
    ADD_FAILURE() << "cannot start " << GENOSIEVE_CLI_PATH;
  }
  ::close(master);
  return drawn;
}

TEST(Cli, ProgressIsDrawnOnATerminalUnlessQuiet) {
  if (!PseudoTerminalAvailable()) GTEST_SKIP() << "no pseudo-terminal can be opened here";
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  int exitCode = -1;
  const std::string drawn =
      TerminalOutput({"-n", "20", "--seed", "7", "--per-locus", "--per-pop", "data.txt"}, exitCode);
  EXPECT_EQ(exitCode, 0);
  for (const char* part : {"overall test", "locus 1 of 2", "locus 2 of 2", "population 1",
                           "population 2", "iteration 20 of 20"}) {
    EXPECT_NE(drawn.find(part), std::string::npos) << part << "\n" << drawn;
  }
  // The results at a glance follow the progress line, which is redrawn in place.
  const size_t results = drawn.find("genosieve-cli: overall: ");
  ASSERT_NE(results, std::string::npos) << drawn;
  EXPECT_EQ(drawn.substr(0, results).find('\n'), std::string::npos) << drawn;

  EXPECT_EQ(TerminalOutput({"-q", "-n", "20", "data.txt"}, exitCode), "");
  EXPECT_EQ(exitCode, 0);
}

}  // namespace
