#include "data/genalex_reader.h"

#include <csv.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <limits>
#include <map>
#include <memory>

#include "data/reader_common.h"
#include "errors.h"

namespace genosieve {

namespace {

// Population names listed in a message before it cuts the list short.
constexpr size_t kListedNames = 5;

// What row 1 gives but need not give: a count left empty is not checked.
constexpr int32_t kNotGiven = -1;

// One record of the sheet: its cells, trimmed, and the line of the file where it starts
// (the sheet's row number unless a quoted cell earlier holds a line end).
struct Row {
  int64_t line = 0;
  std::vector<std::string> cells;

  bool Blank() const {
    return std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); });
  }
  // The cell at 1-based `column`, or "" beyond the last one.
  std::string_view Cell(size_t column) const {
    return column <= cells.size() ? std::string_view(cells[column - 1]) : std::string_view{};
  }
};

// The records libcsv has completed; the parser only fills this, so that no exception is
// thrown through it (a failed allocation is kept and thrown once the parser returns).
struct Records {
  int64_t start = 0;  // line where the record being parsed starts
  Row current;
  std::vector<Row> done;
  std::exception_ptr failure;
};

void EndOfCell(void* cell, size_t length, void* data) {
  auto& records = *static_cast<Records*>(data);
  try {
    records.current.line = records.start;
    records.current.cells.emplace_back(
        TrimBlanks(std::string_view(static_cast<const char*>(cell), cell ? length : 0)));
  } catch (...) {
    if (!records.failure) records.failure = std::current_exception();
  }
}

void EndOfRecord(int, void* data) {
  auto& records = *static_cast<Records*>(data);
  try {
    records.done.push_back(std::move(records.current));
  } catch (...) {
    if (!records.failure) records.failure = std::current_exception();
  }
  records.current = {};
}

struct ParserDeleter {
  void operator()(csv_parser* parser) const {
    csv_free(parser);
    delete parser;
  }
};

// The delimiter of the sheet: a semicolon when the first line (the counts) holds more of
// them than commas, as spreadsheets set to a decimal comma write; a TAB when it holds
// more TABs than either, as a sheet saved as "Text (Tab delimited)".
unsigned char Delimiter(std::string_view firstLine) {
  const auto commas = std::count(firstLine.begin(), firstLine.end(), ',');
  const auto semicolons = std::count(firstLine.begin(), firstLine.end(), ';');
  const auto tabs = std::count(firstLine.begin(), firstLine.end(), '\t');
  if (tabs > commas && tabs > semicolons) return '\t';
  return semicolons > commas ? ';' : ',';
}

// With TAB as the delimiter only the blank is a space for libcsv, which would otherwise
// skip a TAB at the start of a cell and lose the empty cells of the sheet.
int IsBlankOnly(unsigned char c) { return c == ' ' ? 1 : 0; }

struct Sheet {
  const std::string& path;
  DataFile& data;
  int32_t loci = 0;
  int32_t samples = kNotGiven;
  int32_t populations = kNotGiven;
  // Without population sizes in row 1, the populations are the names of column 2, in
  // order of first appearance, and row 2 is not read.
  bool fromColumnTwo = false;
  std::vector<int32_t> sizes{};  // per population, from row 1
  // Names as written in the file (decoded once the whole file is read).
  std::map<std::string, int32_t, std::less<>> populationOfName{};
  int64_t rows = 0;  // non-blank records so far
  std::vector<int32_t> groupOfRow{};
  std::vector<int32_t> samplesOf{};  // per population, sample rows naming it
  int64_t firstAway = 0;             // row of the first sample away from its population
  HalfMissingGenotypes halfMissing{};
  NameEncoding encoding{};
};

FilePlace PlaceOf(const Sheet& s, const Row& row, size_t column) {
  return CellPlace(s.path, row.line, static_cast<int64_t>(column));
}

int32_t CountCell(const Sheet& s, const Row& row, size_t column, const std::string& what,
                  int32_t lowest) {
  const std::string_view cell = row.Cell(column);
  const FilePlace place = PlaceOf(s, row, column);
  if (cell.empty()) FailAt(place, messages::CountMissing(what));
  const std::optional<int32_t> value = DigitsValue(cell);
  if (!value) FailAt(place, messages::CountNotWholeNumber(Quoted(cell), what));
  if (*value < lowest) FailAt(place, messages::CountTooSmall(what, *value, lowest));
  return *value;
}

