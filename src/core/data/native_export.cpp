#include "data/native_export.h"

#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "errors.h"
#include "io/output_file.h"
#include "messages.h"

namespace genosieve {

namespace {

void AppendAllele(std::string& text, int32_t allele, int32_t width) {
  const std::string digits = std::to_string(allele);
  if (allele < 0 || digits.size() > static_cast<size_t>(width)) {
    ThrowInternalError(FillMessage("allele {} does not fit D = {} digits", allele, width));
  }
  text.append(static_cast<size_t>(width) - digits.size(), '0');
  text += digits;
}

}  // namespace

std::string NativeDataText(const DataFile& data, const PopulationIndex& index) {
  const HeaderNumbers& h = data.header;
  std::string text = std::to_string(h.populations) + " " + std::to_string(h.loci) + " " +
                     std::to_string(h.highestAllele) + " " + std::to_string(h.codeWidth) + "\r\n";
  for (const std::string& name : data.locusNames) text += name + "\r\n";
  const GenotypeTable& table = data.table;
  for (size_t k = 1; k < index.size(); ++k) {
    const std::string number = std::to_string(k);
    for (int32_t row = index[k - 1]; row < index[k]; ++row) {
      text += number;
      text += '\t';
      for (int32_t locus = 0; locus < table.loci; ++locus) {
        const AllelePair& pair = table.at(row, locus);
        AppendAllele(text, pair.first, h.codeWidth);
        AppendAllele(text, pair.second, h.codeWidth);
        text += '\t';
      }
      text += "\r\n";
    }
  }
  return text;
}

void ExportNativeDataFile(const WorkingFolder& folder, const std::string& outputName,
                          const std::string& inputPath, DataFormat format,
                          const NoticeSink& notice) {
  CheckOutputName(folder, outputName);
  if (IsSameFile(folder, outputName, inputPath)) {
    throw RunError(Located({.lead = messages::kOutputFileLead, .path = outputName},
                           messages::OutputIsInput()));
  }
  const DataFile data = ImportDataFile(inputPath, format, notice);
  const PopulationIndex index = BuildPopulationIndex(data);
  WriteWholeFile(folder, outputName, NativeDataText(data, index));
}

}  // namespace genosieve
