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

}  // namespace
}  // namespace genosieve
