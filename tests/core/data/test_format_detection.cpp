#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/data_format.h"
#include "data/format_detection.h"
#include "import_fixture.h"
#include "support/test_files.h"

namespace genosieve {
namespace {

using testing::ExamplePath;
using testing::ImportPath;
using testing::ReadBytes;
using testing::TestDataPath;

DataFormat DetectFile(const std::string& path) { return DetectFormat(ReadBytes(path), path); }

TEST(FormatDetection, RecognisesEachLayoutFromTheContent) {
  struct Case {
    const char* name;
    DataFormat expected;
  };
  const std::vector<Case> cases = {
      {"genepop/zostera.gen", DataFormat::kGenepop},
      {"genepop/pitfall_blank_title.gen", DataFormat::kGenepop},
      {"genepop/pitfall_crlf.gen", DataFormat::kGenepop},
      {"genalex/lakes_semicolon.csv", DataFormat::kGenalex},
      {"genalex/lakes_comma.csv", DataFormat::kGenalex},
      {"fstat/trout.dat", DataFormat::kFstat},
      {"fstat/trout_not_in_runs.dat", DataFormat::kFstat},
      {"fstat/trout_three_digit.dat", DataFormat::kFstat},
      {"genepop/zostera_twin.txt", DataFormat::kNative},
      {"genalex/lakes_twin.txt", DataFormat::kNative},
      {"fstat/trout_twin.txt", DataFormat::kNative},
      // TAB-separated, runs as in the header: left to the native reader.
      {"fstat/trout_short_codes.dat", DataFormat::kNative},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatName(DetectFile(ImportPath(c.name))), FormatName(c.expected)) << c.name;
  }
  // The same contents under names without a telling extension.
  EXPECT_EQ(DetectFormat(ReadBytes(ImportPath("genepop/zostera.gen")), "data"),
            DataFormat::kGenepop);
  EXPECT_EQ(DetectFormat(ReadBytes(ImportPath("genalex/lakes_comma.csv")), "data.txt"),
            DataFormat::kGenalex);
  EXPECT_EQ(DetectFormat(ReadBytes(ImportPath("fstat/trout.dat")), "trout.txt"),
            DataFormat::kFstat);
}

// Every native file the tests and examples hold, valid or not, stays with the native
// reader, whose messages the bad-input tests expect.
TEST(FormatDetection, NativeFilesStayNative) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"bad_input", "reader", "clones", "engine", "analysis"}) {
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath(folder))) {
      files.push_back(entry.path());
    }
  }
  for (const char* example : {"aspen.txt", "pram.txt", "zostera.txt"}) {
    files.push_back(ExamplePath(example));
  }
  for (const auto& file : files) {
    EXPECT_EQ(FormatName(DetectFile(file.string())), "native") << file;
  }
}

TEST(FormatDetection, FallsBackOnTheExtension) {
  const std::string text = "no layout here\r\n";
  EXPECT_EQ(DetectFormat(text, "a.gen"), DataFormat::kGenepop);
  EXPECT_EQ(DetectFormat(text, "dir.x/A.GEN"), DataFormat::kGenepop);
  EXPECT_EQ(DetectFormat(text, "a.csv"), DataFormat::kGenalex);
  EXPECT_EQ(DetectFormat(text, "a.dat"), DataFormat::kNative);
  EXPECT_EQ(DetectFormat(text, "a.txt"), DataFormat::kNative);
  EXPECT_EQ(DetectFormat("", "a"), DataFormat::kNative);
  // A header of four numbers with a line that reads Pop: the extension decides.
  const std::string both = "1 2 3 4\nL1\nPop\na , 0101\n";
  EXPECT_EQ(DetectFormat(both, "a.gen"), DataFormat::kGenepop);
  EXPECT_EQ(DetectFormat(both, "a.txt"), DataFormat::kNative);
  // Counts separated by semicolons, with a byte order mark and quoted numbers.
  EXPECT_EQ(DetectFormat("\xEF\xBB\xBF\"2\";\"10\";\"1\";\"10\"\r\n", "a.txt"),
            DataFormat::kGenalex);
}

TEST(FormatDetection, FstatOnlyWhereTheNativeReaderWouldMisread) {
  const std::string head = "2 1 20 2\nL1\n";
  // A blank after the population number, or populations in more runs than P.
  EXPECT_EQ(DetectFormat(head + "1 0102\n2 0102\n", "a"), DataFormat::kFstat);
  EXPECT_EQ(DetectFormat(head + "1\t0102\n2\t0102\n1\t0101\n", "a"), DataFormat::kFstat);
  // TABs, runs as in the header (or fewer, which the native reader reports).
  EXPECT_EQ(DetectFormat(head + "  1\t0102\n2\t0102\n", "a"), DataFormat::kNative);
  EXPECT_EQ(DetectFormat(head + "1\t0102\n1\t0102\n", "a"), DataFormat::kNative);
  // FSTAT codes alleles with 1 to 3 digits.
  EXPECT_EQ(DetectFormat("2 1 20 4\nL1\n1 0102\n2 0102\n", "a"), DataFormat::kNative);
  // Empty lines and a population number alone do not count.
  EXPECT_EQ(DetectFormat(head + "\n1 \n1\t0102\n2\t0102\n", "a"), DataFormat::kNative);
}

TEST(DataFormatNames, RoundTrip) {
  for (const DataFormat format : {DataFormat::kAuto, DataFormat::kNative, DataFormat::kGenepop,
                                  DataFormat::kGenalex, DataFormat::kFstat}) {
    EXPECT_EQ(FormatFromName(FormatName(format)), format);
  }
  EXPECT_EQ(FormatFromName("Genepop"), std::nullopt);
  EXPECT_EQ(FormatTitle(DataFormat::kGenalex), "GenAlEx");
}

}  // namespace
}  // namespace genosieve
