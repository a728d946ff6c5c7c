#include "data/data_file_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "errors.h"
#include "io/input_file.h"
#include "messages.h"

namespace genosieve {

namespace {

// Stands for the end of the file, which keeps reading as itself.
constexpr int kEnd = kEndOfFile;

// Number texts longer than this cannot be read as integers; only their start is kept,
// so that a binary file picked by mistake gives a short message.
constexpr size_t kKeptTextLength = 64;

bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

// Having read c, a line end character: a CR takes the LF that follows it with it.
void FinishLineEnd(InputFile& file, int c) {
  if (c == '\r' && PeekChar(file) == '\n') GetChar(file);
}

// Lines end at CR LF, at a CR alone or at an LF alone; a last line without a line end
// counts, and an empty file has one (empty) line.
struct FirstPass {
  int64_t lines = 0;
  int64_t bytes = 0;
};

FirstPass CountLines(const std::string& path) {
  InputFile file;
  OpenForRead(file, path);
  FirstPass pass;
  int64_t lineEnds = 0;
  bool afterCr = false;
  bool endsWithLineEnd = false;
  while (Refill(file)) {
    pass.bytes += static_cast<int64_t>(file.length);
    for (size_t i = 0; i < file.length; ++i) {
      const char c = file.buffer[i];
      if (c == '\r') {
        ++lineEnds;
      } else if (c == '\n' && !afterCr) {
        ++lineEnds;
      }
      afterCr = c == '\r';
      endsWithLineEnd = c == '\r' || c == '\n';
    }
  }
  pass.lines = lineEnds + (endsWithLineEnd ? 0 : 1);
  return pass;
}

// Every message about the data names the file and the line, and where it can the locus
// and the field: "Data file "x", line 12, locus 3, first allele: ...".
[[noreturn]] void FailAt(const std::string& path, int64_t line, int32_t locus,
                         std::string_view field, const std::string& what) {
  throw RunError(Located({"Data file", path, line, locus, field}, what));
}

[[noreturn]] void Fail(const std::string& path, int64_t line, const std::string& what) {
  FailAt(path, line, 0, {}, what);
}

// The text of a number as the message shows it: control characters other than TAB, bytes
// outside ASCII (a binary file picked by mistake) and the backslash itself are written as
// \xHH, so that the message stays readable, unambiguous, and cannot drive the terminal
// that shows it.
std::string Shown(const std::string& text, bool cut) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size() + 3);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 32 && c != '\t') || c >= 127 || c == '\\') {
      shown += "\\x";
      shown.push_back(kHex[c >> 4]);
      shown.push_back(kHex[c & 15]);
    } else {
      shown.push_back(ch);
    }
  }
  if (cut) shown += "...";
  return shown;
}

int32_t Convert(const std::string& path, int64_t line, int32_t locus, std::string_view field,
                const std::string& text, bool cut) {
  const std::optional<int32_t> value = cut ? std::nullopt : ParseInteger(text);
  if (!value) FailAt(path, line, locus, field, ConversionErrorMessage(Shown(text, cut)));
  return *value;
}

void Append(std::string& text, bool& cut, int c) {
  if (text.size() < kKeptTextLength) {
    text.push_back(static_cast<char>(c));
  } else {
    cut = true;
  }
}

struct Reading {
  InputFile file;
  const std::string& path;
  int64_t line = 1;
  int32_t codeWidth = 0;
  int32_t highestAllele = 0;
};

[[noreturn]] void FailEndInsideLine(Reading& r, std::string_view where) {
  Fail(r.path, r.line, messages::EndInsideIndividual(where));
}

// One allele of codeWidth characters, the first of which is already read.
int32_t ReadAllele(Reading& r, int c, int32_t locus, const char* which) {
  // Named only in a message: a data file has millions of alleles.
  const auto field = [which] { return messages::AlleleField(which); };
  std::string text;
  bool cut = false;
  for (int32_t i = 0; i < r.codeWidth; ++i) {
    if (i > 0) c = GetChar(r.file);
    if (c == kEnd) FailEndInsideLine(r, messages::LocusAndField(locus, field()));
    if (IsLineEnd(c)) {
      FailAt(r.path, r.line, locus, field(), messages::LineEndsInsideGenotype(r.codeWidth));
    }
    Append(text, cut, c);
  }
  const std::optional<int32_t> value = cut ? std::nullopt : ParseInteger(text);
  if (!value) FailAt(r.path, r.line, locus, field(), ConversionErrorMessage(Shown(text, cut)));
  const int32_t allele = *value;
  if (allele < 0 || allele > 999 || allele > r.highestAllele) {
    FailAt(r.path, r.line, locus, field(), messages::BadAllele(allele, r.highestAllele));
  }
  return allele;
}

