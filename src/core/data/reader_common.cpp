#include "data/reader_common.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <limits>

#include "errors.h"

namespace genosieve {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Longer texts are cut in messages, so that a binary file picked by mistake gives a short one.
constexpr size_t kQuotedLength = 64;

// The length of the valid UTF-8 sequence at text[i], or 0 when there is none.
size_t Utf8SequenceLength(std::string_view text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) return 1;
  size_t length = 0;
  uint32_t lowest = 0;
  uint32_t value = 0;
  if ((c & 0xE0) == 0xC0) {
    length = 2;
    lowest = 0x80;
    value = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3;
    lowest = 0x800;
    value = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4;
    lowest = 0x10000;
    value = c & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not valid UTF-8.
  if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Windows-1252 bytes 0x80 to 0x9F; the five bytes it leaves undefined keep their
// ISO-8859-1 meaning (control characters).
constexpr std::array<uint16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string FromWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kWindows1252High[c - 0x80] : c);
  }
  return out;
}

}  // namespace

std::string_view WithoutByteOrderMark(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return text;
}

namespace {

// The place of the next `c` at or after `from`, or the text's size: memchr scans many bytes
// per step, where a loop over the characters of a large file took most of its reading.
size_t NextOf(std::string_view text, char c, size_t from) {
  if (from >= text.size()) return text.size();
  const void* found = std::memchr(text.data() + from, c, text.size() - from);
  return found == nullptr ? text.size()
                          : static_cast<size_t>(static_cast<const char*>(found) - text.data());
}

}  // namespace

std::vector<TextLine> SplitLines(std::string_view text) {
  std::vector<TextLine> lines;
  size_t start = 0;
  int64_t number = 1;
  // The next CR and the next LF from `start`, each found again only once passed, so that
  // a file of one kind of line end is scanned twice at most.
  size_t cr = NextOf(text, '\r', 0);
  size_t lf = NextOf(text, '\n', 0);
  while (true) {
    if (cr < start) cr = NextOf(text, '\r', start);
    if (lf < start) lf = NextOf(text, '\n', start);
    const size_t end = std::min(cr, lf);
    if (end >= text.size()) break;
    lines.push_back({text.substr(start, end - start), number++});
    start = end + (end == cr && lf == end + 1 ? 2 : 1);
  }
  if (start < text.size()) lines.push_back({text.substr(start), number});
  return lines;
}

DataFile NewDataFile(const std::string& path, DataFormat format) {
  DataFile data;
  data.path = path;
  data.format = format;
  return data;
}

std::vector<TextLine> LinesOf(std::string_view text, DataFile& data) {
  std::vector<TextLine> lines = SplitLines(WithoutByteOrderMark(text));
  data.lineCount = static_cast<int32_t>(
      std::clamp<size_t>(lines.size(), 1, std::numeric_limits<int32_t>::max()));
  return lines;
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

FilePlace DataPlace(std::string_view path, int64_t line, int32_t locus, std::string_view field) {
  return {.lead = "Data file", .path = path, .line = line, .locus = locus, .field = field};
}

FilePlace CellPlace(std::string_view path, int64_t row, int64_t column) {
  return {.lead = "Data file", .path = path, .row = row, .column = column};
}

void FailAt(const FilePlace& place, std::string_view what) { throw RunError(Located(place, what)); }

std::string Shown(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const bool cut = text.size() > kQuotedLength;
  if (cut) text = text.substr(0, kQuotedLength);
  std::string shown;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32 || c >= 127 || c == '\\') {
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

std::string Quoted(std::string_view text) {
  // Appended piece by piece: "'" + text trips a GCC 12 -Wrestrict false positive.
  std::string quoted(1, '\'');
  quoted += Shown(text);
  quoted += '\'';
  return quoted;
}

std::optional<int32_t> DigitsValue(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  int64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 999999999) return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::string CheckedName(std::string_view text, const FilePlace& place, std::string_view what,
                        NameEncoding& encoding, bool tabAllowed) {
  bool ascii = true;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F) continue;
    if (c >= 0x80) {
      ascii = false;
      continue;
    }
    if (c == '\t' && tabAllowed) continue;
    if (c == '\t' || c == '\r' || c == '\n') {
      FailAt(place, messages::NameHoldsTabOrLineEnd(what, Quoted(text)));
    }
    FailAt(place, messages::NameHoldsControl(what, Quoted(text), Shown(std::string_view(&ch, 1))));
  }
  if (!ascii && !encoding.windows1252 && !IsValidUtf8(text)) {
    encoding.windows1252 = true;
    encoding.notice = Located(place, messages::NamesReadAsWindows1252(what, Quoted(text)));
  }
  return std::string(text);
}

