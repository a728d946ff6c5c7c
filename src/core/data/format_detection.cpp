#include "data/format_detection.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <vector>

#include "data/genepop_reader.h"
#include "data/reader_common.h"
#include "errors.h"

namespace genosieve {

namespace {

std::string_view FirstLine(std::string_view text) {
  return text.substr(0, std::min(text.size(), text.find_first_of("\r\n")));
}

// The delimiter a first row of counts uses: the most frequent of comma, semicolon and TAB
// (as the GenAlEx reader chooses it), or 0 when it holds none of them.
char CountsDelimiter(std::string_view line) {
  const auto commas = std::count(line.begin(), line.end(), ',');
  const auto semicolons = std::count(line.begin(), line.end(), ';');
  const auto tabs = std::count(line.begin(), line.end(), '\t');
  if (commas == 0 && semicolons == 0 && tabs == 0) return 0;
  if (tabs > commas && tabs > semicolons) return '\t';
  return semicolons > commas ? ';' : ',';
}

// A first row of at least three whole numbers separated by `delimiter`.
bool HasCountsRow(std::string_view line, char delimiter) {
  size_t start = 0;
  for (int cell = 0; cell < 3; ++cell) {
    const size_t end = line.find(delimiter, start);
    if (end == std::string_view::npos && cell < 2) return false;
    std::string_view text = TrimBlanks(line.substr(start, end - start));
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
      text = TrimBlanks(text.substr(1, text.size() - 2));
    }
    if (!DigitsValue(text)) return false;
    start = end + 1;
  }
  return true;
}

// P, L, A and D of a header line that starts with four whole numbers.
struct FourNumbers {
  int32_t populations = 0;
  int32_t loci = 0;
  int32_t highestAllele = 0;
  int32_t codeWidth = 0;
};

std::optional<FourNumbers> HeaderOf(std::string_view line) {
  const std::vector<std::string_view> words = SplitWords(line);
  if (words.size() < 4) return std::nullopt;
  std::optional<int32_t> values[4];
  for (size_t i = 0; i < 4; ++i) {
    values[i] = ParseInteger(words[i]);
    if (!values[i]) return std::nullopt;
  }
  return FourNumbers{*values[0], *values[1], *values[2], *values[3]};
}

// A header both the native and the FSTAT reader take: alleles of 1 to 3 digits, A
// written in D digits.
bool PlausibleHeader(const FourNumbers& h) {
  return h.populations >= 1 && h.loci >= 1 && h.highestAllele >= 1 &&
         h.highestAllele <= kHighestAlleleHandled && h.codeWidth >= 1 && h.codeWidth <= 3 &&
         WidthOfAllele(h.highestAllele) <= h.codeWidth;
}

// Individual lines the native reader would misread: a population number followed by a
// blank and more text, or more runs of population numbers than P. FSTAT codes alleles
// with 1 to 3 digits.
void FindFstatMarks(const std::vector<TextLine>& lines, const FourNumbers& header,
                    LayoutCandidates& found) {
  if (header.populations < 1 || header.loci < 1 || header.codeWidth < 1 || header.codeWidth > 3 ||
      static_cast<size_t>(header.loci) + 1 >= lines.size()) {
    return;
  }
  int64_t runs = 0;
  int32_t previous = 0;
  for (size_t i = static_cast<size_t>(header.loci) + 1; i < lines.size(); ++i) {
    std::string_view line = lines[i].text;
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (TrimBlanks(line).empty()) continue;
    const size_t end = line.find_first_of(" \t");
    if (end != std::string_view::npos && line[end] == ' ' &&
        !TrimBlanks(line.substr(end)).empty()) {
      found.blankAfterPopulation = true;
      return;
    }
    // What is not a population number is the native reader's to report.
    const std::optional<int32_t> number = ParseInteger(line.substr(0, end));
    if (!number) return;
    if (runs == 0 || *number != previous) ++runs;
    previous = *number;
  }
  found.moreRunsThanP = runs > header.populations;
}

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

void Add(LayoutCandidates& found, DataFormat format) {
  if (std::find(found.formats.begin(), found.formats.end(), format) == found.formats.end()) {
    found.formats.push_back(format);
  }
}

}  // namespace

LayoutCandidates DetectLayouts(std::string_view text, const std::string& path) {
  text = WithoutByteOrderMark(text);
  const std::string_view first = FirstLine(text);
  const char delimiter = CountsDelimiter(first);
  const bool countsRow = delimiter != 0 && HasCountsRow(first, delimiter);

  const std::vector<TextLine> lines = SplitLines(text);
  const bool popLine =
      std::any_of(lines.begin() + std::min<size_t>(lines.size(), 1), lines.end(),
                  [](const TextLine& line) { return IsGenepopPopLine(line.text); });
  const std::optional<FourNumbers> header = HeaderOf(first);
  const std::string extension = LowerExtension(path);

  LayoutCandidates found;
  if (countsRow && delimiter != '\t') {
    Add(found, DataFormat::kGenalex);
  } else if (popLine && (!header || extension == ".gen")) {
    Add(found, DataFormat::kGenepop);
  } else if (!header) {
    if (countsRow) {
      Add(found, DataFormat::kGenalex);
    } else if (extension == ".gen") {
      Add(found, DataFormat::kGenepop);
    } else if (extension == ".csv") {
      Add(found, DataFormat::kGenalex);
    }
  } else if (countsRow && !PlausibleHeader(*header)) {
    // A GenAlEx sheet saved as text: "10 262 1 262" is L, N, P and one population's size.
    Add(found, DataFormat::kGenalex);
  } else {
    FindFstatMarks(lines, *header, found);
    if (found.blankAfterPopulation || found.moreRunsThanP) Add(found, DataFormat::kFstat);
  }
  // Then every other layout whose marks the file bears, and native for anything else.
  if (header) {
    Add(found, DataFormat::kNative);
    if (PlausibleHeader(*header)) Add(found, DataFormat::kFstat);
  }
  if (popLine) Add(found, DataFormat::kGenepop);
  if (countsRow) Add(found, DataFormat::kGenalex);
  if (found.formats.empty()) Add(found, DataFormat::kNative);
  return found;
}

DataFormat DetectFormat(std::string_view text, const std::string& path) {
  return DetectLayouts(text, path).formats.front();
}

bool HasShortGenotypes(std::string_view text) {
  const std::vector<TextLine> lines = SplitLines(WithoutByteOrderMark(text));
  if (lines.empty()) return false;
  const std::optional<FourNumbers> header = HeaderOf(lines.front().text);
  if (!header || header->loci < 1 || header->codeWidth < 1 || header->codeWidth > 3) return false;
  const auto width = static_cast<size_t>(2 * header->codeWidth);
  for (size_t i = static_cast<size_t>(header->loci) + 1; i < lines.size(); ++i) {
    const std::vector<std::string_view> words = SplitWords(lines[i].text);
    for (size_t k = 1; k < words.size(); ++k) {
      if (words[k].size() < width && AllDigits(words[k])) return true;
    }
  }
  return false;
}

}  // namespace genosieve
