#include "data/data_import.h"

#include <vector>

#include "data/data_file_reader.h"
#include "data/format_detection.h"
#include "data/fstat_reader.h"
#include "data/genalex_reader.h"
#include "data/genepop_reader.h"
#include "data/reader_common.h"
#include "errors.h"
#include "io/input_file.h"
#include "messages.h"

namespace genosieve {

namespace {

bool ReadsAsFstat(const std::string& text, const std::string& path) {
  try {
    std::vector<std::string> ignored;
    ReadFstat(text, path, ignored);
    return true;
  } catch (const RunError&) {
    return false;
  }
}

}  // namespace

DataFile ImportDataFile(const std::string& path, DataFormat format, const NoticeSink& notice) {
  if (format == DataFormat::kNative) return ReadDataFile(path);
  const std::string text = ReadWholeFile(path);
  if (format == DataFormat::kAuto) format = DetectFormat(text, path);
  std::vector<std::string> warnings;
  DataFile data;
  switch (format) {
    case DataFormat::kGenepop:
      data = ReadGenepop(text, path, warnings);
      break;
    case DataFormat::kGenalex:
      data = ReadGenalex(text, path, warnings);
      break;
    case DataFormat::kFstat:
      data = ReadFstat(text, path, warnings);
      break;
    default:
      try {
        return ReadDataFile(path);
      } catch (const RunError&) {
        // FSTAT files may shorten genotypes (102 for 01/02, 0 when missing) or have one
        // allele 0, which no native file does: say how such a file can be read.
        if (ReadsAsFstat(text, path)) {
          notice(Located(DataPlace(path), messages::NativeRefusesButFstatReads()));
        }
        throw;
      }
  }
  notice(FormatNotice(data));
  for (const std::string& warning : warnings) notice(warning);
  return data;
}

}  // namespace genosieve
