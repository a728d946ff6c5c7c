#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/genalex_reader.h"
#include "errors.h"
#include "import_fixture.h"

namespace genosieve {
namespace {

using testing::Import;
using testing::ImportError;
using testing::ImportPath;

std::vector<std::string> Notices(const std::string& name) {
  const std::string file = "Data file \"" + ImportPath(name) + "\"";
  return {file + ": read as GenAlEx (2 populations, 4 loci, 11 individuals; A = 87, D = 2)",
          file +
              ", row 7, column 5: the genotype '33/0' has exactly one allele 0; it is read as "
              "missing, as FSTAT does"};
}

struct Read {
  DataFile data;
  std::vector<std::string> notices;
  std::string error;
};

Read ReadText(const std::string& text) {
  Read read;
  try {
    read.data = ReadGenalex(text, "in.csv", read.notices);
  } catch (const RunError& error) {
    read.error = error.what();
  }
  return read;
}

// Semicolons with a byte order mark and CR LF, as a spreadsheet set to a decimal comma
// saves; commas with LF; both with quoted cells, region counts, empty trailing cells, extra
// columns after a blank one and an empty last row.
TEST(GenalexReader, SemicolonAndCommaSheetsReadLikeTheNativeTwin) {
  for (const char* name : {"genalex/lakes_semicolon.csv", "genalex/lakes_comma.csv"}) {
    SCOPED_TRACE(name);
    const testing::Imported imported = Import(ImportPath(name));
    ASSERT_EQ(imported.error, "");
    EXPECT_EQ(imported.notices, Notices(name));
    const DataFile& data = imported.data;
    EXPECT_EQ(data.format, DataFormat::kGenalex);
    testing::ExpectSameAsTwin(data, "genalex/lakes_twin.txt");
    EXPECT_EQ(data.populationNames, (std::vector<std::string>{"Mer Bleue", "Lac-Noir"}));
    EXPECT_EQ(data.identifiers,
              (std::vector<std::string>{"S01", "S02", "S03", "S04", "S05, dup", "S06", "T01", "T02",
                                        "T03", "T04", "T05"}));
  }
}

TEST(GenalexReader, RefusesSheetsThatDisagreeWithRowAndColumn) {
  struct Case {
    const char* name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"genalex/samples_disagree.csv",
       "Data file \"<path>\": row 1 gives N = 12 samples, but the file holds 11 sample rows"},
      {"genalex/size_disagree.csv",
       "Data file \"<path>\": row 1 gives population 'Mer Bleue' 7 samples, but 6 sample rows "
       "name it"},
      {"genalex/unknown_population.csv",
       "Data file \"<path>\", row 12, column 2: population 'Lac Noir' is not among the names of "
       "row 2 ('Mer Bleue', 'Lac-Noir')"},
      {"genalex/letters_allele.csv",
       "Data file \"<path>\", row 6, column 8: 'A' is not an allele number; recode the alleles "
       "as whole numbers from 1 to 999 (0 or an empty cell for a missing allele)"},
      {"genalex/allele_above_999.csv",
       "Data file \"<path>\", row 13, column 8: allele '1087' is above 999, the highest allele "
       "number the program handles; recode the alleles as numbers from 1 to 999 (0 for a "
       "missing allele)"},
      {"genalex/loci_disagree.csv",
       "Data file \"<path>\", row 3, column 9: 'Loc-D' stands right after the two allele "
       "columns of the L = 3 loci of row 1; leave a blank column before any further column"},
      {"genalex/short_row.csv",
       "Data file \"<path>\", row 9: the row holds 9 cells; a sample row holds its identifier, "
       "its population and two allele columns for each of the L = 4 loci: 10 cells"},
      {"genalex/unclosed_quote.csv",
       "Data file \"<path>\", row 5: the double quotes do not pair up: a quoted cell opened in "
       "this row runs on to row 8"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ImportError(c.name), c.expected) << c.name;
  }
}

TEST(GenalexReader, RefusesBadCountsNamesAndQuotes) {
  const std::string names = "t,,,A,B\nSample,Pop,L1,\n";
  EXPECT_EQ(ReadText("1,4,x,2,2\n" + names).error,
            "Data file \"in.csv\", row 1, column 3: 'x' is not a whole number; it is the number "
            "of populations");
  EXPECT_EQ(
      ReadText("0,4,2,2,2\n" + names).error,
      "Data file \"in.csv\", row 1, column 1: the number of loci is 0; it must be at least 1");
  EXPECT_EQ(ReadText("1,4,2,2\n" + names).error,
            "Data file \"in.csv\", row 1, column 5: no size of population 2 (row 1 holds the "
            "numbers of loci, samples and populations, then each population's size)");
  EXPECT_EQ(ReadText("1,4,2,2,2\nt,,,A,A\n").error,
            "Data file \"in.csv\", row 2, column 5: population name 'A' is given twice");
  EXPECT_EQ(ReadText("1,4,2,2,2\nt,,,A\n").error,
            "Data file \"in.csv\", row 2, column 5: no name for population 2 (row 1 gives 2 "
            "populations; row 2 holds a title, two blank cells, then their names)");
  EXPECT_EQ(ReadText("2,4,2,2,2\n" + names).error,
            "Data file \"in.csv\", row 3, column 5: no name for locus 2 (row 1 gives L = 2; row 3 "
            "names each locus over its first allele column)");
  EXPECT_EQ(ReadText("1,4,2,2,2\n" + names + "a,A,1,1\nb,A,1,\"2\n").error,
            "Data file \"in.csv\", row 5: a quoted cell opened in this row is never closed");
  EXPECT_EQ(ReadText("1,4,2,2,2\n" + names + "a\tb,A,1,1\n").error,
            "Data file \"in.csv\", row 4, column 1: the sample identifier 'a\\x09b' holds a TAB "
            "or a line end; names are written to TAB-separated files, one individual per line");
  EXPECT_EQ(ReadText("1,4,2,2,2\n" + names + "a,A,1,1\nb,A,1,1\nc,B,1,1\nd,B,2,2\ne,B,1,1\n").error,
            "Data file \"in.csv\", row 8, column 1: a sample row beyond the N = 4 samples that "
            "row 1 gives");
  EXPECT_EQ(ReadText("1,4,2,2,2\n" + names).error,
            "Data file \"in.csv\": row 1 gives N = 4 samples, but the file holds 0 sample rows");
  EXPECT_EQ(ReadText("1,4,2,2,2\n").error,
            "Data file \"in.csv\": the file holds 1 row; a GenAlEx sheet holds the counts (row "
            "1), the population names (row 2), the locus names (row 3), then one row per sample");
}

TEST(GenalexReader, GroupsSamplesByPopulationInTheOrderOfRowTwo) {
  const Read read = ReadText(
      "1,5,2,2,3\nt,,,North,South\nSample,Pop,L1,\n"
      "s1,South,1,2\nn1,North,3,3\n\n,,,,\ns2,South,2,2\nn2,North,3,4\ns3,South,0,0\n");
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.notices,
            std::vector<std::string>{
                "Data file \"in.csv\": the samples of a population are not all listed together, "
                "in the order of row 2; they are grouped by population, in the order of row 2"});
  EXPECT_EQ(read.data.identifiers, (std::vector<std::string>{"n1", "n2", "s1", "s2", "s3"}));
  EXPECT_EQ(read.data.table.population, (std::vector<int32_t>{1, 1, 2, 2, 2}));
  EXPECT_EQ(read.data.table.cells,
            (std::vector<AllelePair>{{3, 3}, {3, 4}, {1, 2}, {2, 2}, {0, 0}}));
  EXPECT_EQ(read.data.header.highestAllele, 4);
  EXPECT_EQ(read.data.header.codeWidth, 1);
}

