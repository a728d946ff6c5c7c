// genosieve-cli on the data sets in other programs' layouts (tests/data/import/): the
// format option, the notices on stderr, --write-data.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_process.h"
#include "support/test_files.h"
#include "support/tsv_table.h"

namespace {

namespace fs = std::filesystem;
using genosieve::testing::Entries;
using genosieve::testing::Outcome;
using genosieve::testing::ReadBytes;
using genosieve::testing::RunCli;
using genosieve::testing::ScopedWorkingFolder;
using genosieve::testing::TestDataPath;

fs::path Import(const std::string& name) { return TestDataPath("import/" + name); }

const std::vector<std::string> kRunOptions = {"-n",          "20",        "--seed",        "99",
                                              "--per-locus", "--per-pop", "--pvalue-files"};

// Runs in a new folder `folder` on the data file `data` (copied into the working folder).
Outcome RunInFolder(const std::string& folder, const std::string& data,
                    std::vector<std::string> extra = {}) {
  fs::create_directory(folder);
  std::vector<std::string> args = kRunOptions;
  args.insert(args.end(), extra.begin(), extra.end());
  args.insert(args.end(), {"-C", folder, data});
  return RunCli(args);
}

void ExpectSameOutputs(const fs::path& a, const fs::path& b) {
  std::vector<std::string> names = Entries(a);
  EXPECT_EQ(names, Entries(b));
  EXPECT_EQ(names.size(), 16u);
  // The summary, clonality and psex tables name the populations as the layout does.
  EXPECT_EQ(
      genosieve::testing::SummaryWithoutPopulationNames(ReadBytes(a / "Summary_results.tsv")),
      genosieve::testing::SummaryWithoutPopulationNames(ReadBytes(b / "Summary_results.tsv")));
  for (const char* table : {"Clonality_results.tsv", "Psex_results.tsv"}) {
    EXPECT_EQ(genosieve::testing::WithColumnCleared(ReadBytes(a / table), 1),
              genosieve::testing::WithColumnCleared(ReadBytes(b / table), 1))
        << table;
  }
  for (const std::string& name : names) {
    if (name == "Clonemembers_results.txt" || name.ends_with(".tsv")) continue;
    EXPECT_EQ(ReadBytes(a / name), ReadBytes(b / name)) << name;
  }
}

// A Genepop file, a GenAlEx sheet saved with semicolons and an FSTAT file with 2-digit
// alleles and blanks each run to "done ! ", with the outputs of their native twins; what
// was read is said on stderr unless -q.
TEST(ImportCli, EachLayoutRunsToDoneLikeItsTwin) {
  struct Case {
    std::string input;
    std::string twin;
    std::vector<std::string> notices;
  };
  const std::vector<Case> cases = {
      {"zostera.gen",
       "genepop/zostera_twin.txt",
       {"Data file \"zostera.gen\": read as Genepop (3 populations, 3 loci, 18 individuals; A = "
        "134, D = 3)"}},
      {"lakes_semicolon.csv",
       "genalex/lakes_twin.txt",
       {"Data file \"lakes_semicolon.csv\": read as GenAlEx (2 populations, 4 loci, 11 "
        "individuals; A = 87, D = 2)",
        "Data file \"lakes_semicolon.csv\", row 7, column 5: the genotype '33/0' has exactly "
        "one allele 0; it is read as missing, as FSTAT does"}},
      {"trout.dat",
       "fstat/trout_twin.txt",
       {"Data file \"trout.dat\": read as FSTAT (3 populations, 3 loci, 15 individuals; A = "
        "20, D = 2)"}},
  };
  const std::vector<std::string> sources = {"genepop/zostera.gen", "genalex/lakes_semicolon.csv",
                                            "fstat/trout.dat"};
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.input);
    ScopedWorkingFolder folder;
    fs::copy_file(Import(sources[i]), c.input);
    fs::copy_file(Import(c.twin), "twin.txt");
    // -C makes the data path absolute: give it relative and compare with what is shown.
    const Outcome imported = RunCli([&] {
      std::vector<std::string> args = kRunOptions;
      args.push_back(c.input);
      return args;
    }());
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(imported.out, "done ! \n");
    std::string expectedErr;
    for (const std::string& notice : c.notices) expectedErr += "genosieve-cli: " + notice + "\n";
    EXPECT_EQ(genosieve::testing::WithoutResultsAtAGlance(imported.err), expectedErr);

