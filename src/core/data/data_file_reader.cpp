#include "data/data_file_reader.h"

#include "errors.h"

namespace genosieve {

DataFile ReadDataFile(const std::string& path) {
  DataFile data;
  data.path = path;
  return data;
}

PopulationIndex BuildPopulationIndex(const DataFile& data) {
  return PopulationIndex(static_cast<size_t>(data.header.populations) + 1, 0);
}

}  // namespace genosieve
