#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/fstat_reader.h"
#include "errors.h"
#include "import_fixture.h"

namespace genosieve {
namespace {

using testing::Import;
using testing::ImportError;
using testing::ImportPath;

std::string Notice(const std::string& name, int32_t codeWidth = 2) {
  return "Data file \"" + ImportPath(name) +
         "\": read as FSTAT (3 populations, 3 loci, 15 individuals; A = 20, D = " +
         std::to_string(codeWidth) + ")";
}

// Blanks between the fields, 2-digit alleles: recognised and read as the native twin.
TEST(FstatReader, BlankSeparatedFileReadsLikeTheNativeTwin) {
  const testing::Imported imported = Import(ImportPath("fstat/trout.dat"));
  ASSERT_EQ(imported.error, "");
  EXPECT_EQ(imported.notices, std::vector<std::string>{Notice("fstat/trout.dat")});
  EXPECT_EQ(imported.data.format, DataFormat::kFstat);
  testing::ExpectSameAsTwin(imported.data, "fstat/trout_twin.txt");
  EXPECT_TRUE(imported.data.populationNames.empty());
  // Individuals without names are known by their line numbers.
  EXPECT_EQ(imported.data.identifiers.front(), "5");
  EXPECT_EQ(imported.data.identifiers.back(), "19");
}

TEST(FstatReader, PopulationsNotListedTogetherAreGroupedAndSaidSo) {
  const std::string name = "fstat/trout_not_in_runs.dat";
  const testing::Imported imported = Import(ImportPath(name));
  ASSERT_EQ(imported.error, "");
  EXPECT_EQ(imported.notices,
            (std::vector<std::string>{
                Notice(name),
                "Data file \"" + ImportPath(name) +
                    "\": the individuals of a population are not all listed together (line 7 is "
                    "the first away from its population); they are grouped by population "
                    "number, populations numbered in order of first appearance (1, 2, 3)"}));
  testing::ExpectSameAsTwin(imported.data, "fstat/trout_twin.txt");
  // The identifiers follow their individuals: population 1 stood on lines 5, 7, 11, 12, 17.
  EXPECT_EQ(std::vector<std::string>(imported.data.identifiers.begin(),
                                     imported.data.identifiers.begin() + 5),
            (std::vector<std::string>{"5", "7", "11", "12", "17"}));
}

TEST(FstatReader, ShortCodesHalfMissingAndThreeDigitAlleles) {
  // Leading zeros left out (102 for 01/02, 0 when missing), TABs and CR LF: the native
  // reader refuses it, escaping the TAB it shows, and says that it reads as FSTAT; the
  // automatic choice reads it as FSTAT.
  const std::string shortCodes = ImportPath("fstat/trout_short_codes.dat");
  EXPECT_EQ(Import(shortCodes, DataFormat::kNative).error,
            "Data file \"" + shortCodes +
                "\", line 5, locus 1, second allele: '2\\x09' n'est pas une valeur "
                "enti\xC3\xA8re correcte; the file reads as FSTAT (--format fstat)");
  for (const DataFormat format : {DataFormat::kAuto, DataFormat::kFstat}) {
    const testing::Imported chosen = Import(shortCodes, format);
    ASSERT_EQ(chosen.error, "");
    EXPECT_EQ(chosen.notices,
              std::vector<std::string>{"Data file \"" + shortCodes +
                                       "\": read as FSTAT (3 populations, 3 loci, 15 "
                                       "individuals; A = 20, D = 2)"});
    testing::ExpectSameAsTwin(chosen.data, "fstat/trout_twin.txt");
  }

  const std::string halfMissing = "fstat/trout_half_missing.dat";
  const testing::Imported mended = Import(ImportPath(halfMissing));
  ASSERT_EQ(mended.error, "");
  EXPECT_EQ(mended.notices,
            (std::vector<std::string>{
                Notice(halfMissing), "Data file \"" + ImportPath(halfMissing) +
                                         "\", line 8, locus 2: the genotype '0300' has exactly one "
                                         "allele 0; it is read as missing, as FSTAT does"}));
  testing::ExpectSameAsTwin(mended.data, "fstat/trout_twin.txt");

  const testing::Imported three = Import(ImportPath("fstat/trout_three_digit.dat"));
  ASSERT_EQ(three.error, "");
  EXPECT_EQ(three.notices, std::vector<std::string>{Notice("fstat/trout_three_digit.dat", 3)});
  EXPECT_EQ(three.data.table.cells, ReadDataFile(ImportPath("fstat/trout_twin.txt")).table.cells);
}

TEST(FstatReader, OneDigitAllelesKeepTheHeaderNumbers) {
  std::vector<std::string> notices;
  const DataFile data =
      ReadFstat("2 2 9 1\nA\nB\n1 12 99\n1 21 0\n 2   34  90\n2 3 19\n", "in.dat", notices);
  // A lone digit is the second allele: 3 is 0/3, half-missing like 90.
  EXPECT_EQ(notices, std::vector<std::string>{
                         "Data file \"in.dat\", line 6, locus 2: the genotype '90' has exactly "
                         "one allele 0; it and 1 more such genotype are read as missing, as FSTAT "
                         "does"});
  EXPECT_EQ(data.header.highestAllele, 9);
  EXPECT_EQ(data.header.codeWidth, 1);
  EXPECT_EQ(data.locusNames, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(data.table.cells, (std::vector<AllelePair>{
                                  {1, 2}, {9, 9}, {2, 1}, {0, 0}, {3, 4}, {0, 0}, {0, 0}, {1, 9}}));
  EXPECT_EQ(data.table.population, (std::vector<int32_t>{1, 1, 2, 2}));
}

TEST(FstatReader, RefusesWhatItCannotReadWithLineAndLocus) {
  struct Case {
    const char* name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"fstat/populations_disagree.dat",
       "Data file \"<path>\", line 1: the header gives P = 4 populations, but the individual "
       "lines hold 3 population numbers (1, 2, 3)"},
      {"fstat/allele_above_a.dat",
       "Data file \"<path>\", line 7, locus 3, second allele: allele 21 is above the highest "
       "allele number A = 20 of the header"},
      {"fstat/genotype_letters.dat",
       "Data file \"<path>\", line 8, locus 1: '01o1' is not a genotype: with D = 2 a genotype "
       "is a number of at most 4 digits, the last 2 of which are the second allele (0 when "
       "missing)"},
      {"fstat/genotype_count.dat",
       "Data file \"<path>\", line 10: the line holds 2 genotypes after the population number, "
       "L = 3"},
  };
  for (const Case& c : cases) EXPECT_EQ(ImportError(c.name), c.expected) << c.name;
  // Four digits per allele is beyond FSTAT's three.
  EXPECT_EQ(ImportError("fstat/code_width_four.dat", DataFormat::kFstat),
            "Data file \"<path>\", line 1: the allele code width D is 4; FSTAT writes alleles "
            "with 1, 2 or 3 digits");
}

TEST(FstatReader, RefusesBadHeadersAndShortFiles) {
  const auto error = [](const std::string& text) {
    std::vector<std::string> notices;
    try {
      ReadFstat(text, "in.dat", notices);
    } catch (const RunError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  // What the header line holds, numbers or words, and what it should.
  EXPECT_EQ(error("2 2 9\n"),
            "Data file \"in.dat\", line 1: the header line holds 3 words ('2', '2', '9'); an "
            "FSTAT header holds the four numbers P L A D");
  EXPECT_EQ(error("Zostera marina\nLoc1\n"),
            "Data file \"in.dat\", line 1: the header line holds 2 words ('Zostera', 'marina'); "
            "an FSTAT header holds the four numbers P L A D");
  EXPECT_EQ(error("Title\nLoc1\n"),
            "Data file \"in.dat\", line 1: the header line holds 1 word ('Title'); an FSTAT "
            "header holds the four numbers P L A D");
  EXPECT_EQ(error(""),
            "Data file \"in.dat\", line 1: the header line is empty; an FSTAT header holds the "
            "four numbers P L A D");
  EXPECT_EQ(error("2 1 20 1\nA\n1 11\n2 11\n"),
            "Data file \"in.dat\", line 1: the highest allele number A is 20, which does not fit "
            "in D = 1 digit (alleles of D digits go up to 9)");
  EXPECT_EQ(error("2 2 9 1 x\n"),
            "Data file \"in.dat\", line 1: text after the four header numbers P L A D: 'x'");
  EXPECT_EQ(
      error("2 2 x 1\n"),
      "Data file \"in.dat\", line 1, header number A: 'x' n'est pas une valeur enti\xC3\xA8re "
      "correcte");
  EXPECT_EQ(
      error("0 2 9 1\n"),
      "Data file \"in.dat\", line 1: the number of populations P is 0; it must be at least 1");
  EXPECT_EQ(error("1 0 9 1\n"),
            "Data file \"in.dat\", line 1: the number of loci L is 0; it must be at least 1");
  EXPECT_EQ(error("1 1 1000 1\n"),
            "Data file \"in.dat\", line 1: the highest allele number A is 1000; it must be "
            "between 1 and 999 (recode larger alleles)");
  EXPECT_EQ(error("1 1 9 0\n"),
            "Data file \"in.dat\", line 1: the allele code width D is 0; FSTAT writes alleles "
            "with 1, 2 or 3 digits");
  EXPECT_EQ(error("1 3 9 1\nA\nB\n"),
            "Data file \"in.dat\": the file ends inside the locus names: L = 3 locus-name lines "
            "follow the header");
  EXPECT_EQ(error("1 1 9 1\nA\n1 11\n"),
            "Data file \"in.dat\": the file holds 1 individual; the Run needs at least two");
  EXPECT_EQ(error("1 1 9 1\nA\n1 11\nx 11\n"),
            "Data file \"in.dat\", line 4, population number: 'x' n'est pas une valeur "
            "enti\xC3\xA8re correcte");
}

}  // namespace
}  // namespace genosieve
