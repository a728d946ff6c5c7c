#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "messages.h"

namespace genosieve {
namespace {

TEST(Messages, LocatedNamesTheFileThenLineLocusAndFieldWhenGiven) {
  EXPECT_EQ(Located({"Data file", "d.txt", 12, 3, "first allele"}, "what"),
            "Data file \"d.txt\", line 12, locus 3, first allele: what");
  EXPECT_EQ(Located({"Data file", "d.txt", 5, 0, "population number"}, "what"),
            "Data file \"d.txt\", line 5, population number: what");
  EXPECT_EQ(Located({"Data file", "d.txt", 7, 2, {}}, "what"),
            "Data file \"d.txt\", line 7, locus 2: what");
  EXPECT_EQ(Located({"File", "temp.txt", 1, 0, {}}, "what"), "File \"temp.txt\", line 1: what");
  EXPECT_EQ(Located({"File", "a b.txt", 0, 0, {}}, "what"), "File \"a b.txt\": what");
  // Spreadsheet places name a row, and a column when one cell is meant.
  EXPECT_EQ(Located({.lead = "Data file", .path = "s.csv", .row = 4, .column = 7}, "what"),
            "Data file \"s.csv\", row 4, column 7: what");
  EXPECT_EQ(Located({.lead = "Data file", .path = "s.csv", .row = 9}, "what"),
            "Data file \"s.csv\", row 9: what");
}

TEST(Messages, ControlCharactersOfNamesAreShownEscaped) {
  EXPECT_EQ(EscapeControls("a\tb\nc\rd\x01\x1B[2J\x7F"), "a\\tb\\nc\\rd\\x01\\x1B[2J\\x7F");
  // Printable text, UTF-8 included, and a backslash stay as they are.
  EXPECT_EQ(EscapeControls("Jos\xC3\xA9 res\\a.txt"), "Jos\xC3\xA9 res\\a.txt");
  EXPECT_EQ(Located({"Data file", "a\nb.txt", 2, 0, {}}, "what"),
            "Data file \"a\\nb.txt\", line 2: what");
}

TEST(Messages, FillMessagePutsTextsAndIntegersInOrder) {
  EXPECT_EQ(FillMessage("a {} b {} c {}", 1, std::string("two"), int64_t{-3}), "a 1 b two c -3");
  EXPECT_EQ(FillMessage("{}{}", "x", "y"), "xy");
  EXPECT_EQ(FillMessage("no field"), "no field");
  // A pattern with fewer fields than arguments keeps the extra arguments at its end.
  EXPECT_EQ(FillMessage("value", 7), "value7");
  EXPECT_EQ(messages::IterationsNegative("-1"),
            "The number of iterations must be 0 or more, not -1.");
}

TEST(Messages, TheSystemsTextsStayByteForByte) {
  EXPECT_STREQ(kDivisionByZeroMessage, "Division par z\xC3\xA9ro en virgule flottante");
  EXPECT_STREQ(kInvalidOperationMessage, "Op\xC3\xA9ration en virgule flottante incorrecte");
  EXPECT_STREQ(kOverflowMessage,
               "D\xC3\xA9"
               "bordement en virgule flottante");
  EXPECT_STREQ(kOutOfMemoryMessage, "M\xC3\xA9moire insuffisante");
  EXPECT_STREQ(kDoneMessage, "done ! ");
}

}  // namespace
}  // namespace genosieve
