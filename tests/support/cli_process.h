#pragma once

// Runs genosieve-cli as a child process for the command-line tests: limited in address
// space (where the build allows it), CPU and wall time, so that a crash, a hang or an
// allocation out of proportion shows as a failed test rather than a stuck suite.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_files.h"

#if defined(__SANITIZE_ADDRESS__)
#define GENOSIEVE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GENOSIEVE_UNDER_ASAN 1
#endif
#endif
#ifndef GENOSIEVE_UNDER_ASAN
#define GENOSIEVE_UNDER_ASAN 0
#endif

// A cross build's tests start genosieve-cli through the emulator that runs them (the
// words of CMAKE_CROSSCOMPILING_EMULATOR).
#ifndef GENOSIEVE_TEST_EMULATOR
#define GENOSIEVE_TEST_EMULATOR ""
#endif

namespace genosieve::testing {

// Two populations of three, two loci: a small valid native file for the command-line tests.
inline const std::string kSmallValidData =
    "2 2 140 3\r\nLocA\r\nLocB\r\n"
    "1\t120124\t130132\t\r\n1\t120124\t130132\t\r\n1\t124124\t132132\t\r\n"
    "2\t120120\t130130\t\r\n2\t124120\t132132\t\r\n2\t120124\t132130\t\r\n";
// The system's text for a refused access, in UTF-8.
inline const std::string kAccessDenied = "Acc\xC3\xA8s au fichier refus\xC3\xA9";

inline constexpr bool kEmulated = GENOSIEVE_TEST_EMULATOR[0] != '\0';

// AddressSanitizer reserves terabytes of address space for its shadow memory, and so does
// an emulator for its guest, so the address-space limit applies only to an ordinary build;
// the peak memory check holds for all.
inline constexpr bool kLimitAddressSpace = !GENOSIEVE_UNDER_ASAN && !kEmulated;
inline constexpr rlim_t kAddressSpaceLimit = rlim_t{512} << 20;
inline constexpr long kPeakMemoryLimitKb = 128L << 10;
// An emulated program runs several times slower, and so does one whose Extended values
// are computed in software: the limits only end a Run that hangs.
inline constexpr bool kSlowBuild = kEmulated || GENOSIEVE_SOFT_EXTENDED;
inline constexpr unsigned kWallSeconds = kSlowBuild ? 600 : 60;
inline constexpr rlim_t kCpuSeconds = kSlowBuild ? 300 : 30;

// The command that starts `program`: itself, or the emulator given it.
inline std::vector<std::string> CommandFor(const std::string& program) {
  std::vector<std::string> command;
  const std::string emulator = GENOSIEVE_TEST_EMULATOR;
  for (size_t start = 0; start < emulator.size();) {
    const size_t end = std::min(emulator.find(' ', start), emulator.size());
    if (end > start) command.push_back(emulator.substr(start, end - start));
    start = end + 1;
  }
  command.push_back(program);
  return command;
}

// Whether a pseudo-terminal can be opened: a chroot or container without /dev/pts has
// none, and the tests of the terminal progress display then skip.
inline bool PseudoTerminalAvailable() {
  int master = -1;
  int slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return false;
  ::close(master);
  ::close(slave);
  return true;
}

struct Outcome {
  int exitCode = -1;  // -signal when the child was killed
  std::string out;
  std::string err;
  long peakMemoryKb = 0;
};

// A name for one child's captured stream, outside the working folder; unique within
// the test program, so that children may run side by side.
inline std::string CaptureName(const char* stream) {
  static int children = 0;
  return (std::filesystem::temp_directory_path() /
          ("genosieve-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(children++) +
           "-" + stream))
      .string();
}

// How a child is started besides its arguments.
struct CliOptions {
  bool onTerminal = false;  // stderr on a pseudo-terminal (whose output is not kept)
  std::string stdoutPath;   // where stdout goes instead of a captured file (not kept)
};

// Which genosieve-cli is started, and what its environment has besides the test's.
struct CliProgram {
  std::string path = GENOSIEVE_CLI_PATH;  // or a copy of it elsewhere
  std::vector<std::pair<std::string, std::string>> environment;
};

// A genosieve-cli child that runs while the test goes on.
struct CliChild {
  pid_t pid = -1;
  std::string outName;
  std::string errName;
};

// Starts genosieve-cli with `args` in the current working folder, in a child limited in
// address space, CPU and wall time; stdout and stderr go to files outside the folder, or
// elsewhere as `options` say.
inline CliChild StartCli(const std::vector<std::string>& args, const CliOptions& options = {},
                         const CliProgram& program = {}) {
  CliChild child;
  child.outName = CaptureName("out");
  child.errName = CaptureName("err");
  std::vector<std::string> argvText = CommandFor(program.path);
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);

