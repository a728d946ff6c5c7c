#include "data/genepop_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "data/reader_common.h"

namespace genosieve {

namespace {

bool StartsWithPop(std::string_view text) {
  return text.size() >= 3 && (text[0] == 'P' || text[0] == 'p') &&
         (text[1] == 'O' || text[1] == 'o') && (text[2] == 'P' || text[2] == 'p');
}

struct Reading {
  const std::string& path;
  DataFile& data;
  // Per locus, the digits of its typed genotypes (4 or 6); 0 until the first one.
  std::vector<size_t> locusDigits;
  size_t widestAllele = 0;
  HalfMissingGenotypes halfMissing{};
};

void ReadGenotype(Reading& r, std::string_view word, int64_t line, int32_t locus) {
  const FilePlace place = DataPlace(r.path, line, locus);
  if (!AllDigits(word)) FailAt(place, messages::NotAGenepopGenotype(Quoted(word)));
  const size_t size = word.size();
  if (size == 2 || size == 3) {
    FailAt(place, messages::HaploidGenotype(Quoted(word), static_cast<int64_t>(size)));
  }
  if (size != 4 && size != 6) {
    FailAt(place, messages::GenepopGenotypeDigits(Quoted(word), static_cast<int64_t>(size)));
  }
  const size_t half = size / 2;
  AllelePair pair = PairOf(*DigitsValue(word.substr(0, half)), *DigitsValue(word.substr(half)));
  if (pair.first != 0 || pair.second != 0) {
    size_t& width = r.locusDigits[static_cast<size_t>(locus) - 1];
    if (width == 0) width = size;
    if (width != size) {
      FailAt(place, messages::LocusWidthDiffers(Quoted(word), static_cast<int64_t>(size),
                                                static_cast<int64_t>(width)));
    }
    r.widestAllele = std::max(r.widestAllele, half);
  }
  MendHalfMissing(pair, r.halfMissing, [&] { return std::pair(place, std::string(word)); });
  r.data.table.cells.push_back(pair);
}

std::vector<std::string_view> LocusNamesOf(std::string_view line) {
  std::vector<std::string_view> names;
  size_t start = 0;
  while (start <= line.size()) {
    size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) comma = line.size();
    const std::string_view name = TrimBlanks(line.substr(start, comma - start));
    if (!name.empty()) names.push_back(name);
    start = comma + 1;
  }
  return names;
}

}  // namespace

bool IsGenepopPopLine(std::string_view line) {
  const std::string_view word = TrimBlanks(line);
  return word.size() == 3 && StartsWithPop(word);
}

DataFile ReadGenepop(std::string_view text, const std::string& path,
                     std::vector<std::string>& notices) {
  DataFile data = NewDataFile(path, DataFormat::kGenepop);
  const std::vector<TextLine> lines = LinesOf(text, data);

  // Line 1 is the title; the locus names follow until the first Pop line.
  NameEncoding encoding;
  size_t i = 1;
  for (; i < lines.size() && !IsGenepopPopLine(lines[i].text); ++i) {
    for (const std::string_view name : LocusNamesOf(lines[i].text)) {
      const auto locus = static_cast<int32_t>(
          std::min<size_t>(data.locusNames.size() + 1, std::numeric_limits<int32_t>::max()));
      data.locusNames.push_back(CheckedName(name, DataPlace(path, lines[i].number, locus),
                                            "the locus name", encoding, true));
    }
  }
  if (i >= lines.size()) {
    const auto titleEnd =
        lines.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(1, lines.size()));
    const auto near = std::find_if(titleEnd, lines.end(), [](const TextLine& line) {
      return StartsWithPop(TrimBlanks(line.text));
    });
    FailAt(DataPlace(path), messages::NoPopLine(near != lines.end() ? near->number : 0));
  }
  if (data.locusNames.empty()) {
    FailAt(DataPlace(path, lines[i].number), messages::PopBeforeLocusNames());
  }
  if (data.locusNames.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    FailAt(DataPlace(path), messages::TooMany("loci"));
  }
  const auto loci = static_cast<int32_t>(data.locusNames.size());
  data.table.loci = loci;

  Reading r{
      .path = path, .data = data, .locusDigits = std::vector<size_t>(static_cast<size_t>(loci), 0)};
  int32_t populations = 0;
  int64_t popLine = 0;
  int32_t populationStart = 0;
  bool open = false;  // an individual has been started
  int32_t genotypes = 0;
  int64_t individualLine = 0;

  const auto checkIndividual = [&] {
    if (open && genotypes < loci) {
      FailAt(DataPlace(path, individualLine), messages::IndividualTooShort(genotypes, loci));
    }
  };
  const auto checkPopulation = [&] {
    if (populations > 0 && data.table.rows() == populationStart) {
      FailAt(DataPlace(path, popLine), messages::PopulationWithoutIndividual(populations));
    }
  };

  for (; i < lines.size(); ++i) {
    const TextLine& line = lines[i];
    std::string_view rest = line.text;
    if (IsGenepopPopLine(rest)) {
      checkIndividual();
      checkPopulation();
      if (populations == std::numeric_limits<int32_t>::max()) {
        FailAt(DataPlace(path, line.number), messages::TooMany("populations"));
      }
      ++populations;
      popLine = line.number;
      populationStart = data.table.rows();
      open = false;
      continue;
    }
    if (TrimBlanks(rest).empty()) continue;
    const size_t comma = rest.find(',');
    if (comma != std::string_view::npos) {
      checkIndividual();
      if (data.table.rows() == std::numeric_limits<int32_t>::max()) {
        FailAt(DataPlace(path, line.number), messages::TooMany("individuals"));
      }
      data.identifiers.push_back(CheckedName(TrimBlanks(rest.substr(0, comma)),
                                             DataPlace(path, line.number), "the identifier",
                                             encoding));
      data.table.population.push_back(populations);
      open = true;
      genotypes = 0;
      individualLine = line.number;
      rest.remove_prefix(comma + 1);
    } else if (!open || genotypes == loci) {
      FailAt(DataPlace(path, line.number),
             messages::NeitherPopNorIndividual(StartsWithPop(TrimBlanks(rest))));
    }
    for (const std::string_view word : SplitWords(rest)) {
      if (genotypes == loci) {
        FailAt(DataPlace(path, line.number), messages::IndividualTooLong(individualLine, loci));
      }
      ReadGenotype(r, word, line.number, ++genotypes);
    }
  }
  checkIndividual();
  checkPopulation();

  // Genepop programs name a population after its last individual.
  data.populationNames.resize(static_cast<size_t>(populations));
  for (int32_t row = 0; row < data.table.rows(); ++row) {
    data.populationNames[static_cast<size_t>(data.table.population[static_cast<size_t>(row)]) - 1] =
        data.identifiers[static_cast<size_t>(row)];
  }
  data.header.populations = populations;
  data.header.loci = loci;
  DeriveHeader(data, static_cast<int32_t>(std::max<size_t>(r.widestAllele, 2)));
  if (std::optional<std::string> notice = HalfMissingNotice(r.halfMissing)) {
    notices.push_back(std::move(*notice));
  }
  DecodeNames(data, encoding, notices);
  return data;
}

}  // namespace genosieve
