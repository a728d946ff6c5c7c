#include "data/data_file_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "data/reader_common.h"
#include "errors.h"
#include "for_chunks.h"
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

// The two places the reader takes its characters from: the file itself, read in blocks
// (a file read only as native), or its content already in memory (a file whose layout was
// recognised from its content).
struct FileSource {
  InputFile file;
  int Get() { return GetChar(file); }
  int Peek() { return PeekChar(file); }
  // A UTF-8 byte order mark, as Notepad writes, is not part of the header.
  void SkipByteOrderMark() {
    if (Peek() == kEnd) return;
    const std::string_view start(file.buffer + file.position, file.length - file.position);
    if (start.starts_with("\xEF\xBB\xBF")) file.position += 3;
  }
};

struct TextSource {
  std::string_view text;
  size_t position = 0;
  int Get() { return position < text.size() ? static_cast<unsigned char>(text[position++]) : kEnd; }
  int Peek() const {
    return position < text.size() ? static_cast<unsigned char>(text[position]) : kEnd;
  }
  void SkipByteOrderMark() {
    if (text.substr(position).starts_with("\xEF\xBB\xBF")) position += 3;
  }
};

// Having read c, a line end character: a CR takes the LF that follows it with it.
template <typename Source>
void FinishLineEnd(Source& source, int c) {
  if (c == '\r' && source.Peek() == '\n') source.Get();
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

// The same count in memory: every CR, and every LF that no CR precedes.
FirstPass CountLines(std::string_view text) {
  FirstPass pass;
  pass.bytes = static_cast<int64_t>(text.size());
  int64_t lineEnds = 0;
  for (size_t at = text.find('\r'); at != std::string_view::npos; at = text.find('\r', at + 1)) {
    ++lineEnds;
  }
  for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
    if (at == 0 || text[at - 1] != '\r') ++lineEnds;
  }
  const bool endsWithLineEnd = !text.empty() && IsLineEnd(text.back());
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

// The text of a number as the message shows it (\xHH for control characters, TAB
// included, and bytes outside ASCII), with "..." when only its start was kept.
std::string ShownText(const std::string& text, bool cut) {
  std::string shown = Shown(text);
  if (cut) shown += "...";
  return shown;
}

int32_t Convert(const std::string& path, int64_t line, int32_t locus, std::string_view field,
                const std::string& text, bool cut) {
  const std::optional<int32_t> value = cut ? std::nullopt : ParseInteger(text);
  if (!value) FailAt(path, line, locus, field, ConversionErrorMessage(ShownText(text, cut)));
  return *value;
}

void Append(std::string& text, bool& cut, int c) {
  if (text.size() < kKeptTextLength) {
    text.push_back(static_cast<char>(c));
  } else {
    cut = true;
  }
}

template <typename Source>
struct Reading {
  Source& source;
  const std::string& path;
  int64_t line = 1;
  int32_t codeWidth = 0;
  int32_t highestAllele = 0;
};

template <typename Source>
[[noreturn]] void FailEndInsideLine(Reading<Source>& r, std::string_view where) {
  Fail(r.path, r.line, messages::EndInsideIndividual(where));
}

// One allele of codeWidth characters, the first of which is already read.
template <typename Source>
int32_t ReadAllele(Reading<Source>& r, int c, int32_t locus, const char* which) {
  // Named only in a message: a data file has millions of alleles.
  const auto field = [which] { return messages::AlleleField(which); };
  // The header allows 1 to 3 characters. Digits alone, the common case, give their value
  // at once; anything else is converted as every integer is.
  char characters[3];
  int32_t allele = 0;
  bool digitsOnly = true;
  for (int32_t i = 0; i < r.codeWidth; ++i) {
    if (i > 0) c = r.source.Get();
    if (c == kEnd) FailEndInsideLine(r, messages::LocusAndField(locus, field()));
    if (IsLineEnd(c)) {
      FailAt(r.path, r.line, locus, field(), messages::LineEndsInsideGenotype(r.codeWidth));
    }
    characters[i] = static_cast<char>(c);
    const auto digit = static_cast<unsigned>(c) - static_cast<unsigned>('0');
    if (digit <= 9) {
      allele = allele * 10 + static_cast<int32_t>(digit);
    } else {
      digitsOnly = false;
    }
  }
  if (!digitsOnly) {
    const std::string_view text(characters, static_cast<std::size_t>(r.codeWidth));
    const std::optional<int32_t> value = ParseInteger(text);
    if (!value) {
      FailAt(r.path, r.line, locus, field(),
             ConversionErrorMessage(ShownText(std::string(text), false)));
    }
    allele = *value;
  }
  if (allele < 0 || allele > 999 || allele > r.highestAllele) {
    FailAt(r.path, r.line, locus, field(), messages::BadAllele(allele, r.highestAllele));
  }
  return allele;
}

// The character that ends a genotype must be a blank or a TAB: anything else means the
// genotype is longer than 2 x D characters and the rest of the line would be misread.
template <typename Source>
void CheckSeparator(Reading<Source>& r, int separator, int32_t locus) {
  if (separator == ' ' || separator == '\t') return;
  const std::string shown = ShownText(std::string(1, static_cast<char>(separator)), false);
  FailAt(r.path, r.line, locus, {}, messages::BadSeparator(shown, r.codeWidth));
}

template <typename Source>
void ReadHeader(Reading<Source>& r, DataFile& data) {
  static constexpr const char* kNames[4] = {"P", "L", "A", "D"};
  int32_t values[4] = {};
  int terminator = kEnd;
  r.source.SkipByteOrderMark();
  for (int i = 0; i < 4; ++i) {
    const std::string field = messages::HeaderNumberField(kNames[i]);
    int c = r.source.Get();
    while (c == ' ') c = r.source.Get();
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
    for (c = r.source.Get(); c != ' ' && c != '\t' && !IsLineEnd(c) && c != kEnd;
         c = r.source.Get()) {
      Append(text, cut, c);
    }
    terminator = c;
    values[i] = Convert(r.path, 1, 0, field, text, cut);
  }
  // Move to the second line, skipping what follows the fourth number.
  if (terminator == ' ' || terminator == '\t') {
    int c = r.source.Get();
    while (!IsLineEnd(c) && c != kEnd) c = r.source.Get();
    FinishLineEnd(r.source, c);
  } else {
    FinishLineEnd(r.source, terminator);
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
  // Alleles go up to 999, so a wider code can only be a header in another order or of
  // another program (a GenAlEx sheet saved as text starts with four numbers too): said
  // here rather than at the first genotype, which would then be misread.
  if (h.codeWidth > 3) Fail(r.path, 1, messages::CodeWidthAboveThree(h.codeWidth));
  if (WidthOfAllele(h.highestAllele) > h.codeWidth) {
    Fail(r.path, 1, messages::HighestAlleleWiderThanCode(h.highestAllele, h.codeWidth));
  }
  r.codeWidth = h.codeWidth;
  r.highestAllele = h.highestAllele;
}

template <typename Source>
void ReadLocusNames(Reading<Source>& r, DataFile& data, NameEncoding& encoding) {
  // The line count bounds L here: every locus has a line of its own.
  data.locusNames.reserve(static_cast<size_t>(data.header.loci));
  for (int32_t k = 1; k <= data.header.loci; ++k) {
    std::string name;
    int c = r.source.Get();
    while (!IsLineEnd(c) && c != kEnd) {
      name.push_back(static_cast<char>(c));
      c = r.source.Get();
    }
    FinishLineEnd(r.source, c);
    data.locusNames.push_back(
        CheckedName(name, DataPlace(r.path, r.line, k), "the locus name", encoding, true));
    ++r.line;
  }
}

// One individual's line: its population number into `population`, its `loci` genotypes
// into `cells`.
template <typename Source>
void ReadIndividual(Reading<Source>& r, int32_t loci, int32_t& population, AllelePair* cells) {
  // Population number: from the first non-blank character up to the first TAB.
  int c = r.source.Get();
  while (c == ' ') c = r.source.Get();
  if (c == kEnd) FailEndInsideLine(r, messages::kPopulationNumberField);
  if (IsLineEnd(c)) {
    FinishLineEnd(r.source, c);
    if (r.source.Peek() == kEnd) {
      FailEndInsideLine(r, messages::LastLineEmpty());
    }
    Fail(r.path, r.line, messages::LineEmpty());
  }
  std::string text;
  bool cut = false;
  Append(text, cut, c);
  for (c = r.source.Get(); c != '\t' && !IsLineEnd(c) && c != kEnd; c = r.source.Get()) {
    Append(text, cut, c);
  }
  if (c == kEnd) FailEndInsideLine(r, messages::NoTabAfterPopulation());
  if (IsLineEnd(c)) {
    FailAt(r.path, r.line, 0, messages::kPopulationNumberField,
           messages::NoTabBeforeLineEnd(Quoted(text) + (cut ? "..." : "")));
  }
  population = Convert(r.path, r.line, 0, messages::kPopulationNumberField, text, cut);

  c = r.source.Get();
  while (c == '\t') c = r.source.Get();
  for (int32_t k = 1; k <= loci; ++k) {
    // c is the first character of locus k's genotype.
    if (c == kEnd || IsLineEnd(c)) {
      const std::string found = messages::GenotypeCount(k - 1, loci);
      if (c == kEnd) FailEndInsideLine(r, found);
      Fail(r.path, r.line, found);
    }
    const int32_t first = ReadAllele(r, c, k, "first");
    const AllelePair pair = PairOf(first, ReadAllele(r, r.source.Get(), k, "second"));
    if ((pair.first == 0) != (pair.second == 0)) {
      FailAt(r.path, r.line, k, {}, messages::OneAlleleZero());
    }
    cells[k - 1] = pair;

    const int separator = r.source.Get();
    if (k < loci) {
      if (separator == kEnd || IsLineEnd(separator)) {
        c = separator;
        continue;  // reported above as a short line
      }
      CheckSeparator(r, separator, k);
      c = r.source.Get();
      while (c == '\t') c = r.source.Get();
      continue;
    }
    // After the last genotype: its separator may already be the line end (LF alone or
    // CR) or the end of the file; else TABs or blanks may precede the line end.
    if (separator == kEnd) return;
    if (IsLineEnd(separator)) {
      FinishLineEnd(r.source, separator);
      return;
    }
    CheckSeparator(r, separator, k);
    c = r.source.Get();
    while (c == '\t' || c == ' ') c = r.source.Get();
    if (c == kEnd) return;
    if (!IsLineEnd(c)) {
      Fail(r.path, r.line, messages::TextAfterLastGenotype(loci));
    }
    FinishLineEnd(r.source, c);
  }
}

// Where the line after the one that `at` is on starts: past its line end.
size_t NextLineStart(std::string_view text, size_t at) {
  while (at < text.size() && !IsLineEnd(text[at])) ++at;
  if (at < text.size() && text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
  return std::min(at + 1, text.size());
}

// The line ends in [begin, end) of `text`, counted as CountLines counts them.
int64_t LineEndsIn(std::string_view text, size_t begin, size_t end) {
  const std::string_view part = text.substr(begin, end - begin);
  int64_t ends = std::count(part.begin(), part.end(), '\r');
  for (size_t at = part.find('\n'); at != std::string_view::npos; at = part.find('\n', at + 1)) {
    if (begin + at == 0 || text[begin + at - 1] != '\r') ++ends;
  }
  return ends;
}

// Files of at least this many genotypes are read on several threads, each chunk of lines
// holding at least kLeastChunkGenotypes of them.
constexpr int64_t kLeastParallelGenotypes = int64_t{1} << 18;
constexpr std::size_t kLeastChunkGenotypes = std::size_t{1} << 17;

// The individuals' lines of a text from `start` on, `rows` lines of `loci` genotypes from
// line r.line, read in chunks of whole lines on up to `threads` threads into a table and
// identifiers already sized. Each chunk reads its lines as the reader in one pass
// would, and the first failing chunk's error is the file's first. False, with nothing
// read, where the lines do not split as counted.
bool ReadRowsInChunks(std::string_view text, size_t start, const Reading<TextSource>& r,
                      int64_t rows, int32_t loci, int threads, GenotypeTable& table,
                      std::vector<std::string>& identifiers) {
  const std::size_t chunks = ChunkCount(threads, static_cast<std::size_t>(rows),
                                        static_cast<std::size_t>(loci), kLeastChunkGenotypes);
  if (chunks < 2) return false;
  std::vector<size_t> begin(chunks + 1, text.size());
  begin[0] = start;
  for (std::size_t k = 1; k < chunks; ++k) {
    const size_t at = start + (text.size() - start) / chunks * k;
    begin[k] = std::max(begin[k - 1], NextLineStart(text, std::max(at, start) - 1));
  }
  // The lines of each chunk but the last, which takes the rest.
  std::vector<int64_t> firstRow(chunks + 1, 0);
  firstRow[chunks] = rows;
  ForChunks(chunks - 1, chunks - 1, [&](std::size_t k, std::size_t, std::size_t) {
    firstRow[k + 1] = LineEndsIn(text, begin[k], begin[k + 1]);
  });
  for (std::size_t k = 1; k < chunks; ++k) firstRow[k] += firstRow[k - 1];
  if (firstRow[chunks - 1] > rows) return false;
  ForChunks(chunks, chunks, [&](std::size_t k, std::size_t, std::size_t) {
    TextSource source{text, begin[k]};
    Reading<TextSource> own{source, r.path, r.line + firstRow[k], r.codeWidth, r.highestAllele};
    for (int64_t row = firstRow[k]; row < firstRow[k + 1]; ++row) {
      const auto at = static_cast<std::size_t>(row);
      ReadIndividual(own, loci, table.population[at],
                     table.cells.data() + at * static_cast<std::size_t>(loci));
      identifiers[at] = std::to_string(own.line);
      ++own.line;
    }
  });
  return true;
}

// The second pass, once the first has counted the lines.
template <typename Source>
DataFile ReadNative(Source& source, const std::string& path, const FirstPass& pass,
                    std::vector<std::string>& notices, int threads = 1) {
  DataFile data;
  data.path = path;
  if (pass.lines > std::numeric_limits<int32_t>::max()) {
    Fail(path, pass.lines, messages::TooManyLines());
  }
  data.lineCount = static_cast<int32_t>(pass.lines);

  Reading<Source> r{source, path};
  ReadHeader(r, data);

  const int64_t loci = data.header.loci;
  const int64_t individuals = pass.lines - loci - 1;
  if (individuals < 2) {
    Fail(path, pass.lines, messages::TooFewLines(pass.lines, loci, individuals));
  }
  NameEncoding encoding;
  ReadLocusNames(r, data, encoding);

  GenotypeTable& table = data.table;
  table.loci = data.header.loci;
  table.population.reserve(static_cast<size_t>(individuals));
  // Each genotype takes at least 2 x D characters, so the file size bounds the cells
  // whatever the header claims.
  const int64_t heldCells = pass.bytes / (2 * static_cast<int64_t>(data.header.codeWidth)) + 1;
  if constexpr (std::is_same_v<Source, TextSource>) {
    // A text that holds them all (its size bounds them) on several threads.
    if (threads > 1 && individuals * loci >= kLeastParallelGenotypes &&
        individuals * loci <= heldCells) {
      table.population.resize(static_cast<size_t>(individuals));
      table.cells.resize(static_cast<size_t>(individuals * loci));
      data.identifiers.resize(static_cast<size_t>(individuals));
      if (ReadRowsInChunks(source.text, source.position, r, individuals, table.loci, threads, table,
                           data.identifiers)) {
        DecodeNames(data, encoding, notices);
        return data;
      }
      table.population.clear();
      table.cells.clear();
      data.identifiers.clear();
    }
  }
  table.cells.reserve(static_cast<size_t>(std::min(individuals * loci, heldCells)));
  // A native file names no individual: each is known by its line number.
  for (int64_t row = 0; row < individuals; ++row) {
    table.population.push_back(0);
    table.cells.resize(table.cells.size() + static_cast<size_t>(loci));
    ReadIndividual(r, table.loci, table.population.back(),
                   table.cells.data() + static_cast<size_t>(row * loci));
    data.identifiers.push_back(std::to_string(r.line));
    ++r.line;
  }
  DecodeNames(data, encoding, notices);
  return data;
}

}  // namespace

DataFile ReadDataFile(const std::string& path, std::vector<std::string>& notices) {
  const FirstPass pass = CountLines(path);
  FileSource source;
  OpenForRead(source.file, path);
  return ReadNative(source, path, pass, notices);
}

DataFile ReadDataFile(const std::string& path) {
  std::vector<std::string> notices;
  return ReadDataFile(path, notices);
}

DataFile ReadDataText(std::string_view text, const std::string& path,
                      std::vector<std::string>& notices, int threads) {
  TextSource source{text};
  return ReadNative(source, path, CountLines(text), notices, threads);
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
