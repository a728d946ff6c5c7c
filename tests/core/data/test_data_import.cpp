// ImportDataFile's automatic choice among readers: one reading is read as it always was,
// two that differ are refused naming both, a refusal names the --format that reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/ambiguous_layout.h"
#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "errors.h"
#include "import_fixture.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::Import;
using testing::ScopedWorkingFolder;
using testing::TestDataPath;
using testing::WriteBytes;

// Population numbers 1 1 2 2 1 1 with P = 2: valid native (the last run counts in
// population 2) and valid FSTAT (grouped by number), with other populations.
const std::string kTwoReadings =
    "2 3 200 3\r\nL1\r\nL2\r\nL3\r\n"
    "1\t120124\t130132\t140142\t\r\n1\t120124\t130132\t140142\t\r\n"
    "2\t124124\t132132\t142142\t\r\n2\t120120\t130130\t140140\t\r\n"
    "1\t120124\t130132\t140142\t\r\n1\t124124\t130132\t140140\t\r\n";

std::vector<int32_t> Sizes(const DataFile& data) {
  const PopulationIndex index = BuildPopulationIndex(data);
  std::vector<int32_t> sizes;
  for (size_t k = 1; k < index.size(); ++k) sizes.push_back(index[k] - index[k - 1]);
  return sizes;
}