// The character that ends a genotype must be a blank or a TAB: anything else means the
// genotype is longer than 2 x D characters and the rest of the line would be misread.
void CheckSeparator(Reading& r, int separator, int32_t locus) {
  if (separator == ' ' || separator == '\t') return;
  const std::string shown = Shown(std::string(1, static_cast<char>(separator)), false);
  FailAt(r.path, r.line, locus, {}, messages::BadSeparator(shown, r.codeWidth));
}

void ReadHeader(Reading& r, DataFile& data) {
  static constexpr const char* kNames[4] = {"P", "L", "A", "D"};
  int32_t values[4] = {};
  int terminator = kEnd;
  for (int i = 0; i < 4; ++i) {
    const std::string field = messages::HeaderNumberField(kNames[i]);
    int c = GetChar(r.file);
    while (c == ' ') c = GetChar(r.file);
    if (c == kEnd) {
      Fail(r.path, 1, messages::EndBeforeHeaderNumber(field));
    }
    if (IsLineEnd(c)) {
      Fail(r.path, 1, messages::HeaderLineEndsBefore(field));
    }
    // The first character belongs to the number even when it is a TAB.
    std::string text;
    bool cut = false;
    Append(text, cut, c);
    for (c = GetChar(r.file); c != ' ' && c != '\t' && !IsLineEnd(c) && c != kEnd;
         c = GetChar(r.file)) {
      Append(text, cut, c);
    }
    terminator = c;
    values[i] = Convert(r.path, 1, 0, field, text, cut);
  }
  // Move to the second line, skipping what follows the fourth number.
  if (terminator == ' ' || terminator == '\t') {
    int c = GetChar(r.file);
    while (!IsLineEnd(c) && c != kEnd) c = GetChar(r.file);
    FinishLineEnd(r.file, c);
  } else {
    FinishLineEnd(r.file, terminator);
  }
  r.line = 2;

  data.header = {values[0], values[1], values[2], values[3]};
  const HeaderNumbers& h = data.header;
  // Header values the later phases cannot work with, in header order.
  if (h.populations < 1) {
    Fail(r.path, 1, messages::HeaderValueBelowOne("number of populations P", h.populations));
  }
  if (h.loci < 1) Fail(r.path, 1, messages::HeaderValueBelowOne("number of loci L", h.loci));
  if (h.highestAllele < 1 || h.highestAllele > 999) {
    Fail(r.path, 1, messages::HighestAlleleOutOfRange(h.highestAllele));
  }
  if (h.codeWidth < 1) {
    Fail(r.path, 1, messages::HeaderValueBelowOne("allele code width D", h.codeWidth));
  }
  r.codeWidth = h.codeWidth;
  r.highestAllele = h.highestAllele;
}

void ReadLocusNames(Reading& r, DataFile& data) {
  // The line count bounds L here: every locus has a line of its own.
  data.locusNames.reserve(static_cast<size_t>(data.header.loci));
  for (int32_t k = 0; k < data.header.loci; ++k) {
    std::string name;
    int c = GetChar(r.file);
    while (!IsLineEnd(c) && c != kEnd) {
      name.push_back(static_cast<char>(c));
      c = GetChar(r.file);
    }
    FinishLineEnd(r.file, c);
    data.locusNames.push_back(std::move(name));
    ++r.line;
  }
}

