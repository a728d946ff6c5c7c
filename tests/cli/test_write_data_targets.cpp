// Where genosieve-cli writes outside its working folder: --write-data to the standard
// output or to any name the user gives, and the folders that a result name with a folder
// part reaches. Nothing that is not a regular file is written over or replaced, the folder
// written into is locked as a working folder is, and a stop asked while the data are read
// or written leaves the previous file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
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
using genosieve::testing::WriteBytes;

namespace fs = std::filesystem;

const std::string& kValidData = genosieve::testing::kSmallValidData;
const std::string& kDenied = genosieve::testing::kAccessDenied;

// A file of the native layout of about `bytes` bytes: P = 4 populations, L = 20 loci.
std::string LargeData(std::size_t bytes) {
  constexpr int kLoci = 20;
  std::string text = "4 " + std::to_string(kLoci) + " 99 2\r\n";
  for (int locus = 1; locus <= kLoci; ++locus) {
    text += 'L';
    text += std::to_string(locus);
    text += "\r\n";
  }
  const std::size_t lineLength = 2 + 5 * kLoci + 2;
  const std::size_t perPopulation = std::max<std::size_t>(2, bytes / lineLength / 4);
  uint32_t state = 12345;
  for (int population = 1; population <= 4; ++population) {
    for (std::size_t row = 0; row < perPopulation; ++row) {
      text += std::to_string(population) + "\t";
      for (int locus = 0; locus < kLoci; ++locus) {
        state = state * 1103515245u + 12345u;
        const unsigned first = 10 + (state >> 16) % 80;
        const unsigned second = 10 + (state >> 8) % 80;
        text += std::to_string(first) + std::to_string(second) + "\t";
      }
      text += "\r\n";
    }
  }
  return text;
}

// Whether process `pid` has the file at `path` open.
bool HasOpen(pid_t pid, const fs::path& path) {
  std::error_code error;
  const fs::path wanted = fs::canonical(path, error);
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code ignored;
    if (fs::read_symlink(entry.path(), ignored) == wanted) return true;
  }
  return false;
}

// Whether the folder holds a temporary file of the program.
bool HoldsTemporaryFile(const fs::path& folder) {
  for (const std::string& name : Entries(folder)) {
    if (name.starts_with(".genosieve-") && name.ends_with(".tmp")) return true;
  }
  return false;
}

TEST(WriteDataTargets, ADashWritesTheDataToTheStandardOutput) {
  ScopedWorkingFolder folder;
  fs::copy_file(ExamplePath("aspen.txt"), "aspen.txt");
  const Outcome file = RunCli({"-q", "--write-data", "copy.txt", "aspen.txt"});
  ASSERT_EQ(file.exitCode, 0) << file.err;
  const Outcome piped = RunCli({"--write-data", "-", "aspen.txt"});
  EXPECT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_EQ(piped.out, ReadBytes("copy.txt"));
  EXPECT_EQ(piped.err,
            "genosieve-cli: the data are written to the standard output in the native layout\n");
  // No file named "-", no lock or temporary file left.
  EXPECT_EQ(Entries(folder.path()), (std::vector<std::string>{"aspen.txt", "copy.txt"}));
}

// Outside the working folder a link may be the system's own (/dev/stdout): a target that
// is anything but a regular file is refused before a byte is written, and left as it was.
TEST(WriteDataTargets, ATargetThatIsNotARegularFileIsRefusedAndLeftAsItWas) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  fs::create_directories("elsewhere");
  WriteBytes("elsewhere/file.txt", "someone's file");
  fs::create_symlink(folder.path() / "elsewhere/file.txt", "link.txt");
  fs::create_symlink("missing.txt", "dangling.txt");
  ASSERT_EQ(::mkfifo("pipe.txt", 0600), 0);
  fs::create_directories("folder.txt");
  // A socket bound to a name in the folder.
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (folder.path() / "socket.txt").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const std::string here = folder.path().string();
  const std::string tail =
      "; --write-data replaces only a regular file (\"-\" writes to the standard output): " +
      kDenied + "\n";
  struct Case {
    std::string target;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"link.txt", "genosieve-cli: Output file \"" + here +
                       "/link.txt\": its name is taken by a symbolic link" + tail},
      {"dangling.txt", "genosieve-cli: Output file \"" + here +
                           "/dangling.txt\": its name is taken by a symbolic link" + tail},
      {"pipe.txt", "genosieve-cli: Output file \"" + here +
                       "/pipe.txt\": its name is taken by a named pipe" + tail},
      {"socket.txt", "genosieve-cli: Output file \"" + here +
                         "/socket.txt\": its name is taken by a socket" + tail},
      {"/dev/null",
       "genosieve-cli: Output file \"/dev/null\": its name is taken by a device" + tail},
      {"folder.txt",
       "genosieve-cli: Output file \"folder.txt\": the name is that of a folder, not of a file\n"},
  };
  const std::vector<std::string> before = Entries(folder.path());
  const std::vector<std::string> devices = Entries("/dev");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    // A named pipe would make a write wait for ever: the child's alarm would end it.
    const Outcome outcome = RunCli({"--write-data", c.target, "data.txt"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.err, c.expected);
    EXPECT_EQ(outcome.out, "");
  }
  ::close(sock);
  EXPECT_EQ(Entries(folder.path()), before);
  EXPECT_EQ(Entries("/dev"), devices);
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink("link.txt"));
  EXPECT_TRUE(fs::is_symlink("dangling.txt"));
  EXPECT_FALSE(fs::exists("missing.txt"));
  EXPECT_TRUE(fs::is_fifo("pipe.txt"));
  EXPECT_TRUE(fs::is_socket("socket.txt"));
  EXPECT_EQ(ReadBytes("elsewhere/file.txt"), "someone's file");
  EXPECT_EQ(Entries("elsewhere"), std::vector<std::string>{"file.txt"});
}

