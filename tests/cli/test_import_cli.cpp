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
            "pas une valeur enti\xC3\xA8re correcte; the file reads as Genepop (--format "
            "genepop)\n");

  // An FSTAT file with TABs, short codes and a one-digit 0: the native reader refuses it
  // and says what reads it; the automatic choice reads it as FSTAT.
  const Outcome refused = RunCli({"-n", "2", "--format", "native", "short.dat"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err,
            "genosieve-cli: Data file \"short.dat\", line 5, locus 1, second allele: '2\\x09' "
            "n'est pas une valeur enti\xC3\xA8re correcte; the file reads as FSTAT (--format "
            "fstat)\n");
  const Outcome recognised = RunCli({"-n", "2", "--seed", "1", "short.dat"});
  EXPECT_EQ(recognised.exitCode, 0) << recognised.err;
  EXPECT_EQ(recognised.err.substr(0, recognised.err.find('\n')),
            "genosieve-cli: Data file \"short.dat\": read as FSTAT (3 populations, 3 loci, 15 "
            "individuals; A = 20, D = 2)");
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

// Whether `bytes` is valid UTF-8 (no overlong forms, surrogates or values beyond Unicode).
bool ValidUtf8(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    uint32_t value = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    const uint32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < lowest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// A file that reads two ways with different populations stops before anything is
// written, naming both readings and the --format that picks each; each runs when chosen.
TEST(ImportCli, TwoReadingsStopTheRunUntilOneIsChosen) {
  ScopedWorkingFolder folder;
  genosieve::testing::WriteBytes(
      "runs.txt",
      "2 2 200 3\r\nL1\r\nL2\r\n1\t120124\t130132\t\r\n1\t120124\t130132\t\r\n"
      "2\t124124\t132132\t\r\n2\t120120\t130130\t\r\n1\t120124\t130132\t\r\n"
      "1\t124124\t130130\t\r\n");
  for (const bool quiet : {false, true}) {
    std::vector<std::string> args = {"-n", "5", "runs.txt"};
    if (quiet) args.insert(args.begin(), "-q");
    const Outcome outcome = RunCli(args);
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err,
              "genosieve-cli: Data file \"runs.txt\": the file reads in two layouts, which give "
              "different populations: as FSTAT (--format fstat), 2 populations of 4 and 2 "
              "individuals, 2 loci; as native (--format native), 2 populations of 2 and 4 "
              "individuals, 2 loci; choose one with --format\n");
    EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"runs.txt"});
  }
  for (const char* format : {"native", "fstat"}) {
    const Outcome chosen = RunCli({"-q", "-n", "5", "--format", format, "-o", format, "runs.txt"});
    EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_EQ(chosen.out, "done ! \n");
  }
  EXPECT_NE(ReadBytes("Clones_native"), ReadBytes("Clones_fstat"));
}

// Names saved by Excel in Windows-1252 reach every file with names as UTF-8; names that
// are UTF-8 keep every byte.
TEST(ImportCli, EveryFileWithNamesIsUtf8) {
  ScopedWorkingFolder folder;
  const std::string rows = "Sample,Pop,L1,,L2,\n";
  genosieve::testing::WriteBytes(
      "latin.csv", "2,6,2,3,3\nt,,,Gen\xE8ve,Z\xFCrich\n" + rows +
                       "Jos\xE9,Gen\xE8ve,1,2,3,3\nb,Gen\xE8ve,1,1,3,4\nc,Gen\xE8ve,1,2,3,3\n"
                       "d,Z\xFCrich,2,2,4,4\ne,Z\xFCrich,1,2,3,4\nf,Z\xFCrich,1,1,4,4\n");
  genosieve::testing::WriteBytes(
      "utf8.csv",
      "2,6,2,3,3\nt,,,Gen\xC3\xA8ve,Z\xC3\xBCrich\n" + rows +
          "Jos\xC3\xA9,Gen\xC3\xA8ve,1,2,3,3\nb,Gen\xC3\xA8ve,1,1,3,4\nc,Gen\xC3\xA8ve,1,"
          "2,3,3\nd,Z\xC3\xBCrich,2,2,4,4\ne,Z\xC3\xBCrich,1,2,3,4\nf,Z\xC3\xBCrich,1,1,"
          "4,4\n");
  for (const char* name : {"latin", "utf8"}) {
    const Outcome outcome = RunCli({"-q", "-n", "5", "--seed", "1", "--per-locus", "--per-pop",
                                    "-o", std::string(name) + ".txt", std::string(name) + ".csv"});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  }
  for (const char* output : {"Clonemembers_", "Summary_"}) {
    SCOPED_TRACE(output);
    const std::string suffix = std::string(output) == "Summary_" ? ".tsv" : ".txt";
    const std::string latin = ReadBytes(std::string(output) + "latin" + suffix);
    const std::string utf8 = ReadBytes(std::string(output) + "utf8" + suffix);
    EXPECT_TRUE(ValidUtf8(latin));
    EXPECT_NE(latin.find("Gen\xC3\xA8ve"), std::string::npos);
    EXPECT_NE(utf8.find("Z\xC3\xBCrich"), std::string::npos);
  }
  EXPECT_EQ(ReadBytes("Clonemembers_latin.txt"), ReadBytes("Clonemembers_utf8.txt"));
  EXPECT_NE(ReadBytes("Clonemembers_utf8.txt").find("Jos\xC3\xA9"), std::string::npos);
}

// A native file saved by Notepad with a byte order mark runs as the file without it.
TEST(ImportCli, NativeFileWithAByteOrderMarkRuns) {
  ScopedWorkingFolder folder;
  const std::string text = ReadBytes(genosieve::testing::ExamplePath("aspen.txt"));
  genosieve::testing::WriteBytes("bom.txt", "\xEF\xBB\xBF" + text);
  genosieve::testing::WriteBytes("plain.txt", text);
  for (const char* format : {"auto", "native"}) {
    SCOPED_TRACE(format);
    fs::remove_all("bom");
    fs::remove_all("plain");
    EXPECT_EQ(RunInFolder("bom", "bom.txt", {"-q", "--format", format}).exitCode, 0);
    EXPECT_EQ(RunInFolder("plain", "plain.txt", {"-q", "--format", format}).exitCode, 0);
    for (const std::string& name : Entries(folder.path() / "plain")) {
      EXPECT_EQ(ReadBytes(folder.path() / "bom" / name), ReadBytes(folder.path() / "plain" / name))
          << name;
    }
  }
}

// The files of tests/data/real/ write the same data automatically and by name.
TEST(ImportCli, RealFilesReadAutomaticallyAndByName) {
  ScopedWorkingFolder folder;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"zostera_genepop_wrapped.gen", "genepop"},
      {"zostera_numeric_title.txt", "genepop"},
      {"zostera_genalex_no_sizes.csv", "genalex"},
      {"zostera_genalex_tab.txt", "genalex"},
      {"zostera_genalex_windows1252.csv", "genalex"},
      {"pram_fstat_tab_zero.dat", "fstat"},
      {"zostera_native_bom.txt", "native"}};
  for (const auto& [name, format] : files) {
    SCOPED_TRACE(name);
    const std::string path = TestDataPath("real/" + name).string();
    const Outcome automatic = RunCli({"-q", "--write-data", "auto.txt", path});
    EXPECT_EQ(automatic.exitCode, 0) << automatic.err;
    const Outcome named = RunCli({"-q", "--format", format, "--write-data", "named.txt", path});
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(ReadBytes("auto.txt"), ReadBytes("named.txt"));
    EXPECT_TRUE(ValidUtf8(ReadBytes("auto.txt")));
  }
}

}  // namespace