void ReadIndividual(Reading& r, GenotypeTable& table) {
  const int32_t loci = table.loci;
  // Population number: from the first non-blank character up to the first TAB.
  int c = GetChar(r.file);
  while (c == ' ') c = GetChar(r.file);
  if (c == kEnd) FailEndInsideLine(r, messages::kPopulationNumberField);
  if (IsLineEnd(c)) {
    FinishLineEnd(r.file, c);
    if (PeekChar(r.file) == kEnd) {
      FailEndInsideLine(r, messages::LastLineEmpty());
    }
    Fail(r.path, r.line, messages::LineEmpty());
  }
  std::string text;
  bool cut = false;
  Append(text, cut, c);
  for (c = GetChar(r.file); c != '\t' && !IsLineEnd(c) && c != kEnd; c = GetChar(r.file)) {
    Append(text, cut, c);
  }
  if (c == kEnd) FailEndInsideLine(r, messages::NoTabAfterPopulation());
  if (IsLineEnd(c)) {
    FailAt(r.path, r.line, 0, messages::kPopulationNumberField, messages::LineEndsBeforeTab());
  }
  table.population.push_back(
      Convert(r.path, r.line, 0, messages::kPopulationNumberField, text, cut));

  c = GetChar(r.file);
  while (c == '\t') c = GetChar(r.file);
  for (int32_t k = 1; k <= loci; ++k) {
    // c is the first character of locus k's genotype.
    if (c == kEnd || IsLineEnd(c)) {
      const std::string found = messages::GenotypeCount(k - 1, loci);
      if (c == kEnd) FailEndInsideLine(r, found);
      Fail(r.path, r.line, found);
    }
    AllelePair pair;
    pair.first = ReadAllele(r, c, k, "first");
    pair.second = ReadAllele(r, GetChar(r.file), k, "second");
    if ((pair.first == 0) != (pair.second == 0)) {
      FailAt(r.path, r.line, k, {}, messages::OneAlleleZero());
    }
    table.cells.push_back(pair);

    const int separator = GetChar(r.file);
    if (k < loci) {
      if (separator == kEnd || IsLineEnd(separator)) {
        c = separator;
        continue;  // reported above as a short line
      }
      CheckSeparator(r, separator, k);
      c = GetChar(r.file);
      while (c == '\t') c = GetChar(r.file);
      continue;
    }
    // After the last genotype: its separator may already be the line end (LF alone or
    // CR) or the end of the file; else TABs or blanks may precede the line end.
    if (separator == kEnd) return;
    if (IsLineEnd(separator)) {
      FinishLineEnd(r.file, separator);
      return;
    }
    CheckSeparator(r, separator, k);
    c = GetChar(r.file);
    while (c == '\t' || c == ' ') c = GetChar(r.file);
    if (c == kEnd) return;
    if (!IsLineEnd(c)) {
      Fail(r.path, r.line, messages::TextAfterLastGenotype(loci));
    }
    FinishLineEnd(r.file, c);
  }
}

}  // namespace

DataFile ReadDataFile(const std::string& path) {
  DataFile data;
  data.path = path;
  const FirstPass pass = CountLines(path);
  if (pass.lines > std::numeric_limits<int32_t>::max()) {
    Fail(path, pass.lines, messages::TooManyLines());
  }
  data.lineCount = static_cast<int32_t>(pass.lines);

  Reading r{{}, path};
  OpenForRead(r.file, path);
  ReadHeader(r, data);

  const int64_t loci = data.header.loci;
  const int64_t individuals = pass.lines - loci - 1;
  if (individuals < 2) {
    Fail(path, pass.lines, messages::TooFewLines(pass.lines, loci, individuals));
  }
  ReadLocusNames(r, data);

  GenotypeTable& table = data.table;
  table.loci = data.header.loci;
  table.population.reserve(static_cast<size_t>(individuals));
  // Each genotype takes at least 2 x D characters, so the file size bounds the cells
  // whatever the header claims.
  const int64_t heldCells = pass.bytes / (2 * static_cast<int64_t>(data.header.codeWidth)) + 1;
  table.cells.reserve(static_cast<size_t>(std::min(individuals * loci, heldCells)));
  // A native file names no individual: each is known by its line number.
  for (int64_t row = 0; row < individuals; ++row) {
    ReadIndividual(r, table);
    data.identifiers.push_back(std::to_string(r.line));
    ++r.line;
  }
  return data;
}

PopulationIndex BuildPopulationIndex(const DataFile& data) {
  const int32_t populations = data.header.populations;
  const std::vector<int32_t>& numbers = data.table.population;
  const int32_t rows = data.table.rows();
  if (populations < 1) {
    Fail(data.path, 1, messages::HeaderValueBelowOne("number of populations P", populations));
  }
  int64_t runs = rows > 0 ? 1 : 0;
  for (int32_t r = 1; r < rows; ++r) {
    if (numbers[static_cast<size_t>(r)] != numbers[static_cast<size_t>(r) - 1]) ++runs;
  }
  if (runs < populations) {
    const int64_t firstLine = static_cast<int64_t>(data.table.loci) + 2;
    Fail(data.path, 1,
         messages::TooFewPopulationRuns(populations, firstLine, firstLine + rows - 1, runs));
  }
  PopulationIndex index(static_cast<size_t>(populations) + 1, 0);
  index[static_cast<size_t>(populations)] = rows;
  int32_t found = 1;
  for (int32_t r = 0; r + 1 < rows && found < populations; ++r) {
    if (numbers[static_cast<size_t>(r) + 1] != numbers[static_cast<size_t>(r)]) {
      index[static_cast<size_t>(found++)] = r + 1;
    }
  }
  return index;
}

}  // namespace genosieve