TEST(GenalexReader, SmallestWidthThatHoldsTheHighestAllele) {
  for (const auto& [allele, width] :
       std::vector<std::pair<std::string, int32_t>>{{"9", 1}, {"10", 2}, {"099", 2}, {"100", 3}}) {
    const Read read = ReadText("1,2,1,2\nt,,,P\nSample,Pop,L1,\na,P,1," + allele + "\nb,P,1,1\n");
    ASSERT_EQ(read.error, "") << allele;
    EXPECT_EQ(read.data.header.codeWidth, width) << allele;
  }
}

// Row 1 without population sizes (empty, or only the three totals): the populations are
// the names of column 2, grouped in order of first appearance; the counts given are
// checked, those left empty are not.
TEST(GenalexReader, PopulationsFromColumnTwoWhenRowOneGivesNoSizes) {
  const std::string rows =
      "Sample,Pop,L1,\ns1,South,1,2\nn1,North,3,3\ns2,South,2,2\nn2,North,3,4\n";
  for (const std::string head : {"1,4,2\nt\n", "1,4,2,,\nt,,,A,B\n", "1,,\nt\n", "1\nt\n"}) {
    SCOPED_TRACE(head);
    const Read read = ReadText(head + rows);
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(read.notices,
              (std::vector<std::string>{
                  "Data file \"in.csv\": row 1 gives no population sizes, so the populations are "
                  "the names of column 2: 2 names, numbered in order of first appearance",
                  "Data file \"in.csv\": the samples of a population are not all listed together "
                  "(row 6 is the first away from its population); they are grouped by "
                  "population, populations in order of first appearance in column 2 ('South', "
                  "'North')"}));
    EXPECT_EQ(read.data.populationNames, (std::vector<std::string>{"South", "North"}));
    EXPECT_EQ(read.data.identifiers, (std::vector<std::string>{"s1", "s2", "n1", "n2"}));
    EXPECT_EQ(read.data.table.population, (std::vector<int32_t>{1, 1, 2, 2}));
    EXPECT_EQ(read.data.table.cells, (std::vector<AllelePair>{{1, 2}, {2, 2}, {3, 3}, {3, 4}}));
    EXPECT_EQ(read.data.header.populations, 2);
  }
  EXPECT_EQ(ReadText("1,4,3\nt\n" + rows).error,
            "Data file \"in.csv\": row 1 gives 3 populations, but column 2 holds 2 population "
            "names ('South', 'North')");
  EXPECT_EQ(ReadText("1,5,2\nt\n" + rows).error,
            "Data file \"in.csv\": row 1 gives N = 5 samples, but the file holds 4 sample rows");
  EXPECT_EQ(ReadText("1,3,2\nt\n" + rows).error,
            "Data file \"in.csv\", row 7, column 1: a sample row beyond the N = 3 samples that "
            "row 1 gives");
  EXPECT_EQ(ReadText("1,4,2\nt\nSample,Pop,L1,\ns1,,1,2\n").error,
            "Data file \"in.csv\", row 4, column 2: no population name; row 1 gives no "
            "population sizes, so column 2 names each sample's population");
  EXPECT_EQ(ReadText("1,4,2\nt\nSample,Pop,L1,\ns1,A\x01,1,2\n").error,
            "Data file \"in.csv\", row 4, column 2: the population name 'A\\x01' holds the "
            "control character \\x01; names go to the text files the Run writes, which hold no "
            "control characters");
}

