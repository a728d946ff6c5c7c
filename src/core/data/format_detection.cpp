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

// A first row of at least three whole numbers separated by commas or by semicolons.
bool HasCountsRow(std::string_view line) {
  const auto commas = std::count(line.begin(), line.end(), ',');
  const auto semicolons = std::count(line.begin(), line.end(), ';');
  if (commas == 0 && semicolons == 0) return false;
  const char delimiter = semicolons > commas ? ';' : ',';
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

// P, L and D of a header line that starts with four whole numbers.
struct FourNumbers {
  int32_t populations = 0;
  int32_t loci = 0;
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
  return FourNumbers{*values[0], *values[1], *values[3]};
}

// Individual lines the native reader would misread: a population number followed by a
// blank and more text, or more runs of population numbers than P. FSTAT codes alleles
// with 1 to 3 digits.
bool NeedsFstatReader(const std::vector<TextLine>& lines, const FourNumbers& header) {
  if (header.populations < 1 || header.loci < 1 || header.codeWidth < 1 || header.codeWidth > 3 ||
      static_cast<size_t>(header.loci) + 1 >= lines.size()) {
    return false;
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
      return true;
    }
    // What is not a population number is the native reader's to report.
    const std::optional<int32_t> number = ParseInteger(line.substr(0, end));
    if (!number) return false;
    if (runs == 0 || *number != previous) ++runs;
    previous = *number;
  }
  return runs > header.populations;
}

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace

DataFormat DetectFormat(std::string_view text, const std::string& path) {
  text = WithoutByteOrderMark(text);
  const std::string_view first = FirstLine(text);
  if (HasCountsRow(first)) return DataFormat::kGenalex;

  const std::vector<TextLine> lines = SplitLines(text);
  const bool popLine =
      std::any_of(lines.begin() + std::min<size_t>(lines.size(), 1), lines.end(),
                  [](const TextLine& line) { return IsGenepopPopLine(line.text); });
  const std::optional<FourNumbers> header = HeaderOf(first);
  const std::string extension = LowerExtension(path);
  if (popLine && (!header || extension == ".gen")) return DataFormat::kGenepop;
  if (!header) {
    if (extension == ".gen") return DataFormat::kGenepop;
    if (extension == ".csv") return DataFormat::kGenalex;
    return DataFormat::kNative;
  }
  return NeedsFstatReader(lines, *header) ? DataFormat::kFstat : DataFormat::kNative;
}

}  // namespace genosieve
