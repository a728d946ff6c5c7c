// genosieve-cli on the bad inputs of tests/data/bad_input/: each must end with its exact
// message and exit status, never a crash, a hang, a report of success or an allocation
// out of proportion to the file. The CLI runs in a child limited in address space (where
// the build allows it), CPU time and wall time; its peak memory is checked afterwards.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "support/test_files.h"

namespace {

using genosieve::testing::Entries;
using genosieve::testing::kLimitAddressSpace;
using genosieve::testing::kPeakMemoryLimitKb;
using genosieve::testing::Outcome;
using genosieve::testing::PseudoTerminalAvailable;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunCli;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::TestDataPath;

// Every working folder holds, besides the case's data file: "a_folder", a folder (given
// as data path, or as result name: creating a file over a folder fails even for root,
// which permission bits would not stop), "full.txt", a link to /dev/full (a device, which is
// never read as data), and "a_pipe", a named pipe that no process
// writes to (opening it for reading would wait for ever).
void PrepareFolder(const std::string& dataFile) {
  std::filesystem::create_directory("a_folder");
  std::filesystem::create_symlink("/dev/full", "full.txt");
  ::mkfifo("a_pipe", 0600);
  const std::filesystem::path source = TestDataPath("bad_input/" + dataFile);
  if (std::filesystem::is_regular_file(source)) std::filesystem::copy_file(source, dataFile);
}

enum class Writes { Nothing, Something };

struct Case {
  std::string dataFile;           // in tests/data/bad_input/, or prepared by PrepareFolder
  std::vector<std::string> args;  // before the data file
  int exitCode;
  // stderr without "genosieve-cli: " and the final line end; {folder} stands for the
  // working folder's full path.
  std::string message;
  Writes writes;
};

const std::string kDenied = "Acc\xC3\xA8s au fichier refus\xC3\xA9";
const std::string kNoLocusInTwoIndividuals =
    "genosieve-cli: no locus is typed in at least two individuals: Fis cannot be estimated from "
    "these data";
const std::string kNoLocusInTwoPopulations =
    "genosieve-cli: no locus is typed in at least two populations: the Weir & Cockerham "
    "estimator compares populations, so Fis cannot be estimated from these data";
const std::string kWriteDataOnly =
    "; --write-data replaces only a regular file (\"-\" writes to the standard output): " + kDenied;
// What follows the message of an option that the option parser refuses.
const std::string kSeeHelp = "\nRun with --help for more information.";

const std::string kNotInteger = "' n'est pas une valeur enti\xC3\xA8re correcte";

std::string InFile(const std::string& file, const std::string& where) {
  return "Data file \"" + file + "\", " + where;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      // Files cut short, empty, or not text at all.
      {"empty.txt",
       {},
       1,
       InFile("empty.txt",
              "line 1: the file ends before header number P (the header holds P L A D)"),
       Writes::Nothing},
      {"truncated_header.txt",
       {},
       1,
       InFile("truncated_header.txt",
              "line 1: the file ends before header number D (the header holds P L A D)"),
       Writes::Nothing},
      {"truncated_locus_names.txt",
       {},
       1,
       InFile("truncated_locus_names.txt",
              "line 2: the file has 2 lines; with L = 2 it needs the header, 2 locus-name lines "
              "and at least two individual lines (it holds 0)"),
       Writes::Nothing},
      {"truncated_individual.txt",
       {},
       1,
       InFile("truncated_individual.txt",
              "line 6: the file ends inside an individual line (locus 2, first allele)"),
       Writes::Nothing},
      {"trailing_empty_line.txt",
       {},
       1,
       InFile("trailing_empty_line.txt",
              "line 8: the file ends inside an individual line (the last line is empty; an empty "
              "line counts as an individual line); the file reads as FSTAT (--format fstat)"),
       Writes::Nothing},
      {"one_individual.txt",
       {},
       1,
       InFile("one_individual.txt",
              "line 3: the file has 3 lines; with L = 1 it needs the header, 1 locus-name line "
              "and at least two individual lines (it holds 1)"),
       Writes::Nothing},
      // Control characters and bytes outside ASCII are shown as \xHH.
      {"binary_garbage.bin",
       {},
       1,
       InFile("binary_garbage.bin",
              "line 1, header number P: "
              "'\\xA5M\\xCA\\x18%0\\xBB\\x1Dm\\x13,\\xDE\\xD6#{.\\xD9\\x1E?r\\x1F\\xCB\\x19q\\x17D"
              "\\x94\\xD6I<\\x9D\\x5C4`\\xBE1" +
                  kNotInteger),
       Writes::Nothing},
      // Header numbers at the ends of the 32-bit range, negative or missing: nothing is
      // sized from them before the file has shown it holds what they claim.
      {"header_p_max.txt",
       {},
       1,
       InFile("header_p_max.txt",
              "line 1: the header gives P = 2147483647 populations, but the individual lines "
              "(lines 4 to 9) hold only 2 runs of population numbers; each population is one run "
              "of lines with the same population number"),
       Writes::Nothing},
      {"header_l_max.txt",
       {},
       1,
       InFile("header_l_max.txt",
              "line 9: the file has 9 lines; with L = 2147483647 it needs the header, 2147483647 "
              "locus-name lines and at least two individual lines (it holds 0)"),
       Writes::Nothing},
      {"header_a_max.txt",
       {},
       1,
       InFile("header_a_max.txt",
              "line 1: the highest allele number A is 2147483647; it must be between 1 and 999 "
              "(alleles are written with three digits)"),
       Writes::Nothing},
      {"header_d_max.txt",
       {},
       1,
       InFile("header_d_max.txt",
              "line 1: the allele code width D is 2147483647; it must be 1, 2 or 3 (alleles are "
              "numbers from 1 to 999)"),
       Writes::Nothing},
      {"header_p_overflow.txt",
       {},
       1,
       InFile("header_p_overflow.txt", "line 1, header number P: '2147483648" + kNotInteger),
       Writes::Nothing},
      {"header_p_negative.txt",
       {},
       1,
       InFile("header_p_negative.txt",
              "line 1: the number of populations P is -2; it must be at least 1"),
       Writes::Nothing},
      {"header_l_negative.txt",
       {},
       1,
       InFile("header_l_negative.txt", "line 1: the number of loci L is -1; it must be at least 1"),
       Writes::Nothing},
      {"header_a_negative.txt",
       {},
       1,
       InFile("header_a_negative.txt",
              "line 1: the highest allele number A is -140; it must be between 1 and 999 "
              "(alleles are written with three digits)"),
       Writes::Nothing},
      {"header_d_negative.txt",
       {},
       1,
       InFile("header_d_negative.txt",
              "line 1: the allele code width D is -3; it must be at least 1"),
       Writes::Nothing},
      {"header_three_numbers.txt",
       {},
       1,
       InFile("header_three_numbers.txt",
              "line 1: the header line ends before header number D (it holds the four numbers P "
              "L A D, separated by blanks)"),
       Writes::Nothing},
      // Individual lines that do not match the header.
      {"more_loci_than_lines.txt",
       {},
       1,
       InFile("more_loci_than_lines.txt", "line 7: the line holds 2 genotypes, L = 5"),
       Writes::Nothing},
      {"more_genotypes_than_loci.txt",
       {},
       1,
       InFile("more_genotypes_than_loci.txt",
              "line 6: text after the last genotype: the line holds more than L = 2 genotypes"),
       Writes::Nothing},
      {"fewer_populations_than_p.txt",
       {},
       1,
       InFile("fewer_populations_than_p.txt",
              "line 1: the header gives P = 3 populations, but the individual lines (lines 4 to "
              "9) hold only 2 runs of population numbers; each population is one run of lines "
              "with the same population number"),
       Writes::Nothing},
      {"genotype_too_long.txt",
       {},
       1,
       InFile("genotype_too_long.txt",
              "line 4, locus 1: the genotype is followed by '1' instead of a TAB or a blank (each "
              "genotype has 2 x D = 6 characters)"),
       Writes::Nothing},
      {"genotype_control_separator.txt",
       {},
       1,
       InFile("genotype_control_separator.txt",
              "line 5, locus 1: the genotype is followed by '\\x0C' instead of a TAB or a blank "
              "(each genotype has 2 x D = 6 characters)"),
       Writes::Nothing},
      {"allele_letters.txt",
       {},
       1,
       InFile("allele_letters.txt", "line 5, locus 1, first allele: '12a" + kNotInteger),
       Writes::Nothing},
      {"population_letters.txt",
       {},
       1,
       InFile("population_letters.txt", "line 6, population number: 'x" + kNotInteger),
       Writes::Nothing},
      {"allele_above_a.txt",
       {},
       1,
       InFile("allele_above_a.txt",
              "line 6, locus 1, second allele: allele 150 is above the highest allele number A = "
              "140 of the header"),
       Writes::Nothing},
      {"allele_one_missing.txt",
       {},
       1,
       InFile("allele_one_missing.txt",
              "line 5, locus 1: the genotype has exactly one allele 0; only a genotype with both "
              "alleles 0 is missing; the file reads as FSTAT (--format fstat)"),
       Writes::Nothing},
      // Files of two layouts, impossible headers, names that cannot be written, data of
      // another ploidy.
      {"layouts_disagree.txt",
       {},
       1,
       "Data file \"layouts_disagree.txt\": the file reads in two layouts, which give different "
       "populations: as FSTAT (--format fstat), 2 populations of 4 and 2 individuals, 2 loci; as "
       "native (--format native), 2 populations of 2 and 4 individuals, 2 loci; choose one with "
       "--format",
       Writes::Nothing},
      {"header_a_wider_than_d.txt",
       {},
       1,
       InFile("header_a_wider_than_d.txt",
              "line 1: the highest allele number A is 140, which does not fit in D = 2 digits "
              "(alleles of D digits go up to 99)"),
       Writes::Nothing},
      {"locus_name_nul.txt",
       {},
       1,
       InFile("locus_name_nul.txt",
              "line 2, locus 1: the locus name 'Loc\\x00A' holds the control character \\x00; "
              "names go to the text files the Run writes, which hold no control characters"),
       Writes::Nothing},
      {"fstat_blanks.txt",
       {"--format", "native"},
       1,
       InFile("fstat_blanks.txt",
              "line 4, population number: a TAB follows the population number, but this line "
              "holds none: '1 120124 130132' runs to its end; the file reads as FSTAT (--format "
              "fstat)"),
       Writes::Nothing},
      {"genalex_haploid.csv",
       {},
       1,
       InFile("genalex_haploid.csv",
              "row 3: the data look haploid: the L = 6 loci are named in columns 3 to 8, one "
              "allele column per locus; the program analyses diploid data, two allele columns "
              "per locus"),
       Writes::Nothing},
      {"genalex_escape.csv",
       {},
       1,
       InFile("genalex_escape.csv",
              "row 2, column 4: the population name 'A\\x1B]0;x\\x07' holds the control "
              "character \\x1B; names go to the text files the Run writes, which hold no control "
              "characters"),
       Writes::Nothing},
      // Data the estimator cannot compare: the floating-point message stays, and the next
      // line says why. The observed table has been written when the estimate fails.
      {"one_population_untyped.txt",
       {},
       1,
       "Op\xC3\xA9ration en virgule flottante incorrecte\n" + kNoLocusInTwoIndividuals,
       Writes::Something},
      {"every_genotype_missing.txt",
       {},
       1,
       "Op\xC3\xA9ration en virgule flottante incorrecte\n" + kNoLocusInTwoPopulations,
       Writes::Something},
      {"no_locus_in_two_populations.txt",
       {},
       1,
       "Op\xC3\xA9ration en virgule flottante incorrecte\n" + kNoLocusInTwoPopulations,
       Writes::Something},
      // Data paths that name no readable file: the file's full path, what was being done,
      // then the program's own I/O message.
      {"no_such_file.txt",
       {},
       1,
       "Data file \"{folder}/no_such_file.txt\": cannot open it for reading: Fichier introuvable",
       Writes::Nothing},
      {"a_folder",
       {},
       1,
       "Data file \"{folder}/a_folder\": it is a folder, not a regular file: " + kDenied,
       Writes::Nothing},
      {"a_pipe",
       {},
       1,
       "Data file \"{folder}/a_pipe\": it is a named pipe, not a regular file: " + kDenied,
       Writes::Nothing},
      {"/dev/zero",
       {},
       1,
       "Data file \"/dev/zero\": it is a device, not a regular file: " + kDenied,
       Writes::Nothing},
      {"full.txt",
       {},
       1,
       "Data file \"{folder}/full.txt\": it is a device, not a regular file: " + kDenied,
       Writes::Nothing},
      // Iteration counts: usage errors, refused before the data file is read.
      {"valid.txt",
       {"-n", "99999999999999999999"},
       2,
       "--iterations: '99999999999999999999" + kNotInteger + kSeeHelp,
       Writes::Nothing},
      {"valid.txt",
       {"-n", "-5"},
       2,
       "--iterations: The number of iterations must be 0 or more, not -5." + kSeeHelp,
       Writes::Nothing},
      {"no_such_file.txt",
       {"-n", "5 x"},
       2,
       "--iterations: '5 x" + kNotInteger + kSeeHelp,
       Writes::Nothing},
      // Result names that cannot be written: refused before anything is written.
      {"valid.txt",
       {"-o", "no_such_folder/results.txt"},
       1,
       "Output file \"no_such_folder/results.txt\": the folder \"no_such_folder\" does not "
       "exist",
       Writes::Nothing},
      {"valid.txt",
       {"-o", "a_folder"},
       1,
       "Output file \"a_folder\": the name is that of a folder, not of a file",
       Writes::Nothing},
      {"valid.txt",
       {"-o", "a_folder/"},
       1,
       "Output file \"a_folder/\": the name is that of a folder, not of a file",
       Writes::Nothing},
      {"valid.txt",
       {"-o", ""},
       2,
       "--result: the result name is empty" + kSeeHelp,
       Writes::Nothing},
      {"valid.txt",
       {"-o", "a_pipe"},
       1,
       "Output file \"{folder}/a_pipe\": its name is taken by a named pipe: " + kDenied,
       Writes::Nothing},
      {"valid.txt",
       {"-o", "full.txt/x"},
       1,
       "Output file \"full.txt/x\": \"full.txt\" is not a folder",
       Writes::Nothing},
      {"valid.txt",
       {"-o", std::string(300, 'r')},
       1,
       "Output file \"{folder}/" + std::string(300, 'r') +
           "\": cannot look up its name: Nom de fichier incorrect",
       Writes::Nothing},
      // A name's control characters are shown escaped, the message on one line.
      {"no\nsuch\x7F\x1B[1mfile.txt",
       {},
       1,
       "Data file \"{folder}/no\\nsuch\\x7F\\x1B[1mfile.txt\": cannot open it for reading: "
       "Fichier introuvable",
       Writes::Nothing},
      // --write-data targets that are not regular files, in or out of the folder: refused
      // before a byte is written, and left as they are.
      {"valid.txt",
       {"--write-data", "a_pipe"},
       1,
       "Output file \"{folder}/a_pipe\": its name is taken by a named pipe" + kWriteDataOnly,
       Writes::Nothing},
      {"valid.txt",
       {"--write-data", "full.txt"},
       1,
       "Output file \"{folder}/full.txt\": its name is taken by a symbolic link" + kWriteDataOnly,
       Writes::Nothing},
      {"valid.txt",
       {"--write-data", "/dev/full"},
       1,
       "Output file \"/dev/full\": its name is taken by a device" + kWriteDataOnly,
       Writes::Nothing},
      {"valid.txt",
       {"--write-data", "a_folder"},
       1,
       "Output file \"a_folder\": the name is that of a folder, not of a file",
       Writes::Nothing},
      {"valid.txt",
       {"--write-data", ""},
       2,
       "--write-data: the output name is empty" + kSeeHelp,
       Writes::Nothing},
      // A working folder that does not exist, or an empty name, is a usage error.
      {"valid.txt",
       {"-C", "no_such_folder"},
       2,
       "-C: 'no_such_folder' is not an existing folder",
       Writes::Nothing},
      {"valid.txt", {"-C", ""}, 2, "-C: the folder name is empty", Writes::Nothing},
  };
  return cases;
}