// Haploid sheets (AFLP, one allele column per locus) and sheets of other ploidies name
// their loci one, three, four... columns apart in row 3.
TEST(GenalexReader, HaploidAndPolyploidSheetsAreRefusedAsSuch) {
  EXPECT_EQ(ReadText("13,2,1,2\nAFLP,,,P\nSample,Pop,M1,M2,M3,M4,M5,M6,M7,M8,M9,M10,M11,M12,M13\n"
                     "a,P,1,0,1,1,0,0,1,0,1,1,0,0,1\n")
                .error,
            "Data file \"in.csv\", row 3: the data look haploid: the L = 13 loci are named in "
            "columns 3 to 15, one allele column per locus; the program analyses diploid data, two "
            "allele columns per locus");
  EXPECT_EQ(ReadText("2,1,1,1\nt,,,P\nSample,Pop,L1,,,,L2,,,\na,P,1,2,3,4,1,2,3,4\n").error,
            "Data file \"in.csv\", row 3: the data look tetraploid: the L = 2 loci are named in "
            "columns 3 to 7, 4 allele columns per locus; the program analyses diploid data, two "
            "allele columns per locus");
  EXPECT_EQ(ReadText("3,1,1,1\nt,,,P\nSample,Pop,L1,,,L2,,,L3,,\n").error,
            "Data file \"in.csv\", row 3: the data look triploid: the L = 3 loci are named in "
            "columns 3 to 9, 3 allele columns per locus; the program analyses diploid data, two "
            "allele columns per locus");
  // A diploid sheet that misses a name is refused for that name.
  EXPECT_EQ(ReadText("3,1,1,1\nt,,,P\nSample,Pop,L1,,L2,,,\n").error,
            "Data file \"in.csv\", row 3, column 7: no name for locus 3 (row 1 gives L = 3; row 3 "
            "names each locus over its first allele column)");
}

// A sheet saved by Excel in Windows-1252: its population names are found again in the
// sample rows, and every name is converted to UTF-8 once the sheet is read.
TEST(GenalexReader, Windows1252SheetsFindTheirPopulations) {
  const Read read = ReadText(
      "1,3,2,2,1\nt,,,Gen\xE8ve,Z\xFCrich\nSample,Pop,L1,\nJos\xE9,Gen\xE8ve,1,2\nb,Gen\xE8ve,1,"
      "1\nc,Z\xFCrich,2,2\n");
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.data.populationNames,
            (std::vector<std::string>{"Gen\xC3\xA8ve", "Z\xC3\xBCrich"}));
  EXPECT_EQ(read.data.identifiers[0], "Jos\xC3\xA9");
  EXPECT_EQ(read.notices,
            std::vector<std::string>{
                "Data file \"in.csv\", row 2, column 4: the population name 'Gen\\xE8ve' is not "
                "UTF-8 text; every name of the file is read as Windows-1252 (as spreadsheets on "
                "Windows save text) and written as UTF-8"});
}

}  // namespace
}  // namespace genosieve
