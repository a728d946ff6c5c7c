#pragma once

// Reads the Run's TSV tables with libcsv, as a spreadsheet or a script would, rather than
// splitting lines by hand: quoted fields and line ends are the reader's business. A text
// that is not a valid table throws std::runtime_error, which fails the test.

#include <csv.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace genosieve::testing {

using TsvTable = std::vector<std::vector<std::string>>;

inline TsvTable ReadTsv(const std::string& bytes) {
  struct Reading {
    TsvTable rows;
    std::vector<std::string> row;
  } reading;
  csv_parser parser{};
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL) != 0) {
    throw std::runtime_error("csv_init failed");
  }
  csv_set_delim(&parser, '\t');
  // Blanks and TABs are part of the fields, not padding around them.
  csv_set_space_func(&parser, [](unsigned char) { return 0; });
  const auto field = [](void* text, size_t size, void* data) {
    static_cast<Reading*>(data)->row.emplace_back(static_cast<const char*>(text), size);
  };
  const auto endOfRow = [](int, void* data) {
    auto* r = static_cast<Reading*>(data);
    r->rows.push_back(std::move(r->row));
    r->row.clear();
  };
  const bool parsed =
      csv_parse(&parser, bytes.data(), bytes.size(), field, endOfRow, &reading) == bytes.size() &&
      csv_fini(&parser, field, endOfRow, &reading) == 0;
  const std::string error = csv_strerror(csv_error(&parser));
  csv_free(&parser);
  if (!parsed) throw std::runtime_error("not a valid TSV table: " + error);
  return reading.rows;
}

// The summary table with the population tests' names left out: the one column in which
// the Runs on a data set in two layouts differ, when only one of them names populations.
inline TsvTable SummaryWithoutPopulationNames(const std::string& bytes) {
  TsvTable table = ReadTsv(bytes);
  for (std::vector<std::string>& row : table) {
    if (row.size() > 2 && row[0] == "population") row[2].clear();
  }
  return table;
}

// A table with one column emptied in every row but the header: the clonality and psex
// tables name the populations in their second column.
inline TsvTable WithColumnCleared(const std::string& bytes, std::size_t column) {
  TsvTable table = ReadTsv(bytes);
  for (std::size_t row = 1; row < table.size(); ++row) {
    if (table[row].size() > column) table[row][column].clear();
  }
  return table;
}

}  // namespace genosieve::testing
