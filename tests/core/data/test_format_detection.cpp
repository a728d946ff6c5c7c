#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/data_format.h"
#include "data/format_detection.h"
#include "data/reader_common.h"
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
  // The bad inputs of other layouts, or of two.
  const std::vector<std::string> others = {"fstat_blanks.txt", "genalex_escape.csv",
                                           "genalex_haploid.csv", "layouts_disagree.txt"};
  for (const char* folder : {"bad_input", "reader", "clones", "engine", "analysis"}) {
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath(folder))) {
      const std::string name = entry.path().filename().string();
      if (std::find(others.begin(), others.end(), name) == others.end()) {
        files.push_back(entry.path());
      }
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

// Besides the most likely layout, every other whose marks the file bears, for the
// readers to have their say.
TEST(FormatDetection, ListsEveryLayoutTheFileMightBeIn) {
  const auto formats = [](const std::string& text) {
    std::vector<std::string> names;
    for (const DataFormat format : DetectLayouts(text, "a.txt").formats) {
      names.push_back(FormatName(format));
    }
    return names;
  };
  using Names = std::vector<std::string>;
  const std::string body = "L1\n1\t0102\n2\t0102\n";
  EXPECT_EQ(formats("2 1 20 2\n" + body), (Names{"native", "fstat"}));
  // TABs in the header: a GenAlEx sheet's counts too.
  EXPECT_EQ(formats("2\t1\t20\t2\n" + body), (Names{"native", "fstat", "genalex"}));
  // Counts no native header can be (D = 262): GenAlEx first, and no FSTAT.
  EXPECT_EQ(formats("10\t262\t1\t262\n" + body), (Names{"genalex", "native"}));
  EXPECT_EQ(formats("10\t262\t1\n" + body), (Names{"genalex"}));
  // Populations in more runs than P: FSTAT first, native too; not after a blank.
  const LayoutCandidates runs = DetectLayouts("2 1 20 2\n" + body + "1\t0101\n", "a");
  EXPECT_EQ(runs.formats, (std::vector<DataFormat>{DataFormat::kFstat, DataFormat::kNative}));
  EXPECT_TRUE(runs.moreRunsThanP);
  EXPECT_FALSE(runs.blankAfterPopulation);
  const LayoutCandidates blank = DetectLayouts("2 1 20 2\nL1\n1 0102\n2 0101\n", "a");
  EXPECT_EQ(blank.formats, (std::vector<DataFormat>{DataFormat::kFstat, DataFormat::kNative}));
  EXPECT_TRUE(blank.blankAfterPopulation);
  // A title of counts over a Genepop file; a header of four numbers over one.
  const std::string genepop = "L1\nPop\na , 0101\n";
  EXPECT_EQ(formats("2003,2004,2005\n" + genepop), (Names{"genalex", "genepop"}));
  EXPECT_EQ(formats("3 2 9 1\n" + genepop), (Names{"fstat", "native", "genepop"}));
}

TEST(FormatDetection, ShortGenotypesAreFstatsOwn) {
  EXPECT_TRUE(HasShortGenotypes("2 2 20 2\nA\nB\n1\t0102\t0\n"));
  EXPECT_TRUE(HasShortGenotypes("2 2 20 2\r\nA\r\nB\r\n1\t0102\t0303\r\n1\t102\t0303\r\n"));
  EXPECT_FALSE(HasShortGenotypes("2 2 20 2\nA\nB\n1\t0102\t0000\n2\t0100\t0303\n"));
  // Locus names are not genotypes.
  EXPECT_FALSE(HasShortGenotypes("2 2 20 2\nA 1\nB 2\n1\t0102\t0000\n"));
  EXPECT_FALSE(HasShortGenotypes("no header\n1\t0\n"));
}

// Every mix of line ends splits as a character-by-character reading of them does.
TEST(SplitLines, EveryMixOfLineEndsSplitsLineByLine) {
  auto expected = [](std::string_view text) {
    std::vector<std::pair<std::string, int64_t>> lines;
    std::string line;
    int64_t number = 1;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\r' && text[i] != '\n') {
        line += text[i];
        continue;
      }
      lines.emplace_back(line, number++);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    if (!line.empty()) lines.emplace_back(line, number);
    return lines;
  };
  std::mt19937 random(7);
  const char alphabet[] = {'a', '1', '\t', '\r', '\n'};
  for (int trial = 0; trial < 2000; ++trial) {
    std::string text(random() % 40, ' ');
    for (char& c : text) c = alphabet[random() % 5];
    std::vector<std::pair<std::string, int64_t>> split;
    for (const TextLine& line : SplitLines(text)) split.emplace_back(line.text, line.number);
    ASSERT_EQ(split, expected(text)) << ::testing::PrintToString(text);
  }
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(SplitLines("\r\n\n\r").size(), 3u);
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
