// genosieve-cli's messages about files: each names the file by its full path and says what
// was being done, with the program's own French message as the reason; names are shown
// with their control characters escaped. And what the command line does when its reader,
// its terminal or a killed Run goes away: a closed standard output, SIGHUP, the temporary
// files a killed Run left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "support/full_folder.h"
#include "support/test_files.h"

namespace {

using genosieve::testing::CliChild;
using genosieve::testing::Entries;
using genosieve::testing::ExamplePath;
using genosieve::testing::InFullFolder;
using genosieve::testing::InSmallFolder;
using genosieve::testing::Leftovers;
using genosieve::testing::Outcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunCli;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::StartCli;
using genosieve::testing::WaitCli;
using genosieve::testing::WaitUntil;
using genosieve::testing::WriteBytes;

namespace fs = std::filesystem;

const std::string& kValidData = genosieve::testing::kSmallValidData;
const std::string& kDenied = genosieve::testing::kAccessDenied;

// "" when `outcome` is the failure `expected` (exit status 1, nothing on stdout), else
// what differs: for checks made in a child process, where no gtest assertion reaches.
std::string Differs(const Outcome& outcome, const std::string& expected) {
  if (outcome.exitCode == 1 && outcome.err == expected && outcome.out.empty()) return "";
  return "exit " + std::to_string(outcome.exitCode) + ", stderr: " + outcome.err +
         "expected: " + expected;
}

std::string CurrentFolder() { return fs::current_path().string(); }

TEST(FileMessages, AReadOnlyFolderIsNamedWithWhatFailed) {
  const std::optional<std::string> problem = InSmallFolder(
      {.size = "1m", .fill = false, .readOnly = true},
      [] {
        WriteBytes("data.txt", kValidData);
        // A lock file left there, so that the Run gets as far as its first output.
        WriteBytes(".genosieve.lock", "");
      },
      [] {
        const std::string here = CurrentFolder();
        std::string problems =
            Differs(RunCli({"-q", "-n", "2", "data.txt"}),
                    "genosieve-cli: Output file \"" + here +
                        "/tempmicrosat.txt\": cannot create it: " + kDenied + "\n");
        problems += Differs(RunCli({"-q", "--write-data", "out.txt", "data.txt"}),
                            "genosieve-cli: Output file \"" + here +
                                "/out.txt\": cannot create it: " + kDenied + "\n");
        return problems;
      });
  if (!problem) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(*problem, "");
}

TEST(FileMessages, AReadOnlyFolderWithoutALockFileIsNamedAsTheWorkingFolder) {
  const std::optional<std::string> problem = InSmallFolder(
      {.size = "1m", .fill = false, .readOnly = true}, [] { WriteBytes("data.txt", kValidData); },
      [] {
        return Differs(RunCli({"-q", "-n", "2", "data.txt"}),
                       "genosieve-cli: Working folder \"" + CurrentFolder() +
                           "\": cannot make its lock file \".genosieve.lock\": " + kDenied + "\n");
      });
  if (!problem) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(*problem, "");
}

TEST(FileMessages, AFullDiskIsNamedWithTheFileBeingWritten) {
  const std::optional<std::string> problem = InFullFolder(
      [] {
        WriteBytes("data.txt", kValidData);
        WriteBytes("out.txt", "the previous file");
      },
      [] {
        const std::string here = CurrentFolder();
        std::string problems = Differs(RunCli({"-q", "-n", "2", "data.txt"}),
                                       "genosieve-cli: Output file \"" + here +
                                           "/tempmicrosat.txt\": cannot write it: Disque plein\n");
        problems += Differs(
            RunCli({"-q", "--write-data", "out.txt", "data.txt"}),
            "genosieve-cli: Output file \"" + here + "/out.txt\": cannot write it: Disque plein\n");
        if (ReadBytes("out.txt") != "the previous file") problems += "out.txt changed; ";
        if (!Leftovers(here).empty()) problems += "files left behind; ";
        return problems;
      });
  if (!problem) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(*problem, "");
}

// Optional files that cannot fit on their disk are refused before the first test,
// saying how much they need and how much is free.
TEST(FileMessages, OptionalFilesThatCannotFitAreRefusedBeforeTheFirstTest) {
  const std::optional<std::string> problem = InSmallFolder(
      {.size = "1m", .fill = false}, [] { WriteBytes("data.txt", kValidData); },
      [] {
        const Outcome outcome =
            RunCli({"-q", "-n", "100000", "--pvalue-files", "--per-locus", "data.txt"});
        // How much they take is the estimate's; the folder has 1 MiB.
        const std::string lead = "genosieve-cli: Folder \"" + CurrentFolder() +
                                 "\": not enough free disk space: the p-value files would take "
                                 "about ";
        if (outcome.exitCode != 1 || !outcome.err.starts_with(lead) ||
            outcome.err.find(" MiB, and ") == std::string::npos ||
            !outcome.err.ends_with(" KiB is free there; free some space, or choose fewer "
                                   "iterations or another folder\n")) {
          return "exit " + std::to_string(outcome.exitCode) + ", stderr: " + outcome.err;
        }
        // Nothing written: the clone files come after the check.
        if (Entries(".") != std::vector<std::string>{"data.txt"}) return std::string("written");
        // The same Run without the p-value files fits.
        const Outcome small = RunCli({"-q", "-n", "100000", "--per-locus", "data.txt"});
        return small.exitCode == 0 ? std::string() : "without p-value files: " + small.err;
      });
  if (!problem) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(*problem, "");
}

TEST(FileMessages, ANameTooLongAndControlCharactersAreShownPlainly) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  const std::string longName(300, 'a');
  const Outcome tooLong = RunCli({"-q", "-n", "2", "-o", longName, "data.txt"});
  EXPECT_EQ(tooLong.exitCode, 1);
  EXPECT_EQ(tooLong.err, "genosieve-cli: Output file \"" + folder.path().string() + "/" + longName +
                             "\": cannot look up its name: Nom de fichier incorrect\n");