    const Outcome quiet = RunInFolder("quiet", c.input, {"-q"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "");
    const Outcome native = RunInFolder("native", "twin.txt");
    EXPECT_EQ(native.exitCode, 0);
    // A native file is read without a word.
    EXPECT_EQ(genosieve::testing::WithoutResultsAtAGlance(native.err), "");
    ExpectSameOutputs(folder.path() / "quiet", folder.path() / "native");
  }
}

TEST(ImportCli, FormatOptionChoosesTheReader) {
  ScopedWorkingFolder folder;
  fs::copy_file(Import("genepop/zostera.gen"), "zostera.txt");
  fs::copy_file(Import("fstat/trout_short_codes.dat"), "short.dat");

  const Outcome help = RunCli({"--help"});
  for (const char* part : {"--format", "auto", "genepop", "genalex", "fstat", "--write-data"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }

  // Recognised by its content whatever its name; read as another layout when told.
  EXPECT_EQ(RunCli({"-n", "2", "zostera.txt"}).out, "done ! \n");
  EXPECT_EQ(RunCli({"-q", "-n", "2", "--format", "genepop", "zostera.txt"}).out, "done ! \n");
  const Outcome asFstat = RunCli({"-n", "2", "--format", "fstat", "zostera.txt"});
  EXPECT_EQ(asFstat.exitCode, 1);
  EXPECT_EQ(asFstat.err,
            "genosieve-cli: Data file \"zostera.txt\", line 1, header number P: 'Zostera' n'est "
            "pas une valeur enti\xC3\xA8re correcte\n");

  // A file the native reader refuses, but which reads as FSTAT: said before the error.
  const Outcome refused = RunCli({"-n", "2", "short.dat"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err,
            "genosieve-cli: Data file \"short.dat\": the native reader refuses this file, but it "
            "reads as an FSTAT file; choose the FSTAT format (--format fstat) to read it so\n"
            "genosieve-cli: Data file \"short.dat\", line 5, locus 1, second allele: '2\t' n'est "
            "pas une valeur enti\xC3\xA8re correcte\n");
  EXPECT_EQ(RunCli({"-q", "-n", "2", "short.dat"}).err.find("FSTAT"), std::string::npos);
  EXPECT_EQ(RunCli({"-n", "2", "--format", "fstat", "short.dat"}).exitCode, 0);

  const Outcome bad = RunCli({"--format", "excel", "zostera.txt"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("--format"), std::string::npos) << bad.err;
}

TEST(ImportCli, WriteDataExportsTheNativeLayoutWithoutARun) {
  ScopedWorkingFolder folder;
  fs::copy_file(Import("genalex/lakes_semicolon.csv"), "lakes.csv");
  const Outcome written = RunCli({"--write-data", "lakes.txt", "lakes.csv"});
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.out, "");
  EXPECT_EQ(written.err,
            "genosieve-cli: Data file \"lakes.csv\": read as GenAlEx (2 populations, 4 loci, 11 "
            "individuals; A = 87, D = 2)\n"
            "genosieve-cli: Data file \"lakes.csv\", row 7, column 5: the genotype '33/0' has "
            "exactly one allele 0; it is read as missing, as FSTAT does\n"
            "genosieve-cli: Output file \"lakes.txt\": written in the native layout\n");
  EXPECT_EQ(ReadBytes("lakes.txt"), ReadBytes(Import("genalex/lakes_twin.txt")));
  EXPECT_EQ(Entries(folder.path()), (std::vector<std::string>{"lakes.csv", "lakes.txt"}));

  // The exported file runs as the sheet did.
  EXPECT_EQ(RunInFolder("from_sheet", "lakes.csv", {"-q"}).exitCode, 0);
  EXPECT_EQ(RunInFolder("from_export", "lakes.txt", {"-q"}).exitCode, 0);
  ExpectSameOutputs(folder.path() / "from_sheet", folder.path() / "from_export");

  // Never over its input; quiet with -q; the working folder of -C takes the output.
  const Outcome same = RunCli({"-q", "--write-data", "lakes.csv", "lakes.csv"});
  EXPECT_EQ(same.exitCode, 1);
  EXPECT_EQ(same.err,
            "genosieve-cli: Output file \"lakes.csv\": is the data file being read; choose another "
            "name\n");
  EXPECT_EQ(ReadBytes("lakes.csv"), ReadBytes(Import("genalex/lakes_semicolon.csv")));
  fs::create_directory("out");
  const Outcome moved = RunCli({"-q", "-C", "out", "--write-data", "l.txt", "lakes.csv"});
  EXPECT_EQ(moved.exitCode, 0) << moved.err;
  EXPECT_EQ(moved.err, "");
  EXPECT_EQ(Entries(folder.path() / "out"), std::vector<std::string>{"l.txt"});
}

}  // namespace
