#include "data/data_import.h"

#include <exception>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "data/ambiguous_layout.h"
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

// Population sizes listed in a reading's description before it cuts the list short.
constexpr size_t kListedSizes = 5;

// What one reader made of the file.
struct Reading {
  DataFormat format = DataFormat::kAuto;
  DataFile data;
  PopulationIndex index;
  std::vector<std::string> notices;
};

// Reads `text`, the content of the file at `path`, in `format`, with its population
// index: a file whose populations the index cannot find is not read either.
Reading ReadAs(DataFormat format, std::string_view text, const std::string& path, int threads = 1) {
  Reading reading;
  reading.format = format;
  switch (format) {
    case DataFormat::kGenepop:
      reading.data = ReadGenepop(text, path, reading.notices);
      break;
    case DataFormat::kGenalex:
      reading.data = ReadGenalex(text, path, reading.notices);
      break;
    case DataFormat::kFstat:
      reading.data = ReadFstat(text, path, reading.notices);
      break;
    default:
      reading.data = ReadDataText(text, path, reading.notices, threads);
      break;
  }
  reading.index = BuildPopulationIndex(reading.data);
  return reading;
}

// Whether a reader's refusal is about the data (another reader may take the file), not a
// fault of the program or of the file system.
bool RefusesTheData(const RunError& error) {
  return !error.file && dynamic_cast<const InternalError*>(&error) == nullptr &&
         dynamic_cast<const RunStopped*>(&error) == nullptr;
}

// Whether `other` must still read a file that `accepted` has read: only where both could
// read it and give different data. The native reader reads only files whose individual
// lines are a number, a TAB and digits, which no Genepop individual line is (it holds a
// comma); and where it reads a file whose population numbers run at most P times, the
// FSTAT reader, when it reads it too, finds the same genotypes (every native genotype is
// one word of 2 x D digits, or fewer after leading blanks, whose last D digits are the
// second allele) and the same populations (P numbers in P runs).
bool MayReadOtherwise(DataFormat accepted, DataFormat other) {
  if (accepted == DataFormat::kNative) return other == DataFormat::kGenalex;
  if (accepted == DataFormat::kGenepop) {
    return other != DataFormat::kNative && other != DataFormat::kFstat;
  }
  return true;
}

std::string Plural(int64_t count, std::string_view one, std::string_view many) {
  return FillMessage("{} {}", count, count == 1 ? one : many);
}

// "2 populations of 4 and 2 individuals, 3 loci".
std::string Describe(const Reading& reading) {
  const PopulationIndex& index = reading.index;
  const size_t populations = index.size() - 1;
  std::string sizes;
  for (size_t k = 1; k <= populations && k <= kListedSizes; ++k) {
    if (k > 1) sizes += k == populations ? " and " : ", ";
    sizes += std::to_string(index[k] - index[k - 1]);
  }
  if (populations > kListedSizes) sizes += ", ...";
  return FillMessage("{} of {} {}, {}",
                     Plural(static_cast<int64_t>(populations), "population", "populations"), sizes,
                     index.back() == 1 ? "individual" : "individuals",
                     Plural(reading.data.table.loci, "locus", "loci"));
}

std::string Named(DataFormat format) {
  return FillMessage("{} (--format {})", FormatTitle(format), FormatName(format));
}

// Refuses to choose between two readings that differ, saying how they differ.
[[noreturn]] void ThrowAmbiguous(const std::string& path, const Reading& first,
                                 const Reading& second) {
  std::vector<AmbiguousLayout::Reading> readings = {{first.format, Describe(first)},
                                                    {second.format, Describe(second)}};
  std::string how = "different populations";
  if (first.index == second.index) {
    how =
        first.data.table.loci == second.data.table.loci ? "different genotypes" : "different loci";
  }
  const std::string message =
      Located(DataPlace(path),
              messages::LayoutsDisagree(how, Named(first.format) + ", " + readings[0].description,
                                        Named(second.format) + ", " + readings[1].description));
  throw AmbiguousLayout(message, std::move(readings));
}

// The refusal `error` with, when other readers read the file, which --format picks them.
[[noreturn]] void ThrowSaying(const RunError& error, const std::vector<DataFormat>& others) {
  if (others.empty()) throw error;
  std::string readings;
  for (const DataFormat format : others) {
    if (!readings.empty()) readings += " and as ";
    readings += Named(format);
  }
  throw RunError(std::string(error.what()) + "; " + messages::ReadsAsOtherLayout(readings));
}

