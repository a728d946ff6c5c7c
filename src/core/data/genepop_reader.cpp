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
  const auto location = [&] { return LocusLocation(r.path, line, locus); };
  const bool digits = AllDigits(word);
  if (!digits) {
    FailAt(location(), Quoted(word) +
                           " is not a genotype: a Genepop genotype is 4 or 6 digits, two alleles "
                           "of 2 or 3 digits (0000 or 000000 when missing)");
  }
  const size_t size = word.size();
  if (size == 2 || size == 3) {
    FailAt(location(), Quoted(word) + " is a haploid genotype (one allele of " +
                           std::to_string(size) +
                           " digits); the program analyses diploid data: each genotype holds two "
                           "alleles, 4 or 6 digits");
  }
  if (size != 4 && size != 6) {
    FailAt(location(), Quoted(word) + " has " + std::to_string(size) +
                           " digits; a Genepop genotype has 4 or 6 (two alleles of 2 or 3 digits)");
  }
  const size_t half = size / 2;
  AllelePair pair{*DigitsValue(word.substr(0, half)), *DigitsValue(word.substr(half))};
  if (pair.first != 0 || pair.second != 0) {
    size_t& width = r.locusDigits[static_cast<size_t>(locus) - 1];
    if (width == 0) width = size;
    if (width != size) {
      FailAt(location(), Quoted(word) + " has " + std::to_string(size) +
                             " digits, the genotypes before it at this locus " +
                             std::to_string(width) +
                             "; within a locus every genotype has the same width");
    }
    r.widestAllele = std::max(r.widestAllele, half);
  }
  MendHalfMissing(pair, r.halfMissing, [&] { return std::pair(location(), std::string(word)); });
  r.data.table.cells.push_back(pair);
}

std::vector<std::string> LocusNamesOf(std::string_view line) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= line.size()) {
    size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) comma = line.size();
    const std::string_view name = TrimBlanks(line.substr(start, comma - start));
    if (!name.empty()) names.emplace_back(name);
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
  size_t i = 1;
  for (; i < lines.size() && !IsGenepopPopLine(lines[i].text); ++i) {
    for (std::string& name : LocusNamesOf(lines[i].text))
      data.locusNames.push_back(std::move(name));
  }
  if (i >= lines.size()) {
    std::string hint;
    const auto titleEnd =
        lines.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(1, lines.size()));
    const auto near = std::find_if(titleEnd, lines.end(), [](const TextLine& line) {
      return StartsWithPop(TrimBlanks(line.text));
    });
    if (near != lines.end()) {
      hint = " (line " + std::to_string(near->number) +
             " starts with Pop, but a Pop line holds the word Pop alone)";
    }
    FailAt(FileLocation(path),
           "no Pop line; a Genepop file holds a title line, the locus names, then each "
           "population after a line that reads Pop" +
               hint);
  }
  if (data.locusNames.empty()) {
    FailAt(LineLocation(path, lines[i].number),
           "the first Pop line comes before any locus name (line 1 is the title, the locus "
           "names follow it)");
  }
  if (data.locusNames.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    FailAt(FileLocation(path), "too many loci");
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
      FailAt(LineLocation(path, individualLine),
             "the individual holds " + std::to_string(genotypes) +
                 " genotypes, L = " + std::to_string(loci) +
                 " (a line may wrap between genotypes; the next individual or Pop line starts "
                 "a new one)");
    }
  };
  const auto checkPopulation = [&] {
    if (populations > 0 && data.table.rows() == populationStart) {
      FailAt(LineLocation(path, popLine),
             "population " + std::to_string(populations) + " holds no individual");
    }
  };

  for (; i < lines.size(); ++i) {
    const TextLine& line = lines[i];
    std::string_view rest = line.text;
    if (IsGenepopPopLine(rest)) {
      checkIndividual();
      checkPopulation();
      if (populations == std::numeric_limits<int32_t>::max()) {
        FailAt(LineLocation(path, line.number), "too many populations");
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
        FailAt(LineLocation(path, line.number), "too many individuals");
      }
      data.identifiers.push_back(CheckedName(TrimBlanks(rest.substr(0, comma)),
                                             LineLocation(path, line.number), "the identifier"));
      data.table.population.push_back(populations);
      open = true;
      genotypes = 0;
      individualLine = line.number;
      rest.remove_prefix(comma + 1);
    } else if (!open || genotypes == loci) {
      FailAt(LineLocation(path, line.number),
             std::string("the line is neither a Pop line nor an individual line (identifier, "
                         "comma, then the genotypes)") +
                 (StartsWithPop(TrimBlanks(rest)) ? "; a Pop line holds the word Pop alone" : ""));
    }
    for (const std::string_view word : SplitWords(rest)) {
      if (genotypes == loci) {
        FailAt(LineLocation(path, line.number),
               "the individual of line " + std::to_string(individualLine) +
                   " holds more than L = " + std::to_string(loci) + " genotypes");
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
  return data;
}

}  // namespace genosieve