// Whether row 1 leaves out every population size (or the number of populations), as
// many users' sheets do: the populations then come from column 2.
bool SizesLeftOut(const Row& row) {
  const std::string_view count = row.Cell(3);
  if (count.empty()) return true;
  const std::optional<int32_t> populations = DigitsValue(count);
  // A count that is not one is reported as such.
  if (!populations || *populations < 1) return false;
  const size_t last = std::min(row.cells.size(), 3 + static_cast<size_t>(*populations));
  for (size_t column = 4; column <= last; ++column) {
    if (!row.Cell(column).empty()) return false;
  }
  return true;
}

void ReadCounts(Sheet& s, const Row& row) {
  s.loci = CountCell(s, row, 1, "number of loci", 1);
  s.fromColumnTwo = SizesLeftOut(row);
  if (s.fromColumnTwo) {
    // Only the counts given are checked.
    if (!row.Cell(2).empty()) s.samples = CountCell(s, row, 2, "number of samples", 1);
    if (!row.Cell(3).empty()) s.populations = CountCell(s, row, 3, "number of populations", 1);
    return;
  }
  s.samples = CountCell(s, row, 2, "number of samples", 1);
  s.populations = CountCell(s, row, 3, "number of populations", 1);
  for (int32_t k = 1; k <= s.populations; ++k) {
    s.sizes.push_back(CountCell(s, row, 3 + static_cast<size_t>(k),
                                "size of population " + std::to_string(k), 1));
  }
}

void ReadPopulationNames(Sheet& s, const Row& row) {
  if (s.fromColumnTwo) return;
  const auto populations = static_cast<int32_t>(s.sizes.size());
  for (int32_t k = 1; k <= populations; ++k) {
    const FilePlace place = PlaceOf(s, row, 3 + static_cast<size_t>(k));
    const std::string_view cell = row.Cell(3 + static_cast<size_t>(k));
    if (cell.empty()) FailAt(place, messages::PopulationNameMissing(k, populations));
    std::string name = CheckedName(cell, place, "the population name", s.encoding);
    if (!s.populationOfName.try_emplace(name, k - 1).second) {
      FailAt(place, messages::PopulationNameTwice(Quoted(name)));
    }
    s.data.populationNames.push_back(std::move(name));
  }
}

void CheckEndOfLoci(const Sheet& s, const Row& row) {
  const size_t column = 3 + 2 * static_cast<size_t>(s.loci);
  if (!row.Cell(column).empty()) {
    FailAt(PlaceOf(s, row, column), messages::TextAfterLoci(Quoted(row.Cell(column)), s.loci));
  }
}

// A sheet of haploid data (AFLP, or one allele column per locus) or of another ploidy
// names its L loci in row 3 one, three, four... columns apart, not two: refused as such,
// rather than for the first locus name the diploid reading misses.
void CheckPloidy(const Sheet& s, const Row& row) {
  std::vector<size_t> named;
  for (size_t column = 3; column <= row.cells.size() && named.size() < static_cast<size_t>(s.loci);
       ++column) {
    if (!row.Cell(column).empty()) named.push_back(column);
  }
  if (named.size() < 2 || named.size() != static_cast<size_t>(s.loci)) return;
  const size_t step = named[1] - named[0];
  for (size_t k = 1; k < named.size(); ++k) {
    if (named[k] - named[k - 1] != step) return;
  }
  if (named.front() != 3 || step == 2) return;
  FailAt(CellPlace(s.path, row.line),
         messages::NotDiploid(static_cast<int64_t>(step),
                              FillMessage("the L = {} loci are named in columns {} to {}", s.loci,
                                          named.front(), named.back())));
}

void ReadLocusNames(Sheet& s, const Row& row) {
  for (int32_t k = 1; k <= s.loci; ++k) {
    const size_t column = 1 + 2 * static_cast<size_t>(k);
    const std::string_view cell = row.Cell(column);
    if (cell.empty()) {
      CheckPloidy(s, row);
      FailAt(PlaceOf(s, row, column), messages::LocusNameMissing(k, s.loci));
    }
    s.data.locusNames.push_back(
        CheckedName(cell, PlaceOf(s, row, column), "the locus name", s.encoding));
  }
  CheckEndOfLoci(s, row);
}

