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
  const FilePlace place = DataPlace(path, 1);
  const std::vector<std::string_view> words =
      lines.empty() ? std::vector<std::string_view>{} : SplitWords(lines[0].text);
  static constexpr const char* kNames[4] = {"P", "L", "A", "D"};
  if (words.size() < 4) {
    std::string quoted;
    for (const std::string_view word : words) {
      if (!quoted.empty()) quoted += ", ";
      quoted += Quoted(word);
    }
    FailAt(place, messages::FstatHeaderWords(static_cast<int64_t>(words.size()), quoted));
  }
  int32_t values[4] = {};
  for (size_t i = 0; i < 4; ++i) {
    const std::optional<int32_t> value = ParseInteger(words[i]);
    if (!value) {
      const std::string field = messages::HeaderNumberField(kNames[i]);
      FailAt(DataPlace(path, 1, 0, field), ConversionErrorMessage(Shown(words[i])));
    }
    values[i] = *value;
  }
  if (words.size() > 4) FailAt(place, messages::TextAfterHeaderNumbers(Quoted(words[4])));
  const HeaderNumbers header{values[0], values[1], values[2], values[3]};
  if (header.populations < 1) {
    FailAt(place, messages::HeaderValueBelowOne("number of populations P", header.populations));
  }
  if (header.loci < 1) {
    FailAt(place, messages::HeaderValueBelowOne("number of loci L", header.loci));
  }
  if (header.highestAllele < 1 || header.highestAllele > kHighestAlleleHandled) {
    FailAt(place, messages::FstatHighestAllele(header.highestAllele));
  }
  if (header.codeWidth < 1 || header.codeWidth > 3) {
    FailAt(place, messages::FstatCodeWidth(header.codeWidth));
  }
  // A is the highest allele written with D digits: a header of this file's native twin
  // must read back.
  if (WidthOfAllele(header.highestAllele) > header.codeWidth) {
    FailAt(place, messages::HighestAlleleWiderThanCode(header.highestAllele, header.codeWidth));
  }
  return header;
}

// `digits`: at most D (3) decimal digits, possibly none.
int32_t ReadAllele(std::string_view digits, const HeaderNumbers& header, const FilePlace& genotype,
                   const char* which) {
  const int32_t value = digits.empty() ? 0 : *DigitsValue(digits);
  if (value > header.highestAllele) {
    const std::string field = messages::AlleleField(which);
    FilePlace place = genotype;
    place.field = field;
    FailAt(place, messages::BadAllele(value, header.highestAllele));
  }
  return value;
}

AllelePair ReadGenotype(std::string_view word, const HeaderNumbers& header,
                        const FilePlace& place) {
  const auto width = static_cast<size_t>(header.codeWidth);
  if (!AllDigits(word) || word.size() > 2 * width) {
    FailAt(place, messages::NotAnFstatGenotype(Quoted(word), header.codeWidth));
  }
  const size_t split = word.size() > width ? word.size() - width : 0;
  return PairOf(ReadAllele(word.substr(0, split), header, place, "first"),
                ReadAllele(word.substr(split), header, place, "second"));
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
    FailAt(DataPlace(path), messages::LocusNamesCutShort(header.loci));
  }
  NameEncoding encoding;
  for (size_t k = 1; k <= loci; ++k) {
    data.locusNames.push_back(CheckedName(lines[k].text,
                                          DataPlace(path, lines[k].number, static_cast<int32_t>(k)),
                                          "the locus name", encoding, true));
  }
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
    const FilePlace place = DataPlace(path, line.number);
    if (words.size() != loci + 1) {
      FailAt(place,
             messages::FstatGenotypeCount(static_cast<int64_t>(words.size()) - 1, header.loci));
    }
    const std::optional<int32_t> number = ParseInteger(words[0]);
    if (!number) {
      FailAt(DataPlace(path, line.number, 0, messages::kPopulationNumberField),
             ConversionErrorMessage(Shown(words[0])));
    }
    if (data.table.rows() == std::numeric_limits<int32_t>::max()) {
      FailAt(place, messages::TooMany("individuals"));
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
      const FilePlace genotype = DataPlace(path, line.number, static_cast<int32_t>(k));
      AllelePair pair = ReadGenotype(words[k], header, genotype);
      MendHalfMissing(pair, halfMissing,
                      [&] { return std::pair(genotype, std::string(words[k])); });
      data.table.cells.push_back(pair);
    }
  }
  CheckIndividualCount(data);
  if (numbers.size() != static_cast<size_t>(header.populations)) {
    FailAt(DataPlace(path, 1),
           messages::PopulationNumbersDiffer(
               header.populations, static_cast<int64_t>(numbers.size()), NumberList(numbers)));
  }
  if (firstOutOfRun != 0) {
    GroupRows(data, groupOfRow, static_cast<int32_t>(numbers.size()));
    notices.push_back(
        Located(DataPlace(path), messages::FstatRegrouped(firstOutOfRun, NumberList(numbers))));
  }
  if (std::optional<std::string> notice = HalfMissingNotice(halfMissing)) {
    notices.push_back(std::move(*notice));
  }
  DecodeNames(data, encoding, notices);
  return data;
}

}  // namespace genosieve