// The layouts besides `refused` whose readers read the file at `path`.
std::vector<DataFormat> OtherReaders(const std::string& path, DataFormat refused) {
  const std::string text = ReadWholeFile(path);
  std::vector<DataFormat> reading;
  for (const DataFormat format : DetectLayouts(text, path).formats) {
    // Not named twice for one reading.
    if (format == refused || (!reading.empty() && !MayReadOtherwise(reading.front(), format))) {
      continue;
    }
    try {
      ReadAs(format, text, path);
      reading.push_back(format);
    } catch (const RunError& error) {
      if (!RefusesTheData(error)) throw;
    }
  }
  return reading;
}

// Whether a reading in `format` is kept when the most likely layout's reader refused the
// file. The native and FSTAT layouts share their header, and each reads some files of
// the other differently: a file that another layout was expected to read is FSTAT only
// when it bears FSTAT's own marks, and never native (which would keep every later run of
// population numbers in population P). Else, such as for a native file with one allele 0,
// the refusal stands and says which --format reads the file.
bool KeptInstead(DataFormat format, std::string_view text) {
  if (format == DataFormat::kNative) return false;
  if (format == DataFormat::kFstat) return HasShortGenotypes(text);
  return true;
}

void Tell(const NoticeSink& notice, const Reading& reading) {
  // A native file is read without a word, unless its names needed another decoding.
  if (reading.format != DataFormat::kNative) notice(FormatNotice(reading.data));
  for (const std::string& line : reading.notices) notice(line);
}

// `format` as the user chose it: that reader alone.
DataFile ImportAs(const std::string& path, DataFormat format, const NoticeSink& notice) {
  Reading reading;
  reading.format = format;
  try {
    if (format == DataFormat::kNative) {
      reading.data = ReadDataFile(path, reading.notices);
    } else {
      reading = ReadAs(format, ReadWholeFile(path), path);
    }
  } catch (const RunError& error) {
    if (!RefusesTheData(error)) throw;
    ThrowSaying(error, OtherReaders(path, format));
  }
  Tell(notice, reading);
  return std::move(reading.data);
}

}  // namespace

DataFile ImportDataFile(const std::string& path, DataFormat format, const NoticeSink& notice,
                        int threads) {
  if (format != DataFormat::kAuto) return ImportAs(path, format, notice);
  const std::string text = ReadWholeFile(path);
  const LayoutCandidates found = DetectLayouts(text, path);

  std::vector<Reading> readings;
  std::optional<RunError> refusal;  // the most likely layout's
  // Readings not kept in place of the most likely layout's (KeptInstead).
  std::vector<Reading> setAside;
  for (const DataFormat format : found.formats) {
    if (!readings.empty() && !MayReadOtherwise(readings.front().format, format)) continue;
    // The native reader refuses a population number followed by a blank.
    if (format == DataFormat::kNative && found.blankAfterPopulation) continue;
    try {
      Reading reading = ReadAs(format, text, path, threads);
      const bool kept =
          !readings.empty() || format == found.formats.front() || KeptInstead(format, text);
      (kept ? readings : setAside).push_back(std::move(reading));
    } catch (const RunError& error) {
      if (!RefusesTheData(error)) throw;
      if (!refusal) refusal = error;
    }
  }
  if (readings.empty()) {
    if (!refusal) ThrowInternalError("no reader read the file, and none refused it");
    std::vector<DataFormat> others;
    for (const Reading& reading : setAside) others.push_back(reading.format);
    ThrowSaying(*refusal, others);
  }
  // Any two readings that differ leave the choice to the user.
  readings.insert(readings.end(), std::make_move_iterator(setAside.begin()),
                  std::make_move_iterator(setAside.end()));
  for (size_t i = 1; i < readings.size(); ++i) {
    const Reading& first = readings.front();
    const Reading& other = readings[i];
    if (other.index != first.index || other.data.table.loci != first.data.table.loci ||
        other.data.table.cells != first.data.table.cells) {
      ThrowAmbiguous(path, first, other);
    }
  }
  Tell(notice, readings.front());
  return std::move(readings.front().data);
}

}  // namespace genosieve
