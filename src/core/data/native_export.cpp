#include "data/native_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "data/data_file_reader.h"
#include "data/data_import.h"
#include "errors.h"
#include "io/io_error.h"
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

[[noreturn]] void Refuse(const std::string& outputPath, std::string_view why) {
  throw RunError(Located({.lead = messages::kOutputFileLead, .path = outputPath}, why));
}

// Refuses what the output must not be: a link, a folder, a device or pipe, or the input.
void CheckOutputPath(const std::string& outputPath, const std::string& inputPath) {
  if (outputPath.empty()) ThrowIoError(kIoFileNotFound);
  struct stat output {};
  if (::lstat(outputPath.c_str(), &output) != 0) {
    if (errno == ENOENT) return;
    ThrowIoErrorFromErrno(errno);
  }
  if (S_ISLNK(output.st_mode)) {
    Refuse(outputPath, messages::OutputIsLink());
  }
  if (!S_ISREG(output.st_mode)) Refuse(outputPath, messages::OutputNotRegular());
  struct stat input {};
  if (::stat(inputPath.c_str(), &input) == 0 && input.st_dev == output.st_dev &&
      input.st_ino == output.st_ino) {
    Refuse(outputPath, messages::OutputIsInput());
  }
}

// Writes `text` to a new temporary file beside `outputPath`, then renames it over
// `outputPath`; the temporary file is removed when anything fails.
void WriteByRename(const std::string& outputPath, const std::string& text) {
  const std::filesystem::path output(outputPath);
  // A hidden name beside the output (built piece by piece: "." + name trips a GCC 12
  // -Wrestrict false positive).
  std::string hidden(1, '.');
  hidden += output.filename().string();
  hidden += ".XXXXXX";
  std::string temporary = (output.parent_path() / hidden).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) ThrowIoErrorFromErrno(errno);
  const auto fail = [&](int err) {
    ::close(fd);
    ::unlink(temporary.c_str());
    ThrowIoErrorFromErrno(err != 0 ? err : EIO);
  };
  // The permissions of any new file, rather than the private ones of mkstemp.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0666 & ~mask) != 0) fail(errno);
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) fail(count < 0 ? errno : EIO);
    written += static_cast<size_t>(count);
  }
  if (::fsync(fd) != 0) fail(errno);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temporary.c_str());
    ThrowIoErrorFromErrno(err);
  }
  if (std::rename(temporary.c_str(), outputPath.c_str()) != 0) {
    const int err = errno;
    ::unlink(temporary.c_str());
    ThrowIoErrorFromErrno(err);
  }
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

void ExportNativeDataFile(const std::string& outputPath, const std::string& inputPath,
                          DataFormat format, const NoticeSink& notice) {
  CheckOutputPath(outputPath, inputPath);
  const DataFile data = ImportDataFile(inputPath, format, notice);
  const PopulationIndex index = BuildPopulationIndex(data);
  WriteByRename(outputPath, NativeDataText(data, index));
}

}  // namespace genosieve