int32_t ReadAllele(const Sheet& s, const Row& row, size_t column) {
  const std::string_view cell = row.Cell(column);
  if (cell.empty()) return 0;
  if (!AllDigits(cell)) FailAt(PlaceOf(s, row, column), messages::NotAnAlleleNumber(Quoted(cell)));
  const size_t first = cell.find_first_not_of('0');
  const std::optional<int32_t> value =
      first == std::string_view::npos ? 0 : DigitsValue(cell.substr(first));
  if (!value || *value > kHighestAlleleHandled) {
    FailAt(PlaceOf(s, row, column), messages::AlleleAboveProgramRange(Quoted(cell)));
  }
  return *value;
}

std::string ListedNames(const std::vector<std::string>& names) {
  std::string list;
  for (size_t k = 0; k < names.size() && k < kListedNames; ++k) {
    if (k > 0) list += ", ";
    list += Quoted(names[k]);
  }
  if (names.size() > kListedNames) list += ", ...";
  return list;
}

// The population of a sample: the group of its name in column 2, a new one for a name not
// seen before.
int32_t GroupFromColumnTwo(Sheet& s, const Row& row) {
  const std::string_view name = row.Cell(2);
  if (name.empty()) FailAt(PlaceOf(s, row, 2), messages::PopulationNameEmpty());
  const auto found = s.populationOfName.find(name);
  if (found != s.populationOfName.end()) {
    if (s.firstAway == 0 && found->second != s.groupOfRow.back()) s.firstAway = row.line;
    return found->second;
  }
  const auto group = static_cast<int32_t>(s.data.populationNames.size());
  std::string checked = CheckedName(name, PlaceOf(s, row, 2), "the population name", s.encoding);
  s.populationOfName.emplace(checked, group);
  s.data.populationNames.push_back(std::move(checked));
  s.samplesOf.push_back(0);
  return group;
}

void ReadSample(Sheet& s, const Row& row) {
  if (s.data.table.rows() == s.samples) {
    FailAt(PlaceOf(s, row, 1), messages::SampleBeyondCount(s.samples));
  }
  const size_t width = 2 + 2 * static_cast<size_t>(s.loci);
  if (row.cells.size() < width) {
    FailAt(CellPlace(s.path, row.line),
           messages::SampleRowTooShort(static_cast<int64_t>(row.cells.size()), s.loci,
                                       static_cast<int64_t>(width)));
  }
  CheckEndOfLoci(s, row);
  s.data.identifiers.push_back(
      CheckedName(row.Cell(1), PlaceOf(s, row, 1), "the sample identifier", s.encoding));
  int32_t group = 0;
  if (s.fromColumnTwo) {
    group = GroupFromColumnTwo(s, row);
  } else {
    const std::string_view population = row.Cell(2);
    const auto found = s.populationOfName.find(population);
    if (found == s.populationOfName.end()) {
      FailAt(PlaceOf(s, row, 2), messages::PopulationNotInRowTwo(
                                     Quoted(population), ListedNames(s.data.populationNames)));
    }
    group = found->second;
  }
  s.groupOfRow.push_back(group);
  ++s.samplesOf[static_cast<size_t>(group)];
  s.data.table.population.push_back(group + 1);
  for (int32_t k = 1; k <= s.loci; ++k) {
    const size_t column = 1 + 2 * static_cast<size_t>(k);
    AllelePair pair = PairOf(ReadAllele(s, row, column), ReadAllele(s, row, column + 1));
    MendHalfMissing(pair, s.halfMissing, [&] {
      std::string text(row.Cell(column));
      text += '/';
      text += row.Cell(column + 1);
      return std::pair(PlaceOf(s, row, column), text);
    });
    s.data.table.cells.push_back(pair);
  }
}

void TakeRow(Sheet& s, const Row& row) {
  if (row.Blank()) return;
  ++s.rows;
  if (s.rows == 1) {
    ReadCounts(s, row);
    s.samplesOf.assign(s.sizes.size(), 0);
  } else if (s.rows == 2) {
    ReadPopulationNames(s, row);
  } else if (s.rows == 3) {
    ReadLocusNames(s, row);
    s.data.table.loci = s.loci;
  } else {
    ReadSample(s, row);
  }
}

// The checks of row 1's sizes and the grouping in the order of row 2.
void FinishFromRowTwo(Sheet& s, std::vector<std::string>& notices) {
  DataFile& data = s.data;
  const auto populations = static_cast<int32_t>(s.sizes.size());
  for (int32_t k = 0; k < populations; ++k) {
    const int32_t size = s.sizes[static_cast<size_t>(k)];
    const int32_t found = s.samplesOf[static_cast<size_t>(k)];
    if (size != found) {
      FailAt(DataPlace(s.path),
             messages::PopulationSizeDiffers(Quoted(data.populationNames[static_cast<size_t>(k)]),
                                             size, found));
    }
  }
  if (!std::is_sorted(s.groupOfRow.begin(), s.groupOfRow.end())) {
    GroupRows(data, s.groupOfRow, populations);
    notices.push_back(Located(DataPlace(s.path), messages::Regrouped("row 2")));
  }
}