TEST(ImportDataFile, TwoReadingsThatDifferAreRefusedNamingBoth) {
  ScopedWorkingFolder folder;
  WriteBytes("runs.txt", kTwoReadings);
  try {
    ImportDataFile("runs.txt", DataFormat::kAuto, [](const std::string&) {});
    FAIL() << "read without a word";
  } catch (const AmbiguousLayout& error) {
    EXPECT_EQ(std::string(error.what()),
              "Data file \"runs.txt\": the file reads in two layouts, which give different "
              "populations: as FSTAT (--format fstat), 2 populations of 4 and 2 individuals, 3 "
              "loci; as native (--format native), 2 populations of 2 and 4 individuals, 3 loci; "
              "choose one with --format");
    ASSERT_EQ(error.readings.size(), 2u);
    EXPECT_EQ(error.readings[0].format, DataFormat::kFstat);
    EXPECT_EQ(error.readings[0].description, "2 populations of 4 and 2 individuals, 3 loci");
    EXPECT_EQ(error.readings[1].format, DataFormat::kNative);
    EXPECT_EQ(error.readings[1].description, "2 populations of 2 and 4 individuals, 3 loci");
  }
  // Each format the message names reads the file its own way.
  EXPECT_EQ(Sizes(Import("runs.txt", DataFormat::kNative).data), (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(Sizes(Import("runs.txt", DataFormat::kFstat).data), (std::vector<int32_t>{4, 2}));
}

TEST(ImportDataFile, ManyPopulationsAreDescribedShortly) {
  ScopedWorkingFolder folder;
  // Seven populations in eight runs: population 1 comes back at the end.
  std::string text = "7 1 9 1\nL\n";
  for (int p : {1, 2, 3, 4, 5, 6, 7, 1}) text += std::to_string(p) + "\t12\n";
  WriteBytes("seven.txt", text);
  try {
    ImportDataFile("seven.txt", DataFormat::kAuto, [](const std::string&) {});
    FAIL() << "read without a word";
  } catch (const AmbiguousLayout& error) {
    ASSERT_EQ(error.readings.size(), 2u);
    EXPECT_EQ(error.readings[0].description,
              "7 populations of 2, 1, 1, 1, 1, ... individuals, 1 locus");
    EXPECT_EQ(error.readings[1].description,
              "7 populations of 1, 1, 1, 1, 1, ... individuals, 1 locus");
  }
}

// A file that one reader reads, or that two read alike, is read as before: a native file
// that the FSTAT reader would read the same, a file with TABs in its header that a
// GenAlEx sheet's first row could be.
TEST(ImportDataFile, OneReadingOrTwoAlikeAreReadWithoutAWord) {
  ScopedWorkingFolder folder;
  const std::string body = "L1\r\n1\t0102\r\n1\t0303\r\n2\t0102\r\n";
  for (const std::string header : {"2 1 20 2\r\n", "2\t1\t20\t2\r\n"}) {
    SCOPED_TRACE(header);
    WriteBytes("data.txt", header + body);
    const testing::Imported imported = Import("data.txt");
    ASSERT_EQ(imported.error, "");
    EXPECT_EQ(imported.data.format, DataFormat::kNative);
    EXPECT_TRUE(imported.notices.empty());
    EXPECT_EQ(Sizes(imported.data), (std::vector<int32_t>{2, 1}));
    EXPECT_EQ(imported.data.table.cells, ReadDataFile("data.txt").table.cells);
  }
}

// The native reader never takes over a file that another layout was expected to read:
// more runs of population numbers than P, which FSTAT refuses for its numbers, is refused
// as before, now naming the format that reads it.
TEST(ImportDataFile, RefusalsNameTheFormatThatReads) {
  ScopedWorkingFolder folder;
  WriteBytes("three.txt",
             "2 1 200 3\r\nL1\r\n1\t120124\t\r\n2\t120120\t\r\n1\t120124\t\r\n3\t124124\t\r\n");
  EXPECT_EQ(Import("three.txt").error,
            "Data file \"three.txt\", line 1: the header gives P = 2 populations, but the "
            "individual lines hold 3 population numbers (1, 2, 3); the file reads as native "
            "(--format native)");
  EXPECT_EQ(Import("three.txt", DataFormat::kNative).error, "");
  // A file no reader reads keeps its message as it was.
  WriteBytes("bad.txt", "2 1 200 3\r\nL1\r\n1\t120124\t\r\n2\t12x124\t\r\n");
  EXPECT_EQ(Import("bad.txt").error,
            "Data file \"bad.txt\", line 4, locus 1, first allele: '12x' n'est pas une valeur "
            "enti\xC3\xA8re correcte");
  // Errors of the file system are not the data's: no other reader is tried.
  EXPECT_EQ(Import("missing.txt", DataFormat::kGenepop).error, "Fichier introuvable");
}

// A Genepop file whose title reads like GenAlEx counts, a Genepop file whose title is a
// header of four numbers.
TEST(ImportDataFile, GenepopTitlesThatLookLikeOtherLayouts) {
  ScopedWorkingFolder folder;
  const std::string rest = "L1\nL2\nPop\na , 0102 0303\nb , 0101 0303\nPop\nc , 0202 0304\n";
  for (const std::string title : {"2003,2004,2005\n", "3 2 9 1\n"}) {
    SCOPED_TRACE(title);
    WriteBytes("data.txt", title + rest);
    const testing::Imported imported = Import("data.txt");
    ASSERT_EQ(imported.error, "");
    EXPECT_EQ(imported.data.format, DataFormat::kGenepop);
    EXPECT_EQ(Sizes(imported.data), (std::vector<int32_t>{2, 1}));
  }
  EXPECT_EQ(Import("data.txt", DataFormat::kNative).error,
            "Data file \"data.txt\", line 4, population number: a TAB follows the population "
            "number, but this line holds none: 'Pop' runs to its end; the file reads as Genepop "
            "(--format genepop)");
}

// A GenAlEx sheet saved as "Text (Tab delimited)", whose first row reads as an
// impossible native header, in the automatic choice and as GenAlEx.
TEST(ImportDataFile, TabSeparatedGenalexSheets) {
  ScopedWorkingFolder folder;
  const std::string sheet =
      "1\t4\t1\t4\r\nt\t\t\tP\r\nSample\tPop\tL1\t\r\ns1\tP\t10\t12\r\ns2\tP\t10\t10\r\n"
      "s3\tP\t\t\r\ns4\tP\t12\t12\r\n";
  WriteBytes("sheet.txt", sheet);
  for (const DataFormat format : {DataFormat::kAuto, DataFormat::kGenalex}) {
    const testing::Imported imported = Import("sheet.txt", format);
    ASSERT_EQ(imported.error, "");
    EXPECT_EQ(imported.data.format, DataFormat::kGenalex);
    EXPECT_EQ(imported.data.identifiers, (std::vector<std::string>{"s1", "s2", "s3", "s4"}));
    EXPECT_EQ(imported.data.table.cells,
              (std::vector<AllelePair>{{10, 12}, {10, 10}, {0, 0}, {12, 12}}));
  }
  EXPECT_EQ(Import("sheet.txt", DataFormat::kNative).error,
            "Data file \"sheet.txt\", line 1: the allele code width D is 4; it must be 1, 2 or "
            "3 (alleles are numbers from 1 to 999); the file reads as GenAlEx (--format genalex)");
}

// Names of one file are decoded alike, each control character is refused where it
// stands, and valid names keep every byte.
TEST(ImportDataFile, NamesAreUtf8OrAllWindows1252) {
  ScopedWorkingFolder folder;
  const std::string rows = "1\t120124\t\r\n2\t120120\t\r\n";
  WriteBytes("utf8.txt", "2 2 200 3\r\nZ\xC3\xBCrich \xE2\x82\xAC\r\nL\t2\t\r\n" +
                             std::string("1\t120124\t120124\t\r\n2\t120120\t120124\t\r\n"));
  testing::Imported imported = Import("utf8.txt");
  ASSERT_EQ(imported.error, "");
  EXPECT_TRUE(imported.notices.empty());
  EXPECT_EQ(imported.data.locusNames,
            (std::vector<std::string>{"Z\xC3\xBCrich \xE2\x82\xAC", "L\t2\t"}));

  // One name that is not UTF-8 makes every name Windows-1252, the UTF-8-looking one too.
  WriteBytes("mixed.txt", "2 2 200 3\r\n\xC3\xBC\r\nG\xE9n\xE8ve\r\n" +
                              std::string("1\t120124\t120124\t\r\n2\t120120\t120124\t\r\n"));
  imported = Import("mixed.txt");
  ASSERT_EQ(imported.error, "");
  EXPECT_EQ(imported.data.locusNames,
            (std::vector<std::string>{"\xC3\x83\xC2\xBC", "G\xC3\xA9n\xC3\xA8ve"}));
  EXPECT_EQ(imported.notices,
            std::vector<std::string>{
                "Data file \"mixed.txt\", line 3, locus 2: the locus name 'G\\xE9n\\xE8ve' is not "
                "UTF-8 text; every name of the file is read as Windows-1252 (as spreadsheets on "
                "Windows save text) and written as UTF-8"});

  struct Case {
    std::string name;
    std::string bytes;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"nul.txt", "2 1 200 3\r\nL" + std::string(1, '\0') + "1\r\n" + rows,
       "Data file \"nul.txt\", line 2, locus 1: the locus name 'L\\x001' holds the control "
       "character \\x00; names go to the text files the Run writes, which hold no control "
       "characters"},
      {"escape.dat", "2 1 20 2\nL1\x1B[2J\n1 0102\n2 0101\n",
       "Data file \"escape.dat\", line 2, locus 1: the locus name 'L1\\x1B[2J' holds the control "
       "character \\x1B; names go to the text files the Run writes, which hold no control "
       "characters"},
      {"del.gen", "t\nL1\nPop\na\x7F , 0102\nb , 0101\n",
       "Data file \"del.gen\", line 4: the identifier 'a\\x7F' holds the control character "
       "\\x7F; names go to the text files the Run writes, which hold no control characters"},
      {"bell.gen", "t\nL1, L\a2\nPop\na , 0102 0101\nb , 0101 0101\n",
       "Data file \"bell.gen\", line 2, locus 2: the locus name 'L\\x072' holds the control "
       "character \\x07; names go to the text files the Run writes, which hold no control "
       "characters"},
      {"nul.csv", std::string("1,2,1,2\nt,,,P\0Q\nS,Pop,L1,\na,P\0Q,1,1\nb,P\0Q,1,2\n", 47),
       "Data file \"nul.csv\", row 2, column 4: the population name 'P\\x00Q' holds the control "
       "character \\x00; names go to the text files the Run writes, which hold no control "
       "characters"},
  };
  for (const Case& c : cases) {
    WriteBytes(c.name, c.bytes);
    EXPECT_EQ(Import(c.name).error, c.expected) << c.name;
  }
}

// The native reader reads a file the same from disk (a file read as native only) and
// from memory (a file whose layout was recognised): every native test file, valid or not.
TEST(ImportDataFile, NativeReaderReadsFilesAndTextsAlike) {
  ScopedWorkingFolder folder;
  std::vector<std::filesystem::path> files;
  for (const char* name : {"bad_input", "reader", "clones", "engine", "analysis", "real"}) {
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath(name))) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    std::string fromFile;
    std::string fromText;
    DataFile a;
    DataFile b;
    try {
      a = ReadDataFile(file.string());
    } catch (const RunError& error) {
      fromFile = error.what();
    }
    try {
      std::vector<std::string> notices;
      b = ReadDataText(testing::ReadBytes(file), file.string(), notices);
    } catch (const RunError& error) {
      fromText = error.what();
    }
    EXPECT_EQ(fromFile, fromText);
    EXPECT_EQ(a.lineCount, b.lineCount);
    EXPECT_EQ(a.locusNames, b.locusNames);
    EXPECT_EQ(a.table.population, b.table.population);
    EXPECT_EQ(a.table.cells, b.table.cells);
    EXPECT_EQ(a.identifiers, b.identifiers);
  }
}

}  // namespace
}  // namespace genosieve
