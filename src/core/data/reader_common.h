#pragma once

// What the readers of other programs' layouts (Genepop, GenAlEx, FSTAT) share: the lines
// of a text held in memory, the places their messages name, the checks of alleles and
// names, half-missing genotypes, and the header numbers derived from the data.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "data/genotype_table.h"
#include "messages.h"

namespace genosieve {

// One line of a text held in memory, without its line end, numbered from 1.
struct TextLine {
  std::string_view text;
  int64_t number = 0;
};

// A UTF-8 byte order mark, which spreadsheets put at the start of the files they save,
// is not part of the data.
std::string_view WithoutByteOrderMark(std::string_view text);

// Lines end at CR LF, at a CR alone or at an LF alone; a last line without a line end
// counts, and a line end at the very end starts no further line.
std::vector<TextLine> SplitLines(std::string_view text);

// An empty data file of `format` read from `path`, and the lines of `text` (without a byte
// order mark), whose number it takes as its line count.
DataFile NewDataFile(const std::string& path, DataFormat format);
std::vector<TextLine> LinesOf(std::string_view text, DataFile& data);

// Whether the text is made of decimal digits only (true for an empty text).
bool AllDigits(std::string_view text);

// The text without the blanks and TABs at both of its ends.
std::string_view TrimBlanks(std::string_view text);

// The words of a text separated by runs of blanks and TABs.
std::vector<std::string_view> SplitWords(std::string_view text);

// The places messages name in the data file being read: `Data file "<path>"` with a line,
// a locus and a field, or with a row and a column of a spreadsheet.
FilePlace DataPlace(std::string_view path, int64_t line = 0, int32_t locus = 0,
                    std::string_view field = {});
FilePlace CellPlace(std::string_view path, int64_t row, int64_t column = 0);

// Ends the Run with "<place>: <what>".
[[noreturn]] void FailAt(const FilePlace& place, std::string_view what);

// A text from the file as a message shows it: control characters, bytes outside ASCII
// and the backslash as \xHH, and only its start when it is long.
std::string Shown(std::string_view text);

// The same between single quotes.
std::string Quoted(std::string_view text);

// The value of a text made of decimal digits only (leading zeros allowed), or nothing
// when it holds anything else or exceeds 999999999.
std::optional<int32_t> DigitsValue(std::string_view digits);

// Alleles are numbers from 1 to 999 (0 is missing).
inline constexpr int32_t kHighestAlleleHandled = kHighestStorableAllele;

// Every name of one file is decoded alike: as UTF-8 when each of them is valid UTF-8,
// else each as Windows-1252 (what spreadsheets on Windows save), so that every file the
// program writes with names is UTF-8 and names of one file never mix two decodings.
// Readers keep the bytes as read until the whole file is read (names are compared as
// written), noting the first name that is not UTF-8; DecodeNames then converts them.
struct NameEncoding {
  bool windows1252 = false;
  std::string notice;  // names the first name that is not UTF-8
};

// A name (identifier, population or locus name) of the file at `place`, as read: control
// characters are refused, since the names go to text files, one name to a field. A TAB
// is allowed where `tabAllowed` (a locus name that has its line to itself, as a
// spreadsheet pads it); elsewhere a TAB, CR or LF would split the TAB-separated files.
std::string CheckedName(std::string_view text, const FilePlace& place, std::string_view what,
                        NameEncoding& encoding, bool tabAllowed = false);

// Converts the names of `data` from Windows-1252 when `encoding` says so, and adds the
// notice that says it.
void DecodeNames(DataFile& data, const NameEncoding& encoding, std::vector<std::string>& notices);

// Genotypes with exactly one allele 0 are read as missing, as FSTAT reads them; the Run
// says once how many there were and where the first stood.
struct HalfMissingGenotypes {
  int64_t count = 0;
  FilePlace firstPlace;
  std::string firstText;
};

// Makes `pair` missing when exactly one of its alleles is 0, and counts it. `describe`
// gives the genotype's location and text, asked for the first one only (building them
// for every genotype would cost more than reading it).
template <typename Describe>
void MendHalfMissing(AllelePair& pair, HalfMissingGenotypes& found, const Describe& describe) {
  if ((pair.first == 0) == (pair.second == 0)) return;
  if (found.count == 0) std::tie(found.firstPlace, found.firstText) = describe();
  ++found.count;
  pair = {};
}

// The warning line about the half-missing genotypes found, or nothing when there were none.
std::optional<std::string> HalfMissingNotice(const HalfMissingGenotypes& found);

// The smallest number of digits (1 to 3) that writes the allele.
int32_t WidthOfAllele(int32_t allele);

// Fails when the table holds fewer than two individuals, which the Run cannot analyse.
void CheckIndividualCount(const DataFile& data);

// Sets A to the highest allele present and, when `codeWidth` is 0, D to the smallest
// width that holds it. Fails when no allele is present at all, or with
// CheckIndividualCount.
void DeriveHeader(DataFile& data, int32_t codeWidth);

// Reorders the rows, their population numbers and identifiers so that the rows of
// group 0 come first, then those of group 1, and so on, each in file order.
void GroupRows(DataFile& data, const std::vector<int32_t>& groupOfRow, int32_t groups);

// "Data file "<path>": read as <format> (P populations, L loci, n individuals; A = ...,
// D = ...)": what a reader recognised, for the user to check.
std::string FormatNotice(const DataFile& data);

}  // namespace genosieve
