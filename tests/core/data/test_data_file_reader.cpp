#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "data/data_file_reader.h"
#include "errors.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::WriteBytes;

// The message of the RunError that reading `path` throws ("" when it reads).
std::string ReadError(const std::string& path) {
  try {
    const DataFile data = ReadDataFile(path);
    BuildPopulationIndex(data);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

// Writes `bytes` as data.txt in the working folder and returns the reading error.
std::string ErrorFor(const std::string& bytes) {
  WriteBytes("data.txt", bytes);
  return ReadError("data.txt");
}

std::vector<AllelePair> Row(const DataFile& data, int32_t row) {
  std::vector<AllelePair> cells;
  for (int32_t locus = 0; locus < data.table.loci; ++locus) {
    cells.push_back(data.table.at(row, locus));
  }
  return cells;
}

// crlf.txt: three populations (numbers 7, 3, 9) of 2, 3 and 1 individuals, two loci,
// with doubled TABs, a blank separator, TABs before the line end and missing genotypes.
void ExpectSixIndividualTable(const DataFile& data) {
  EXPECT_EQ(data.header.populations, 3);
  EXPECT_EQ(data.header.loci, 2);
  EXPECT_EQ(data.header.highestAllele, 200);
  EXPECT_EQ(data.header.codeWidth, 3);
  EXPECT_EQ(data.locusNames, (std::vector<std::string>{"Loc1", "Loc 2"}));
  ASSERT_EQ(data.table.loci, 2);
  EXPECT_EQ(data.table.population, (std::vector<int32_t>{7, 7, 3, 3, 3, 9}));
  ASSERT_EQ(data.table.rows(), 6);
  ASSERT_EQ(data.table.cells.size(), 12u);
  EXPECT_EQ(Row(data, 0), (std::vector<AllelePair>{{120, 124}, {0, 0}}));
  EXPECT_EQ(Row(data, 1), (std::vector<AllelePair>{{120, 120}, {130, 132}}));
  EXPECT_EQ(Row(data, 2), (std::vector<AllelePair>{{124, 124}, {132, 132}}));
  EXPECT_EQ(Row(data, 3), (std::vector<AllelePair>{{120, 124}, {130, 130}}));
  EXPECT_EQ(Row(data, 4), (std::vector<AllelePair>{{0, 0}, {132, 130}}));
  EXPECT_EQ(Row(data, 5), (std::vector<AllelePair>{{124, 120}, {200, 1}}));
  EXPECT_EQ(BuildPopulationIndex(data), (PopulationIndex{0, 2, 5, 6}));
}

TEST(DataFileReader, ReadsCrLfLfAndUnendedFilesAlike) {
  const DataFile crlf = ReadDataFile(TestDataPath("reader/crlf.txt").string());
  EXPECT_EQ(crlf.lineCount, 9);
  EXPECT_EQ(crlf.path, TestDataPath("reader/crlf.txt").string());
  ExpectSixIndividualTable(crlf);

  const DataFile lf = ReadDataFile(TestDataPath("reader/lf.txt").string());
  EXPECT_EQ(lf.lineCount, 9);
  ExpectSixIndividualTable(lf);

  const DataFile unended = ReadDataFile(TestDataPath("reader/no_final_line_end.txt").string());
  EXPECT_EQ(unended.lineCount, 9);
  ExpectSixIndividualTable(unended);
}

TEST(DataFileReader, LfEndsALineRightAfterTheLastGenotype) {
  // The separator read after the last genotype is the LF itself: the next line's
  // population number must keep its first character.
  const DataFile data = ReadDataFile(TestDataPath("reader/lf_tight.txt").string());
  EXPECT_EQ(data.table.population, (std::vector<int32_t>{1, 1, 2}));
  EXPECT_EQ(Row(data, 0), (std::vector<AllelePair>{{120, 124}, {130, 132}}));
  EXPECT_EQ(Row(data, 1), (std::vector<AllelePair>{{120, 120}, {130, 130}}));
  EXPECT_EQ(Row(data, 2), (std::vector<AllelePair>{{124, 124}, {132, 132}}));
  EXPECT_EQ(BuildPopulationIndex(data), (PopulationIndex{0, 2, 3}));

  ScopedWorkingFolder folder;
  // Population numbers of several digits, CR LF without TAB after the last genotype,
  // CR alone as a line end, and no line end at all.
  WriteBytes("data.txt", "2 1 99 2\r\nX\r\n12\t0102\r\n12\t0304\r345\t0506\n  345\t0000");
  const DataFile mixed = ReadDataFile("data.txt");
  EXPECT_EQ(mixed.lineCount, 6);
  EXPECT_EQ(mixed.table.population, (std::vector<int32_t>{12, 12, 345, 345}));
  EXPECT_EQ(Row(mixed, 0), (std::vector<AllelePair>{{1, 2}}));
  EXPECT_EQ(Row(mixed, 1), (std::vector<AllelePair>{{3, 4}}));
  EXPECT_EQ(Row(mixed, 2), (std::vector<AllelePair>{{5, 6}}));
  EXPECT_EQ(Row(mixed, 3), (std::vector<AllelePair>{{0, 0}}));
}

TEST(DataFileReader, HeaderVariantsReadAlike) {
  ScopedWorkingFolder folder;
  const std::string body = "First locus\r\n1\t101102\t\r\n2\t103104\t\r\n";
  for (const std::string header :
       {"2 1 200 3\r\n", "2 1 200 3 \r\n", "2  1   200 3\tcomment\r\n", "2\t1 200 3 x y\r\n"}) {
    SCOPED_TRACE(header);
    WriteBytes("data.txt", header + body);
    const DataFile data = ReadDataFile("data.txt");
    EXPECT_EQ(data.header.populations, 2);
    EXPECT_EQ(data.header.loci, 1);
    EXPECT_EQ(data.header.highestAllele, 200);
    EXPECT_EQ(data.header.codeWidth, 3);
    EXPECT_EQ(data.locusNames, (std::vector<std::string>{"First locus"}));
    EXPECT_EQ(data.table.population, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Row(data, 1), (std::vector<AllelePair>{{103, 104}}));
  }
}

// A UTF-8 byte order mark, as Notepad writes, stands before the header: skipped, and the
// header is still line 1.
TEST(DataFileReader, ByteOrderMarkIsSkipped) {
  ScopedWorkingFolder folder;
  const std::string bom = "\xEF\xBB\xBF";
  WriteBytes("data.txt", bom + "2 1 200 3\r\nA\r\n1\t120124\r\n2\t124124\r\n");
  const DataFile data = ReadDataFile("data.txt");
  EXPECT_EQ(data.header.populations, 2);
  EXPECT_EQ(data.locusNames, std::vector<std::string>{"A"});
  EXPECT_EQ(Row(data, 1), (std::vector<AllelePair>{{124, 124}}));
  EXPECT_EQ(ErrorFor(bom + "2 x 200 3\r\nA\r\n1\t120124\r\n2\t124124\r\n"),
            "Data file \"data.txt\", line 1, header number L: 'x' n'est pas une valeur "
            "enti\xC3\xA8re correcte");
  // Only at the start of the file, and only whole.
  EXPECT_NE(ErrorFor("\xEF\xBB" + std::string("2 1 200 3\r\nA\r\n1\t120124\r\n2\t124124\r\n"))
                .find("header number P: '\\xEF\\xBB2'"),
            std::string::npos);
}

TEST(DataFileReader, CodeWidthAndMissingAlleles) {
  ScopedWorkingFolder folder;
  WriteBytes("data.txt", "1 2 999 3\r\nA\r\nB\r\n5\t000000\t999001\t\r\n5\t123456 000000\r\n");
  const DataFile data = ReadDataFile("data.txt");
  EXPECT_EQ(Row(data, 0), (std::vector<AllelePair>{{0, 0}, {999, 1}}));
  EXPECT_EQ(Row(data, 1), (std::vector<AllelePair>{{123, 456}, {0, 0}}));
  EXPECT_EQ(BuildPopulationIndex(data), (PopulationIndex{0, 2}));
}

TEST(DataFileReader, PopulationIndexFollowsRunsOfPopulationNumbers) {
  ScopedWorkingFolder folder;
  const std::string lines =
      "7\t101101\r\n7\t101101\r\n3\t101101\r\n3\t101101\r\n3\t101101\r\n9\t101101\r\n";
  WriteBytes("data.txt", "3 1 101 3\r\nA\r\n" + lines);
  EXPECT_EQ(BuildPopulationIndex(ReadDataFile("data.txt")), (PopulationIndex{0, 2, 5, 6}));
  // More runs than P: every run after the P-th belongs to population P.
  WriteBytes("data.txt", "2 1 101 3\r\nA\r\n" + lines);
  EXPECT_EQ(BuildPopulationIndex(ReadDataFile("data.txt")), (PopulationIndex{0, 2, 6}));
  WriteBytes("data.txt", "1 1 101 3\r\nA\r\n" + lines);
  EXPECT_EQ(BuildPopulationIndex(ReadDataFile("data.txt")), (PopulationIndex{0, 6}));
}

TEST(DataFileReader, ShiftedGenotypesAreRefusedNotMisread) {
  ScopedWorkingFolder folder;
  // Two blanks between genotypes shift the second genotype by one character.
  std::string error = ErrorFor("1 2 200 3\r\nA\r\nB\r\n1\t120124  130132\r\n1\t120124\t130132\r\n");
  EXPECT_NE(error.find("\"data.txt\", line 4"), std::string::npos) << error;
  EXPECT_NE(error.find("locus 2"), std::string::npos) << error;
  // A wrong code width: four-digit alleles read with D = 3.
  error = ErrorFor("1 1 200 3\r\nA\r\n1\t01200124\r\n1\t01200124\r\n");
  EXPECT_NE(error.find("line 3, locus 1: the genotype is followed by '2'"), std::string::npos)
      << error;
  // A blank instead of the TAB after the population number.
  error = ErrorFor("1 1 200 3\r\nA\r\n1\t120124\r\n1 120124\r\n");
  EXPECT_NE(error.find("line 4, population number"), std::string::npos) << error;
  // More genotypes than L.
  error = ErrorFor("1 1 200 3\r\nA\r\n1\t120124\t130130\r\n1\t120124\r\n");
  EXPECT_NE(error.find("line 3: text after the last genotype"), std::string::npos) << error;
  // Fewer genotypes than L.
  error = ErrorFor("1 2 200 3\r\nA\r\nB\r\n1\t120124\t\r\n1\t120124\t130130\r\n");
  EXPECT_NE(error.find("line 4: the line holds 1 genotypes, L = 2"), std::string::npos) << error;
}

TEST(DataFileReader, ConversionErrorsKeepTheFrenchMessage) {
  ScopedWorkingFolder folder;
  std::string error = ErrorFor("2 x 200 3\r\nA\r\n1\t120124\r\n2\t120124\r\n");
  EXPECT_NE(error.find("\"data.txt\", line 1, header number L: "
                       "'x' n'est pas une valeur entière correcte"),
            std::string::npos)
      << error;
  error = ErrorFor("1 1 200 3\r\nA\r\n1\t120124\r\n1\t12a124\r\n");
  EXPECT_NE(
      error.find("line 4, locus 1, first allele: '12a' n'est pas une valeur entière correcte"),
      std::string::npos)
      << error;
  error = ErrorFor("1 1 200 3\r\nA\r\n1\t120124\r\npop\t120124\r\n");
  EXPECT_NE(error.find("line 4, population number: 'pop' n'est pas une valeur entière correcte"),
            std::string::npos)
      << error;
  // A TAB before a header number becomes part of its text.
  error = ErrorFor("1 \t1 200 3\r\nA\r\n1\t120124\r\n1\t120124\r\n");
  EXPECT_NE(error.find("header number L: '\\x091' n'est pas une valeur entière correcte"),
            std::string::npos)
      << error;
}

TEST(DataFileReader, RefusesFilesTheAnalysisCannotHandle) {
  ScopedWorkingFolder folder;
  const std::string names = "A\r\n";
  const std::string twoLines = "1\t120124\r\n2\t120124\r\n";
  struct Case {
    std::string bytes;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"2 1 200\r\n" + names + twoLines, "line 1: the header line ends before header number D"},
      {"0 1 200 3\r\n" + names + twoLines, "line 1: the number of populations P is 0"},
      {"2 0 200 3\r\n" + names + twoLines, "line 1: the number of loci L is 0"},
      {"2 1 200 0\r\n" + names + twoLines, "line 1: the allele code width D is 0"},
      {"2 1 200 -3\r\n" + names + twoLines, "line 1: the allele code width D is -3"},
      {"2 1 1000 4\r\n" + names + "1\t01000100\r\n2\t01000100\r\n",
       "line 1: the highest allele number A is 1000; it must be between 1 and 999"},
      {"2 1 0 3\r\n" + names + "1\t000000\r\n2\t000000\r\n",
       "line 1: the highest allele number A is 0"},
      {"2 1 200 3\r\n" + names + "1\t120124\r\n", "at least two individual lines (it holds 1)"},
      {"2 1 200 3\n" + names + "1\t120124\r\n2\t120124\r\n" + "\r\n",
       "line 5: the file ends inside an individual line"},
      {"2 1 200 3\r\n" + names + "1\t120124\r\n\r\n2\t120124\r\n", "line 4: the line is empty"},
      {"2 1 200 3\r\n" + names + "1\t120124\r\n2\t1201", "line 4: the file ends inside"},
      {"2 1 200 3\r\n" + names + "1\t120124\r\n2\t1201\r\n", "line 4, locus 1, second allele"},
      {"2 1 200 3\r\n" + names + "1\t120124\r\n2", "line 4: the file ends inside"},
      {"2 1 200 3\r\n" + names + "1\t120124\r\n1\t120124\r\n",
       "line 1: the header gives P = 2 populations, but the individual lines (lines 3 to 4) "
       "hold only 1 run of"},
      {"2 1 200 3\r\n" + names + "1\t120201\r\n2\t120124\r\n",
       "line 3, locus 1, second allele: allele 201 is above the highest allele number A = 200"},
      {"2 1 999 4\r\n" + names + "1\t01201000\r\n2\t01200124\r\n",
       "line 1: the allele code width D is 4; it must be 1, 2 or 3"},
      {"2 1 200 2\r\n" + names + "1\t1201\r\n2\t1224\r\n",
       "line 1: the highest allele number A is 200, which does not fit in D = 2 digits (alleles "
       "of D digits go up to 99)"},
      {"2 1 10 1\r\n" + names + "1\t12\r\n2\t12\r\n",
       "line 1: the highest allele number A is 10, which does not fit in D = 1 digit (alleles of "
       "D digits go up to 9)"},
      {"2 1 999 3\r\n" + names + "1\t120124\r\n2\t-12124\r\n",
       "line 4, locus 1, first allele: allele -12 is below 0"},
      {"2 1 200 3\r\n" + names + "1\t120000\r\n2\t120124\r\n",
       "line 3, locus 1: the genotype has exactly one allele 0"},
      {"2 1 200 3\r\n" + names + "1\t120124\r\n2\t000124\r\n",
       "line 4, locus 1: the genotype has exactly one allele 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const std::string error = ErrorFor(c.bytes);
    EXPECT_NE(error.find("Data file \"data.txt\", "), std::string::npos) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(DataFileReader, TrailingEmptyLineIsAnIndividualTheFileDoesNotHold) {
  const std::string path = TestDataPath("reader/trailing_empty_line.txt").string();
  const std::string error = ReadError(path);
  EXPECT_NE(error.find("\"" + path + "\", line 10: the file ends inside an individual line"),
            std::string::npos)
      << error;
}

TEST(DataFileReader, HugeHeaderCountsInASmallFileFailCleanly) {
  ScopedWorkingFolder folder;
  // Nothing is sized from these numbers: the small file runs out first.
  std::string error = ErrorFor("1 2147483647 999 3\r\nA\r\n1\t120124\r\n1\t120124\r\n");
  EXPECT_NE(error.find("line 4: the file has 4 lines"), std::string::npos) << error;
  error = ErrorFor("2147483647 1 999 3\r\nA\r\n1\t120124\r\n2\t120124\r\n");
  EXPECT_NE(error.find("the header gives P = 2147483647 populations"), std::string::npos) << error;
  error = ErrorFor("1 1 999 2147483647\r\nA\r\n1\t120124\r\n1\t120124\r\n");
  EXPECT_NE(error.find("line 1: the allele code width D is 2147483647; it must be 1, 2 or 3"),
            std::string::npos)
      << error;
  // Many loci, as many as the file really holds.
  std::string bytes = "1 3000 999 3\r\n";
  for (int k = 0; k < 3000; ++k) {
    bytes += 'L';
    bytes += std::to_string(k);
    bytes += "\r\n";
  }
  for (int row = 0; row < 2; ++row) {
    bytes += "1";
    for (int k = 0; k < 3000; ++k) {
      bytes += '\t';
      bytes += std::to_string(100 + k % 900);
      bytes += "999";
    }
    bytes += "\r\n";
  }
  WriteBytes("data.txt", bytes);
  const DataFile data = ReadDataFile("data.txt");
  EXPECT_EQ(data.table.rows(), 2);
  EXPECT_EQ(data.table.at(1, 2999), (AllelePair{100 + 2999 % 900, 999}));
  EXPECT_EQ(data.locusNames.back(), "L2999");
}

TEST(DataFileReader, FileErrorsUseTheIoMessages) {
  ScopedWorkingFolder folder;
  EXPECT_EQ(ReadError("no such file.txt"), "Fichier introuvable");
  EXPECT_EQ(ReadError(""), "Fichier introuvable");
  EXPECT_EQ(ReadError(folder.path().string()), "Accès au fichier refusé");
  WriteBytes("data.txt", "");
  EXPECT_EQ(ReadError("data.txt/inside"), "Nom de fichier incorrect");
  EXPECT_EQ(ReadError(std::string(5000, 'x')), "Nom de fichier incorrect");
}

}  // namespace
// A text of 600 individuals of 500 loci, two populations, with the line ends of `kind`
// (0: CR LF, 1: LF, 2: CR, 3: a mix), without a line end after the last line when
// `unended`.
std::string LargeText(std::mt19937& random, int kind, bool unended) {
  const char* const ends[] = {"\r\n", "\n", "\r"};
  auto end = [&] { return std::string(ends[kind < 3 ? kind : random() % 3]); };
  std::string text = "2 500 99 2 ";
  text += end();
  for (int locus = 1; locus <= 500; ++locus) {
    text += 'L';
    text += std::to_string(locus);
    text += end();
  }
  for (int row = 0; row < 600; ++row) {
    text += row < 300 ? "1\t" : "2\t";
    for (int locus = 0; locus < 500; ++locus) {
      const unsigned first = random() % 100;
      const unsigned second = first == 0 ? 0 : 1 + random() % 99;
      char field[8];
      std::snprintf(field, sizeof field, "%02u%02u%s", first, second, locus < 499 ? "\t" : "");
      text += field;
    }
    if (row < 599 || !unended) text += end();
  }
  return text;
}

struct Outcome {
  std::string error;
  std::vector<int32_t> population;
  std::vector<AllelePair> cells;
  std::vector<std::string> identifiers;
  bool operator==(const Outcome&) const = default;
};

Outcome ReadOn(const std::string& text, int threads) {
  Outcome outcome;
  try {
    std::vector<std::string> notices;
    const DataFile data = ReadDataText(text, "data.txt", notices, threads);
    outcome.population = data.table.population;
    outcome.cells = data.table.cells;
    outcome.identifiers = data.identifiers;
  } catch (const RunError& error) {
    outcome.error = error.what();
  }
  return outcome;
}

// A large text read on several threads gives the table one thread gives, and the same
// first error wherever the faults lie, line ends of every kind.
TEST(DataFileReader, ALargeTextReadsAlikeOnAnyNumberOfThreads) {
  std::mt19937 random(11);
  const std::vector<std::string> faults = {"", "\r", "\t0102x", "\t\t", "1", "0001"};
  for (int trial = 0; trial < 24; ++trial) {
    SCOPED_TRACE(trial);
    std::string text = LargeText(random, trial % 4, trial % 5 == 0);
    // Faults at places spread over the text, the earliest decides.
    const int faultCount = trial % 3;
    for (int f = 0; f < faultCount; ++f) {
      const size_t at = text.size() / 2 + (random() % (text.size() / 2));
      text.insert(at, faults[random() % faults.size()]);
    }
    const Outcome one = ReadOn(text, 1);
    if (faultCount == 0) {
      ASSERT_EQ(one.error, "");
      ASSERT_EQ(one.cells.size(), 600u * 500u);
      EXPECT_EQ(one.identifiers.back(), "1101");
    }
    for (const int threads : {2, 3, 7}) {
      SCOPED_TRACE(threads);
      EXPECT_TRUE(ReadOn(text, threads) == one) << one.error;
    }
  }
}

}  // namespace genosieve