std::string Describe(const Case& c) {
  std::string text = c.dataFile;
  for (const std::string& arg : c.args) text += " " + arg;
  return text;
}

void Check(const Case& c) {
  SCOPED_TRACE(Describe(c));
  ScopedWorkingFolder folder;
  PrepareFolder(c.dataFile);
  const std::vector<std::string> before = Entries(folder.path());

  // Few iterations unless the case sets the count itself.
  std::vector<std::string> args = {"-q", "--seed", "1"};
  if (std::find(c.args.begin(), c.args.end(), "-n") == c.args.end()) {
    args.insert(args.end(), {"-n", "2"});
  }
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back(c.dataFile);
  const Outcome outcome = RunCli(args);

  std::string message = c.message;
  const std::size_t at = message.find("{folder}");
  if (at != std::string::npos) message.replace(at, 8, folder.path().string());
  EXPECT_EQ(outcome.exitCode, c.exitCode);
  EXPECT_EQ(outcome.err, "genosieve-cli: " + message + "\n");
  EXPECT_EQ(outcome.out, "");
  EXPECT_LT(outcome.peakMemoryKb, kPeakMemoryLimitKb);
  const std::vector<std::string> after = Entries(folder.path());
  if (c.writes == Writes::Nothing) {
    EXPECT_EQ(after, before);
  } else {
    EXPECT_GT(after.size(), before.size());
  }
}

