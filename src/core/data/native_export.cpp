#include "data/native_export.h"

#include <optional>

#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "errors.h"
#include "io/folder_lock.h"
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
                          const std::string& inputPath, DataFormat format, const NoticeSink& notice,
                          const StopCheck& stop) {
  const bool toStandardOutput = outputName == kStandardOutputName;
  // The folder written into is locked as a Run's working folder: no Run works there
  // meanwhile, and this export's stale temporary files are cleared as a Run's are.
  std::optional<WorkingFolder> outputFolder;
  std::optional<FolderLock> lock;
  if (!toStandardOutput) {
    if (IsSameFile(folder, outputName, inputPath)) {
      throw RunError(Located({.lead = messages::kOutputFileLead, .path = outputName},
                             messages::OutputIsInput()));
    }
    CheckOutputName(folder, outputName, ExistingName::kRegularOnly);
    const std::size_t slash = outputName.rfind('/');
    if (slash == std::string::npos) {
      lock = LockWorkingFolder(folder);
    } else {
      outputFolder = OpenOutputFolder(folder, outputName.substr(0, slash + 1));
      lock = LockFolder(*outputFolder, messages::kOutputFolderLead);
    }
  }
  const StopReadingWhen stopReading(stop);
  const DataFile data = ImportDataFile(inputPath, format, notice);
  const PopulationIndex index = BuildPopulationIndex(data);
  const std::string text = NativeDataText(data, index);
  if (toStandardOutput) {
    WriteToStandardOutput(text, "the data", stop);
  } else {
    WriteWholeFile(folder, outputName, text, ExistingName::kRegularOnly, stop);
  }
}

}  // namespace genosieve