  child.pid = ::fork();
  if (child.pid < 0) {
    ADD_FAILURE() << "cannot fork";
    return child;
  }
  if (child.pid == 0) {
    const std::string& out = options.stdoutPath.empty() ? child.outName : options.stdoutPath;
    if (!std::freopen(out.c_str(), "w", stdout) ||
        !std::freopen(child.errName.c_str(), "w", stderr)) {
      ::_exit(126);
    }
    if (options.onTerminal) {
      int master = -1;
      int slave = -1;
      if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 ||
          ::dup2(slave, STDERR_FILENO) < 0) {
        ::_exit(126);
      }
    }
    if (kLimitAddressSpace) {
      const rlimit space{kAddressSpaceLimit, kAddressSpaceLimit};
      ::setrlimit(RLIMIT_AS, &space);
    }
    const rlimit cpu{kCpuSeconds, kCpuSeconds};
    ::setrlimit(RLIMIT_CPU, &cpu);
    ::alarm(kWallSeconds);  // kept across exec: a hang ends with SIGALRM
    // Under AddressSanitizer a refused allocation must reach the program as
    // std::bad_alloc, as it does in an ordinary build, rather than abort.
    std::string asan = "allocator_may_return_null=1";
    if (const char* given = std::getenv("ASAN_OPTIONS")) asan = std::string(given) + ":" + asan;
    ::setenv("ASAN_OPTIONS", asan.c_str(), 1);
    for (const auto& [name, value] : program.environment) {
      ::setenv(name.c_str(), value.c_str(), 1);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  return child;
}

// Whether the child has not ended yet.
inline bool Running(const CliChild& child) {
  if (child.pid <= 0) return false;
  siginfo_t info{};
  // Looks without collecting: WaitCli still gets the exit status.
  if (::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
    return false;
  }
  return info.si_pid == 0;
}

// Waits for the child to end and collects what it wrote.
inline Outcome WaitCli(const CliChild& child) {
  Outcome outcome;
  if (child.pid < 0) return outcome;
  int status = 0;
  rusage usage{};
  pid_t waited;
  do {
    waited = ::wait4(child.pid, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  if (waited == child.pid) {
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    outcome.peakMemoryKb = usage.ru_maxrss;
  } else {
    ADD_FAILURE() << "cannot wait for " << GENOSIEVE_CLI_PATH;
  }
  outcome.out = ReadBytes(child.outName);
  outcome.err = ReadBytes(child.errName);
  std::filesystem::remove(child.outName);
  std::filesystem::remove(child.errName);
  return outcome;
}

// Runs genosieve-cli with `args` in the current working folder to its end (StartCli).
inline Outcome RunCli(const std::vector<std::string>& args, bool onTerminal = false) {
  return WaitCli(StartCli(args, {onTerminal, {}}));
}

// stderr without the lines that sum up a finished Run ("overall: ...", "loci: ...",
// "populations: ..."), for the tests of what comes before them.
inline std::string WithoutResultsAtAGlance(const std::string& err) {
  std::string kept;
  size_t start = 0;
  while (start < err.size()) {
    size_t end = err.find('\n', start);
    end = end == std::string::npos ? err.size() : end + 1;
    const std::string line = err.substr(start, end - start);
    bool summing = false;
    for (const char* lead : {"genosieve-cli: overall: ", "genosieve-cli: loci: ",
                             "genosieve-cli: populations: ", "genosieve-cli: clones: "}) {
      summing = summing || line.rfind(lead, 0) == 0;
    }
    if (!summing) kept += line;
    start = end;
  }
  return kept;
}

// The hidden files a Run must not leave behind anywhere under `folder`: its temporary
// files and its lock files (".genosieve...").
inline std::vector<std::string> Leftovers(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".genosieve")) names.push_back(entry.path().string());
  }
  return names;
}

// Waits until `ready` holds, or until the child ends or 60 seconds pass: whether it held
// while the child was still running. It looks every millisecond, assuming no speed: a
// child that ends first is the caller's to start again with more work.
template <typename Ready>
bool WaitUntil(const CliChild& child, Ready ready) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < limit) {
    if (!Running(child)) return false;
    if (ready()) return Running(child);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

inline std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace genosieve::testing