  // A name holding a line end, an escape and a TAB stays on one line of the message.
  const Outcome odd = RunCli({"-q", "-n", "2", "no\nsuch\x1b[2J\tfile.txt"});
  EXPECT_EQ(odd.exitCode, 1);
  EXPECT_EQ(odd.err, "genosieve-cli: Data file \"" + folder.path().string() +
                         "/no\\nsuch\\x1B[2J\\tfile.txt\": cannot open it for reading: Fichier "
                         "introuvable\n");
  const Outcome oddFolder = RunCli({"-q", "-C", "out\rput", "data.txt"});
  EXPECT_EQ(oddFolder.exitCode, 2);
  EXPECT_EQ(oddFolder.err, "genosieve-cli: -C: 'out\\rput' is not an existing folder\n");
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"data.txt"});
}

// genosieve-cli ... | true: the reader is gone before "done ! " is written. The Run's files
// are in place; the program says that its final message was lost and exits with 1.
TEST(FileMessages, AClosedStandardOutputIsAFailureWithAMessage) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  const auto withClosedOutput = [](const std::vector<std::string>& args) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return Outcome{};
    ::close(ends[0]);  // no reader, ever
    const CliChild child = StartCli(args, {false, "/dev/fd/" + std::to_string(ends[1])});
    ::close(ends[1]);
    return WaitCli(child);
  };
  const Outcome run = withClosedOutput({"-q", "-n", "3", "data.txt"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "genosieve-cli: cannot write \"done ! \" to the standard output, which its reader has "
            "closed: Erreur E/S 32\n");
  EXPECT_TRUE(fs::exists("results.txt"));
  const Outcome exported = withClosedOutput({"-q", "--write-data", "-", "data.txt"});
  EXPECT_EQ(exported.exitCode, 1);
  EXPECT_EQ(exported.err,
            "genosieve-cli: cannot write the data to the standard output, which its reader has "
            "closed: Erreur E/S 32\n");
}

// The terminal closed (SIGHUP) stops the Run as SIGTERM does: its finished files stay, the
// previous results file is kept, and no temporary file is left.
TEST(FileMessages, SighupStopsTheRunLikeSigterm) {
  ScopedWorkingFolder folder;
  std::vector<std::string> args = {"-q", "-n", "20000", ExamplePath("pram.txt").string()};
  Outcome outcome;
  bool caught = false;
  for (int attempt = 0; attempt < 4 && !caught; ++attempt) {
    WriteBytes("results.txt", "the previous Run's results\r\n");
    const CliChild running = StartCli(args);
    // Once the clone files are written, the overall test is running.
    caught = WaitUntil(running, [] { return fs::exists("Withoutrepeats_results.txt"); }) &&
             ::kill(running.pid, SIGHUP) == 0;
    outcome = WaitCli(running);
    args[2] += "0";
  }
  ASSERT_TRUE(caught) << "the Run ended each time before it could be stopped";
  EXPECT_EQ(outcome.exitCode, 128 + SIGHUP);
  EXPECT_EQ(outcome.err, "genosieve-cli: Run interrupted\n");
  EXPECT_EQ(ReadBytes("results.txt"), "the previous Run's results\r\n");
  EXPECT_EQ(Leftovers(folder.path()), std::vector<std::string>{});
}

// A Run that takes a folder's lock removes the temporary files that a killed Run left
// there, and only those: not a file that a live program holds, not a link, not a name
// that merely looks like one.
TEST(FileMessages, ARunRemovesTheTemporaryFilesAKilledRunLeft) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  fs::create_directories("res");
  for (const char* prefix :
       {"Clones_", "Clonemembers_", "Withoutrepeats_", "Summary_", "Clonality_", "Psex_"}) {
    fs::create_directories(std::string(prefix) + "res");
  }
  const std::string stale = ".genosieve-0123456789abcdef.tmp";
  const std::string live = ".genosieve-fedcba9876543210.tmp";
  WriteBytes(stale, "left by a killed Run");
  WriteBytes("res/" + stale, "left by a killed Run");
  WriteBytes(live, "being written");
  const int held = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  WriteBytes("kept.txt", "a user's file");
  fs::create_symlink("kept.txt", ".genosieve-00000000000000aa.tmp");
  WriteBytes(".genosieve-notours.tmp", "a user's file");
  WriteBytes(".genosieve-0123456789ABCDEF.tmp", "a user's file");

  const Outcome outcome = RunCli({"-q", "-n", "2", "-o", "res/results.txt", "data.txt"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_FALSE(fs::exists("res/" + stale));
  EXPECT_EQ(ReadBytes(live), "being written");
  EXPECT_TRUE(fs::is_symlink(".genosieve-00000000000000aa.tmp"));
  EXPECT_TRUE(fs::exists(".genosieve-notours.tmp"));
  EXPECT_TRUE(fs::exists(".genosieve-0123456789ABCDEF.tmp"));
  EXPECT_EQ(ReadBytes("kept.txt"), "a user's file");
  ::close(held);
  // Once nothing holds it, it is stale too.
  ASSERT_EQ(RunCli({"-q", "-n", "2", "data.txt"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(live));
}

}  // namespace