// The check of row 1's number of populations, when given, and the grouping in order of
// first appearance in column 2.
void FinishFromColumnTwo(Sheet& s, std::vector<std::string>& notices) {
  DataFile& data = s.data;
  const auto found = static_cast<int64_t>(data.populationNames.size());
  if (s.populations != kNotGiven && found != s.populations) {
    FailAt(DataPlace(s.path), messages::PopulationCountDiffers(s.populations, found,
                                                               ListedNames(data.populationNames)));
  }
  notices.push_back(Located(DataPlace(s.path), messages::PopulationsFromColumnTwo(found)));
  if (s.firstAway != 0) {
    GroupRows(data, s.groupOfRow, static_cast<int32_t>(found));
    notices.push_back(
        Located(DataPlace(s.path),
                messages::GenalexRegrouped(s.firstAway, ListedNames(data.populationNames))));
  }
}

}  // namespace

DataFile ReadGenalex(std::string_view text, const std::string& path,
                     std::vector<std::string>& notices) {
  DataFile data = NewDataFile(path, DataFormat::kGenalex);
  const std::string_view body = WithoutByteOrderMark(text);

  std::unique_ptr<csv_parser, ParserDeleter> parser(new csv_parser);
  if (csv_init(parser.get(), CSV_STRICT | CSV_STRICT_FINI) != 0) {
    delete parser.release();
    throw std::bad_alloc();
  }
  const unsigned char delimiter = Delimiter(body.substr(0, body.find_first_of("\r\n")));
  csv_set_delim(parser.get(), delimiter);
  if (delimiter == '\t') csv_set_space_func(parser.get(), IsBlankOnly);

  Sheet sheet{.path = path, .data = data};
  Records records;
  // Fed line by line (each with its line end), so that every record knows its line.
  size_t start = 0;
  int64_t number = 0;
  while (start < body.size()) {
    size_t end = body.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      end = body.size();
    } else {
      end += body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1;
    }
    ++number;
    // Between records the parser has not begun a row: a record starts on this line.
    if (parser->pstate == 0 && records.current.cells.empty()) records.start = number;
    const size_t length = end - start;
    if (csv_parse(parser.get(), body.data() + start, length, EndOfCell, EndOfRecord, &records) !=
        length) {
      if (csv_error(parser.get()) == CSV_ENOMEM) throw std::bad_alloc();
      FailAt(CellPlace(path, records.start), records.start == number
                                                 ? messages::QuoteMisplaced()
                                                 : messages::QuotesDoNotPair(number));
    }
    if (records.failure) std::rethrow_exception(records.failure);
    for (const Row& row : records.done) TakeRow(sheet, row);
    records.done.clear();
    start = end;
  }
  data.lineCount =
      static_cast<int32_t>(std::clamp<int64_t>(number, 1, std::numeric_limits<int32_t>::max()));
  if (csv_fini(parser.get(), EndOfCell, EndOfRecord, &records) != 0 ||
      csv_error(parser.get()) == CSV_EPARSE) {
    FailAt(CellPlace(path, records.start), messages::QuoteNeverClosed());
  }
  if (records.failure) std::rethrow_exception(records.failure);
  for (const Row& row : records.done) TakeRow(sheet, row);

  if (sheet.rows < 3) {
    FailAt(DataPlace(path), messages::TooFewRows(sheet.rows));
  }
  if (data.table.rows() < sheet.samples) {
    FailAt(DataPlace(path), messages::SampleCountDiffers(sheet.samples, data.table.rows()));
  }
  if (sheet.fromColumnTwo) {
    FinishFromColumnTwo(sheet, notices);
  } else {
    FinishFromRowTwo(sheet, notices);
  }
  data.header.populations = static_cast<int32_t>(data.populationNames.size());
  data.header.loci = sheet.loci;
  DeriveHeader(data, 0);
  if (std::optional<std::string> notice = HalfMissingNotice(sheet.halfMissing)) {
    notices.push_back(std::move(*notice));
  }
  DecodeNames(data, sheet.encoding, notices);
  return data;
}

}  // namespace genosieve
