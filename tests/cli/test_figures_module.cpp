// genosieve-cli finds its figures module only from its own place, and stops before the Run,
// naming the module, when it cannot use it.

#ifdef GENOSIEVE_CLI_HAS_FIGURES

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "figures_module.h"
#include "support/cli_process.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using genosieve::testing::CliProgram;
using genosieve::testing::Entries;
using genosieve::testing::ExamplePath;
using genosieve::testing::Outcome;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::StartCli;
using genosieve::testing::WaitCli;

constexpr char kModuleFile[] = "genosieve-cli-figures.so";

// A copy of genosieve-cli in "install/bin" under the working folder, without its module.
struct ProgramCopy {
  fs::path bin;
  fs::path program;
  // Where the installed layout puts the module, as the program sees it.
  fs::path installedModule;
};

ProgramCopy CopyProgram(const ScopedWorkingFolder& folder) {
  ProgramCopy copy;
  copy.bin = fs::canonical(folder.path()) / "install" / "bin";
  fs::create_directories(copy.bin);
  copy.program = copy.bin / "genosieve-cli";
  fs::copy_file(GENOSIEVE_CLI_PATH, copy.program);
  copy.installedModule = (copy.bin / GENOSIEVE_FIGURES_MODULE_DIR / kModuleFile).lexically_normal();
  return copy;
}

Outcome RunCopy(const ProgramCopy& copy, const std::vector<std::string>& args,
                const std::string& libraryPath = "") {
  CliProgram program{copy.program.string(), {}};
  if (!libraryPath.empty()) program.environment = {{"LD_LIBRARY_PATH", libraryPath}};
  return WaitCli(StartCli(args, {}, program));
}

const std::vector<std::string> kFigures = {
    "-q", "-n", "10", "--seed", "3", "--figures", ExamplePath("aspen.txt").string()};

// The one line that names the module and why it cannot be used.
void ExpectRefusal(const Outcome& outcome, const fs::path& module, const std::string& reason) {
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "");
  const std::string lead =
      "genosieve-cli: --figures: cannot load the figures library '" + module.string() + "': ";
  EXPECT_EQ(outcome.err.rfind(lead, 0), 0u) << outcome.err;
  EXPECT_NE(outcome.err.find(reason, lead.size()), std::string::npos) << outcome.err;
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
}

TEST(FiguresModule, MissingModuleStopsFiguresBeforeTheRunAndNothingElse) {
  ScopedWorkingFolder folder;
  const ProgramCopy copy = CopyProgram(folder);
  // A module in the working folder, also on the library search path, is never used: the
  // working folder holds the user's data.
  fs::copy_file(GENOSIEVE_FIGURES_MODULE_PATH, kModuleFile);
  const Outcome refused = RunCopy(copy, kFigures, fs::current_path().string());
  ExpectRefusal(refused, copy.installedModule, "No such file or directory");
  std::vector<std::string> entries = Entries(folder.path());
  EXPECT_EQ(entries, (std::vector<std::string>{kModuleFile, "install"}));

  // A usage error is a usage error, whether the module can be found or not.
  std::vector<std::string> missingFolder = kFigures;
  missingFolder.insert(missingFolder.begin(), {"-C", "no-such-folder"});
  const Outcome usage = RunCopy(copy, missingFolder);
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_EQ(usage.err, "genosieve-cli: -C: 'no-such-folder' is not an existing folder\n");

  const Outcome plain = RunCopy(
      copy, {"-q", "-n", "10", "--seed", "3", "--per-locus", ExamplePath("aspen.txt").string()});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(plain.out, "done ! \n");
  EXPECT_TRUE(fs::exists("results.txt"));
  EXPECT_FALSE(fs::exists("Fis_distribution_results.svg"));
}

TEST(FiguresModule, FoundInTheInstalledLayoutFromTheProgramsOwnFolder) {
  ScopedWorkingFolder folder;
  const ProgramCopy copy = CopyProgram(folder);
  fs::create_directories(copy.installedModule.parent_path());
  fs::copy_file(GENOSIEVE_FIGURES_MODULE_PATH, copy.installedModule);
  const Outcome outcome = RunCopy(copy, kFigures);
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "done ! \n");
  EXPECT_EQ(outcome.err, "");
  for (const char* name : {"Fis_distribution_results.svg", "Fis_distribution_results.png",
                           "Running_pvalue_results.svg", "Running_pvalue_results.png"}) {
    EXPECT_GT(fs::file_size(name), 1000u) << name;
  }
}

TEST(FiguresModule, ModuleOfAnotherBuildIsRefusedBeforeTheRun) {
  struct Case {
    const char* module;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {GENOSIEVE_OTHER_INTERFACE_MODULE_PATH,
       "it has version " + std::to_string(genosieve::kFiguresModuleVersion + 1) +
           " of the figures interface, this genosieve-cli needs version " +
           std::to_string(genosieve::kFiguresModuleVersion)},
      {GENOSIEVE_OTHER_PROGRAM_MODULE_PATH, "it belongs to GENOSIEVE " GENOSIEVE_VERSION
                                            "-other, this genosieve-cli is " GENOSIEVE_VERSION}};
  for (const Case& other : cases) {
    SCOPED_TRACE(other.module);
    ScopedWorkingFolder folder;
    const ProgramCopy copy = CopyProgram(folder);
    // Next to the program, where a build tree has it.
    fs::copy_file(other.module, copy.bin / kModuleFile);
    ExpectRefusal(RunCopy(copy, kFigures), copy.bin / kModuleFile, other.reason);
    EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"install"});
  }
}

}  // namespace

#endif  // GENOSIEVE_CLI_HAS_FIGURES
