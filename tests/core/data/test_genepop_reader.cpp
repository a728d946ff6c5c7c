#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/genepop_reader.h"
#include "errors.h"
#include "import_fixture.h"

namespace genosieve {
namespace {

using testing::Import;
using testing::ImportError;
using testing::ImportPath;

std::string Notice(const std::string& name) {
  return "Data file \"" + ImportPath(name) +
         "\": read as Genepop (3 populations, 3 loci, 18 individuals; A = 134, D = 3)";
}

// The error of ReadGenepop on `text` ("" when it reads).
std::string ErrorFor(const std::string& text) {
  std::vector<std::string> notices;
  try {
    ReadGenepop(text, "in.gen", notices);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(GenepopReader, ReadsTheSameDataAsTheNativeTwin) {
  const testing::Imported imported = Import(ImportPath("genepop/zostera.gen"));
  ASSERT_EQ(imported.error, "");
  EXPECT_EQ(imported.notices, std::vector<std::string>{Notice("genepop/zostera.gen")});
  const DataFile& data = imported.data;
  EXPECT_EQ(data.format, DataFormat::kGenepop);
  testing::ExpectSameAsTwin(data, "genepop/zostera_twin.txt");
  // Populations are named after their last individual.
  EXPECT_EQ(data.populationNames, (std::vector<std::string>{"AB-07", "CD-06", "EF-05"}));
  ASSERT_EQ(data.identifiers.size(), 18u);
  EXPECT_EQ(data.identifiers[0], "AB-01");
  EXPECT_EQ(data.identifiers[9], "CD-03");  // the individual whose line wraps
  EXPECT_EQ(data.identifiers[17], "EF-05");
}

// Each well-known pitfall, on the same data: names holding "pop", Pop lines with blanks
// around, a blank title with comma-separated locus names, a final empty line, CR LF.
TEST(GenepopReader, PitfallsReadLikeTheMainFile) {
  for (const char* name :
       {"genepop/pitfall_name_with_pop.gen", "genepop/pitfall_pop_trailing_blanks.gen",
        "genepop/pitfall_blank_title.gen", "genepop/pitfall_final_empty_line.gen",
        "genepop/pitfall_crlf.gen"}) {
    SCOPED_TRACE(name);
    const testing::Imported imported = Import(ImportPath(name));
    ASSERT_EQ(imported.error, "");
    EXPECT_EQ(imported.notices, std::vector<std::string>{Notice(name)});
    testing::ExpectSameAsTwin(imported.data, "genepop/zostera_twin.txt");
  }
  const DataFile named = Import(ImportPath("genepop/pitfall_name_with_pop.gen")).data;
  EXPECT_EQ(named.identifiers[0], "pop");
  EXPECT_EQ(named.identifiers[1], "Pop 1-2");
  EXPECT_EQ(named.identifiers[7], "Popeye");
  EXPECT_EQ(named.populationNames[2], "pop3");
}

TEST(GenepopReader, RefusesWhatItCannotReadWithLineAndLocus) {
  struct Case {
    const char* name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"genepop/haploid.gen",
       "Data file \"<path>\", line 5, locus 1: '120' is a haploid genotype (one allele of 3 "
       "digits); the program analyses diploid data: each genotype holds two alleles, 4 or 6 "
       "digits"},
      {"genepop/mixed_width.gen",
       "Data file \"<path>\", line 8, locus 1: '100102' has 6 digits, the genotypes before it "
       "at this locus 4; within a locus every genotype has the same width"},
      {"genepop/no_pop_line.gen",
       "Data file \"<path>\": no Pop line; a Genepop file holds a title line, the locus names, "
       "then each population after a line that reads Pop (line 4 starts with Pop, but a Pop "
       "line holds the word Pop alone)"},
      {"genepop/numbered_pop_line.gen",
       "Data file \"<path>\", line 6: the line is neither a Pop line nor an individual line "
       "(identifier, comma, then the genotypes); a Pop line holds the word Pop alone"},
      {"genepop/empty_population.gen",
       "Data file \"<path>\", line 6: population 2 holds no individual"},
      {"genepop/short_individual.gen",
       "Data file \"<path>\", line 7: the individual holds 2 genotypes, L = 3 (a line may wrap "
       "between genotypes; the next individual or Pop line starts a new one)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ImportError(c.name), c.expected) << c.name;
    // The extension alone is enough to recognise a Genepop file that is not quite right.
    EXPECT_EQ(ImportError(c.name, DataFormat::kGenepop), c.expected) << c.name;
  }
}

TEST(GenepopReader, RefusesMalformedGenotypesAndNames) {
  const std::string head = "t\nL1, L2\nPop\n";
  EXPECT_EQ(ErrorFor(head + "a , 0102 01x2\nb , 0102 0102\n"),
            "Data file \"in.gen\", line 4, locus 2: '01x2' is not a genotype: a Genepop genotype "
            "is 4 or 6 digits, two alleles of 2 or 3 digits (0000 or 000000 when missing)");
  EXPECT_EQ(ErrorFor(head + "a , 0102 01020\nb , 0102 0102\n"),
            "Data file \"in.gen\", line 4, locus 2: '01020' has 5 digits; a Genepop genotype has "
            "4 or 6 (two alleles of 2 or 3 digits)");
  EXPECT_EQ(ErrorFor(head + "a , 0102 0102 0303\nb , 0102 0102\n"),
            "Data file \"in.gen\", line 4: the individual of line 4 holds more than L = 2 "
            "genotypes");
  EXPECT_EQ(ErrorFor(head + "a\tb , 0102 0102\nb , 0102 0102\n"),
            "Data file \"in.gen\", line 4: the identifier 'a\\x09b' holds a TAB or a line end; "
            "names are written to TAB-separated files, one individual per line");
  EXPECT_EQ(ErrorFor(head + "a , 0102 0102\n"),
            "Data file \"in.gen\": the file holds 1 individual; the Run needs at least two");
  EXPECT_EQ(ErrorFor(head + "a , 0000 0000\nb , 000000 0000\n"),
            "Data file \"in.gen\": every genotype is missing; the Run needs at least one allele "
            "that is not 0");
  EXPECT_EQ(ErrorFor("title\nPop\na , 0101\n"),
            "Data file \"in.gen\", line 2: the first Pop line comes before any locus name (line 1 "
            "is the title, the locus names follow it)");
  EXPECT_EQ(ErrorFor(""),
            "Data file \"in.gen\": no Pop line; a Genepop file holds a title line, the locus "
            "names, then each population after a line that reads Pop");
}

TEST(GenepopReader, HalfMissingGenotypesAreMissingWithOneWarning) {
  std::vector<std::string> notices;
  const DataFile data = ReadGenepop(
      "t\nL1\nL2\nPop\na , 0012 0101\nb , 0102 0300\nPop\nc , 0201 0000\nd , 0002 0102\n", "in.gen",
      notices);
  EXPECT_EQ(notices, std::vector<std::string>{
                         "Data file \"in.gen\", line 5, locus 1: the genotype '0012' has exactly "
                         "one allele 0; it and 2 more such genotypes are read as missing, as "
                         "FSTAT does"});
  EXPECT_EQ(data.table.cells, (std::vector<AllelePair>{
                                  {0, 0}, {1, 1}, {1, 2}, {0, 0}, {2, 1}, {0, 0}, {0, 0}, {1, 2}}));
  // D is the code width even when every allele would fit fewer digits.
  EXPECT_EQ(data.header.codeWidth, 2);
  EXPECT_EQ(data.header.highestAllele, 2);
}

TEST(GenepopReader, MissingGenotypesOfEitherWidthAndWindows1252Names) {
  std::vector<std::string> notices;
  const DataFile data = ReadGenepop(
      "t\nL1\nPop\nJos\xE9 , 000000\nb , 100102\nPop\nc , 0000\nd , 101101\n", "in.gen", notices);
  EXPECT_EQ(notices, std::vector<std::string>{
                         "Data file \"in.gen\", line 4: the identifier 'Jos\\xE9' is not UTF-8 "
                         "text; every name of the file is read as Windows-1252 (as spreadsheets on "
                         "Windows save text) and written as UTF-8"});
  EXPECT_EQ(data.identifiers[0], "Jos\xC3\xA9");
  EXPECT_EQ(data.header.codeWidth, 3);
  EXPECT_EQ(data.header.highestAllele, 102);
}

}  // namespace
}  // namespace genosieve
