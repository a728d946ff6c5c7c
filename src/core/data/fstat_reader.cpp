#include "data/fstat_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

#include "data/reader_common.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

// Population numbers listed in a message before it cuts the list short.
constexpr size_t kListedNumbers = 10;

HeaderNumbers ReadHeader(const std::vector<TextLine>& lines, const std::string& path) {
  const std::string location = LineLocation(path, 1);
  const std::vector<std::string_view> words =
      lines.empty() ? std::vector<std::string_view>{} : SplitWords(lines[0].text);
  static constexpr const char* kNames[4] = {"P", "L", "A", "D"};
  if (words.size() < 4) {
    FailAt(location, "the header line holds " + std::to_string(words.size()) +
                         " numbers; it holds the four numbers P L A D");
  }
  int32_t values[4] = {};
  for (size_t i = 0; i < 4; ++i) {
    const std::optional<int32_t> value = ParseInteger(words[i]);
    if (!value) {
      FailAt(location + ", header number " + kNames[i], ConversionErrorMessage(Shown(words[i])));
    }
    values[i] = *value;
  }
  if (words.size() > 4) {
    FailAt(location, "text after the four header numbers P L A D: " + Quoted(words[4]));
  }
  const HeaderNumbers header{values[0], values[1], values[2], values[3]};
  if (header.populations < 1) {
    FailAt(location, "the number of populations P is " + std::to_string(header.populations) +
                         "; it must be at least 1");
  }
  if (header.loci < 1) {
    FailAt(location,
           "the number of loci L is " + std::to_string(header.loci) + "; it must be at least 1");
  }
  if (header.highestAllele < 1 || header.highestAllele > kHighestAlleleHandled) {
    FailAt(location, "the highest allele number A is " + std::to_string(header.highestAllele) +
                         "; it must be between 1 and 999 (recode larger alleles)");
  }
  if (header.codeWidth < 1 || header.codeWidth > 3) {
    FailAt(location, "the allele code width D is " + std::to_string(header.codeWidth) +
                         "; FSTAT writes alleles with 1, 2 or 3 digits");
  }
  return header;
}

// `digits`: at most D (3) decimal digits, possibly none. `location` names the genotype
// in a message; it is built only when one is needed.
template <typename Location>
int32_t ReadAllele(std::string_view digits, const HeaderNumbers& header, const Location& location,
                   const char* which) {
  const int32_t value = digits.empty() ? 0 : *DigitsValue(digits);
  if (value > header.highestAllele) {
    FailAt(location() + ", " + which + " allele",
           "allele " + std::to_string(value) + " is above the highest allele number A = " +
               std::to_string(header.highestAllele) + " of the header");
  }
  return value;
}

template <typename Location>
AllelePair ReadGenotype(std::string_view word, const HeaderNumbers& header,
                        const Location& location) {
  const auto width = static_cast<size_t>(header.codeWidth);
  if (!AllDigits(word) || word.size() > 2 * width) {
    FailAt(location(), Quoted(word) + " is not a genotype: with D = " + std::to_string(width) +
                           " a genotype is a number of at most " + std::to_string(2 * width) +
                           " digits, the last " + std::to_string(width) +
                           " of which are the second allele (0 when missing)");
  }
  const size_t split = word.size() > width ? word.size() - width : 0;
  return {ReadAllele(word.substr(0, split), header, location, "first"),
          ReadAllele(word.substr(split), header, location, "second")};
}

std::string NumberList(const std::vector<int32_t>& numbers) {
  std::string list;
  for (size_t i = 0; i < numbers.size() && i < kListedNumbers; ++i) {
    if (i > 0) list += ", ";
    list += std::to_string(numbers[i]);
  }
  if (numbers.size() > kListedNumbers) list += ", ...";
  return list;
}

}  // namespace

DataFile ReadFstat(std::string_view text, const std::string& path,
                   std::vector<std::string>& notices) {
  DataFile data = NewDataFile(path, DataFormat::kFstat);
  const std::vector<TextLine> lines = LinesOf(text, data);
  data.header = ReadHeader(lines, path);
  const HeaderNumbers& header = data.header;

  const auto loci = static_cast<size_t>(header.loci);
  if (lines.size() - 1 < loci) {
    FailAt(FileLocation(path), "the file ends inside the locus names: L = " + std::to_string(loci) +
                                   " locus-name lines follow the header");
  }
  for (size_t k = 1; k <= loci; ++k) data.locusNames.emplace_back(lines[k].text);
  data.table.loci = header.loci;

  // Groups numbered in order of first appearance of their population number.
  std::unordered_map<int32_t, int32_t> groupOfNumber;
  std::vector<int32_t> numbers;
  std::vector<int32_t> groupOfRow;
  int64_t firstOutOfRun = 0;  // line of the first individual away from its population
  HalfMissingGenotypes halfMissing;
  for (size_t i = loci + 1; i < lines.size(); ++i) {
    const TextLine& line = lines[i];
    const std::vector<std::string_view> words = SplitWords(line.text);
    if (words.empty()) continue;
    const std::string location = LineLocation(path, line.number);
    if (words.size() != loci + 1) {
      FailAt(location, "the line holds " + std::to_string(words.size() - 1) +
                           " genotypes after the population number, L = " + std::to_string(loci));
    }
    const std::optional<int32_t> number = ParseInteger(words[0]);
    if (!number) {
      FailAt(location + ", population number", ConversionErrorMessage(Shown(words[0])));
    }
    if (data.table.rows() == std::numeric_limits<int32_t>::max()) {
      FailAt(location, "too many individuals");
    }
    const auto [found, added] =
        groupOfNumber.try_emplace(*number, static_cast<int32_t>(numbers.size()));
    if (added) numbers.push_back(*number);
    if (!groupOfRow.empty() && found->second != groupOfRow.back() && !added && firstOutOfRun == 0) {
      firstOutOfRun = line.number;
    }
    groupOfRow.push_back(found->second);
    data.table.population.push_back(*number);
    data.identifiers.push_back(std::to_string(line.number));
    for (size_t k = 1; k <= loci; ++k) {
      const auto location = [&] {
        return LocusLocation(path, line.number, static_cast<int32_t>(k));
      };
      AllelePair pair = ReadGenotype(words[k], header, location);
      MendHalfMissing(pair, halfMissing,
                      [&] { return std::pair(location(), std::string(words[k])); });
      data.table.cells.push_back(pair);
    }
  }
  CheckIndividualCount(data);
  if (numbers.size() != static_cast<size_t>(header.populations)) {
    FailAt(LineLocation(path, 1), "the header gives P = " + std::to_string(header.populations) +
                                      " populations, but the individual lines hold " +
                                      std::to_string(numbers.size()) + " population number" +
                                      (numbers.size() == 1 ? "" : "s") + " (" +
                                      NumberList(numbers) + ")");
  }
  if (firstOutOfRun != 0) {
    GroupRows(data, groupOfRow, static_cast<int32_t>(numbers.size()));
    notices.push_back(FileLocation(path) +
                      ": the individuals of a population are not all listed together (line " +
                      std::to_string(firstOutOfRun) +
                      " is the first away from its population); they are grouped by population "
                      "number, populations numbered in order of first appearance (" +
                      NumberList(numbers) + ")");
  }
  if (std::optional<std::string> notice = HalfMissingNotice(halfMissing)) {
    notices.push_back(std::move(*notice));
  }
  return data;
}

}  // namespace genosieve