TEST(BadInput, EachFileEndsWithItsMessageAndExitStatus) {
  for (const Case& c : Cases()) Check(c);
}

TEST(BadInput, EveryFileOfTheCorpusHasACase) {
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("bad_input"))) {
    const std::string name = entry.path().filename().string();
    const bool used = std::any_of(Cases().begin(), Cases().end(),
                                  [&](const Case& c) { return c.dataFile == name; });
    EXPECT_TRUE(used) << name;
  }
}

// An iteration count whose running values cannot be held is refused before the first
// test, saying how much the Run needs and how much is available, not with the system's
// out-of-memory killer or an uncaught exception. Only where the address space can be
// limited: without the limit a machine with hundreds of GiB would start the Run.
TEST(BadInput, IterationCountBeyondMemoryIsRefused) {
  if (!kLimitAddressSpace) GTEST_SKIP() << "address space cannot be limited under ASan";
  ScopedWorkingFolder folder;
  PrepareFolder("valid.txt");
  const std::vector<std::string> before = Entries(folder.path());
  const Outcome outcome = RunCli({"-q", "-n", "2147483647", "valid.txt"});
  EXPECT_EQ(outcome.exitCode, 1);
  // How much depends on the estimate's coefficients and on this machine.
  EXPECT_TRUE(outcome.err.starts_with(
      "genosieve-cli: M\xC3\xA9moire insuffisante (the Run would need about "))
      << outcome.err;
  EXPECT_NE(
      outcome.err.find(" GiB for the values of N = 2147483647 iterations of 1 test; it uses "),
      std::string::npos)
      << outcome.err;
  EXPECT_TRUE(outcome.err.ends_with(" more is available)\n")) << outcome.err;
  EXPECT_LT(outcome.peakMemoryKb, kPeakMemoryLimitKb);
  EXPECT_EQ(Entries(folder.path()), before);
}

// With progress shown on a terminal and both analyses on, the command line reads the
// header for itself before the Run: a named pipe must not make it wait either.
TEST(BadInput, APipeIsRefusedWhenProgressIsShown) {
  if (!PseudoTerminalAvailable()) GTEST_SKIP() << "no pseudo-terminal can be opened here";
  ScopedWorkingFolder folder;
  PrepareFolder("a_pipe");
  const Outcome outcome = RunCli({"--per-locus", "--per-pop", "-n", "2", "a_pipe"}, true);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "");
}

// The corpus's reference: the same data, well formed, runs to the end.
TEST(BadInput, TheValidFileRuns) {
  ScopedWorkingFolder folder;
  PrepareFolder("valid.txt");
  const Outcome outcome = RunCli({"-q", "-n", "2", "--seed", "1", "valid.txt"});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "done ! \n");
  EXPECT_LT(outcome.peakMemoryKb, kPeakMemoryLimitKb);
}

}  // namespace