// The folder an export or a Run writes into, reached by a name with a folder part, is
// locked as a working folder: a link to another Run's folder is that folder.
TEST(WriteDataTargets, TheFolderWrittenIntoIsLockedLikeAWorkingFolder) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", kValidData);
  fs::create_directories("A");
  fs::create_directory_symlink("A", "res");
  // The folders the other outputs of -o res/results.txt go to.
  for (const char* prefix :
       {"Clones_", "Clonemembers_", "Withoutrepeats_", "Summary_", "Clonality_", "Psex_"}) {
    fs::create_directories(std::string(prefix) + "res");
  }
  // A's lock, held as a Run working in A holds it.
  const int lock = ::open("A/.genosieve.lock", O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
  const std::string inUse = "genosieve-cli: Output folder \"" + (folder.path() / "A").string() +
                            "\": another Run is working in this folder; wait until it ends, or "
                            "choose another folder\n";

  const Outcome run = RunCli({"-q", "-n", "3", "-o", "res/results.txt", "data.txt"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, inUse);
  const Outcome exported = RunCli({"-q", "--write-data", "res/data.txt", "data.txt"});
  EXPECT_EQ(exported.exitCode, 1);
  EXPECT_EQ(exported.err, inUse);
  EXPECT_EQ(Entries("A"), std::vector<std::string>{".genosieve.lock"});
  // An export into the working folder meets a Run working there the same way.
  const Outcome here = RunCli({"-q", "-C", "A", "--write-data", "data.txt", "data.txt"});
  EXPECT_EQ(here.exitCode, 1);
  EXPECT_EQ(here.err.find("genosieve-cli: Working folder \""), 0u) << here.err;

  // Once A's Run has ended, both go through, and leave no lock behind.
  ::close(lock);
  fs::remove("A/.genosieve.lock");
  const Outcome freeRun = RunCli({"-q", "-n", "3", "-o", "res/results.txt", "data.txt"});
  EXPECT_EQ(freeRun.exitCode, 0) << freeRun.err;
  const Outcome freeExport = RunCli({"-q", "--write-data", "res/data.txt", "data.txt"});
  EXPECT_EQ(freeExport.exitCode, 0) << freeExport.err;
  EXPECT_EQ(ReadBytes("A/data.txt"), kValidData);
  EXPECT_TRUE(fs::exists("A/results.txt"));
  EXPECT_EQ(Leftovers(folder.path()), std::vector<std::string>{});
}

// Starts `--write-data out.txt big.txt` on data that grow with each attempt, and sends
// `signal` once `ready` holds: whether it was caught, and its outcome. The previous
// out.txt is written before each attempt.
template <typename Ready>
bool InterruptExport(int signal, Ready ready, Outcome& outcome) {
  for (std::size_t bytes = std::size_t{8} << 20; bytes <= (std::size_t{128} << 20); bytes *= 2) {
    WriteBytes("big.txt", LargeData(bytes));
    WriteBytes("out.txt", "the previous export\r\n");
    const CliChild running = StartCli({"-q", "--write-data", "out.txt", "big.txt"});
    const bool caught =
        WaitUntil(running, [&] { return ready(running); }) && ::kill(running.pid, signal) == 0;
    outcome = WaitCli(running);
    if (caught) return true;
  }
  return false;
}

TEST(WriteDataTargets, AStopWhileTheDataAreReadKeepsThePreviousFile) {
  ScopedWorkingFolder folder;
  Outcome outcome;
  ASSERT_TRUE(InterruptExport(
      SIGINT, [&](const CliChild& child) { return HasOpen(child.pid, "big.txt"); }, outcome))
      << "the export ended each time before it could be interrupted";
  EXPECT_EQ(outcome.exitCode, 130);
  EXPECT_EQ(outcome.err, "genosieve-cli: Run interrupted\n");
  EXPECT_EQ(ReadBytes("out.txt"), "the previous export\r\n");
  EXPECT_EQ(Leftovers(folder.path()), std::vector<std::string>{});
}

TEST(WriteDataTargets, AStopWhileTheDataAreWrittenKeepsThePreviousFile) {
  ScopedWorkingFolder folder;
  Outcome outcome;
  // The temporary file exists: the data are read and being written.
  ASSERT_TRUE(InterruptExport(
      SIGTERM, [&](const CliChild&) { return HoldsTemporaryFile(folder.path()); }, outcome))
      << "the export ended each time before it could be interrupted";
  EXPECT_EQ(outcome.exitCode, 143);
  EXPECT_EQ(outcome.err, "genosieve-cli: Run interrupted\n");
  EXPECT_EQ(ReadBytes("out.txt"), "the previous export\r\n");
  EXPECT_EQ(Leftovers(folder.path()), std::vector<std::string>{});
}

}  // namespace