void DecodeNames(DataFile& data, const NameEncoding& encoding, std::vector<std::string>& notices) {
  if (!encoding.windows1252) return;
  for (std::vector<std::string>* names :
       {&data.locusNames, &data.populationNames, &data.identifiers}) {
    for (std::string& name : *names) {
      if (std::any_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; })) {
        name = FromWindows1252(name);
      }
    }
  }
  notices.push_back(encoding.notice);
}

std::optional<std::string> HalfMissingNotice(const HalfMissingGenotypes& found) {
  if (found.count == 0) return std::nullopt;
  return Located(found.firstPlace,
                 messages::HalfMissingRead(Quoted(found.firstText), found.count - 1));
}

int32_t WidthOfAllele(int32_t allele) {
  if (allele < 10) return 1;
  if (allele < 100) return 2;
  return 3;
}

void CheckIndividualCount(const DataFile& data) {
  if (data.table.rows() < 2)
    FailAt(DataPlace(data.path), messages::TooFewIndividuals(data.table.rows()));
}

void DeriveHeader(DataFile& data, int32_t codeWidth) {
  CheckIndividualCount(data);
  int32_t highest = 0;
  for (const AllelePair& pair : data.table.cells) {
    highest = std::max<int32_t>({highest, pair.first, pair.second});
  }
  if (highest == 0) FailAt(DataPlace(data.path), messages::EveryGenotypeMissing());
  data.header.highestAllele = highest;
  data.header.codeWidth = codeWidth != 0 ? codeWidth : WidthOfAllele(highest);
}

void GroupRows(DataFile& data, const std::vector<int32_t>& groupOfRow, int32_t groups) {
  GenotypeTable& table = data.table;
  const auto rows = static_cast<size_t>(table.rows());
  const auto loci = static_cast<size_t>(table.loci);
  // Counting sort: the first row of each group in the new order, then each row's place.
  std::vector<size_t> next(static_cast<size_t>(groups) + 1, 0);
  for (const int32_t group : groupOfRow) ++next[static_cast<size_t>(group) + 1];
  for (size_t g = 1; g < next.size(); ++g) next[g] += next[g - 1];

  GenotypeTable grouped;
  grouped.loci = table.loci;
  grouped.population.resize(rows);
  grouped.cells.resize(table.cells.size());
  std::vector<std::string> identifiers(rows);
  for (size_t row = 0; row < rows; ++row) {
    const size_t place = next[static_cast<size_t>(groupOfRow[row])]++;
    grouped.population[place] = table.population[row];
    std::copy_n(table.cells.begin() + static_cast<std::ptrdiff_t>(row * loci), loci,
                grouped.cells.begin() + static_cast<std::ptrdiff_t>(place * loci));
    identifiers[place] = std::move(data.identifiers[row]);
  }
  table = std::move(grouped);
  data.identifiers = std::move(identifiers);
}

std::string FormatNotice(const DataFile& data) {
  const HeaderNumbers& h = data.header;
  return Located(DataPlace(data.path),
                 messages::ReadAs(FormatTitle(data.format), h.populations, h.loci,
                                  data.table.rows(), h.highestAllele, h.codeWidth));
}

}  // namespace genosieve
