#pragma once

// Reading the Run's input files: the user's data file and the intermediate genotype
// files. Only regular files are read: a folder, a device or a named pipe is refused at
// once (a pipe is opened without waiting for a writer), since the Run reads its files
// to their end, some of them twice.

#include <cstddef>
#include <string>
#include <string_view>

#include "io/working_folder.h"

namespace genosieve {

// A file opened for buffered sequential reading; closed when the object goes, however
// the reading ends.
struct InputFile {
  std::string path;       // as errors name it
  std::string_view role;  // which file it is, as errors name it ("Data file", "File")
  int fd = -1;
  std::size_t position = 0;  // next character in buffer
  std::size_t length = 0;    // characters in buffer
  bool ended = false;
  char buffer[1 << 16];

  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();
};

// Opens `path` for reading; fails with the Run's I/O error (an empty path is a file
// that does not exist; a folder or anything but a regular file is access denied). The
// Run reads by path only the user's data file, and its errors name it so.
void OpenForRead(InputFile& file, const std::string& path);

// Reads the next block into the buffer; false at the end of the file. A stop asked for
// through io/stop_check.h ends it with RunStopped.
bool Refill(InputFile& file);

// What GetChar and PeekChar return at the end of the file, again and again.
inline constexpr int kEndOfFile = -1;

inline int GetChar(InputFile& file) {
  if (file.position == file.length && !Refill(file)) return kEndOfFile;
  return static_cast<unsigned char>(file.buffer[file.position++]);
}

inline int PeekChar(InputFile& file) {
  if (file.position == file.length && !Refill(file)) return kEndOfFile;
  return static_cast<unsigned char>(file.buffer[file.position]);
}

// The whole content of the file at `path`, with the checks of OpenForRead.
std::string ReadWholeFile(const std::string& path);

// The whole content of the file `name` of the working folder, with the same checks; a
// link under the name is refused rather than followed (the Run reads back only the
// intermediate files it has just written there).
std::string ReadWholeFile(const WorkingFolder& folder, const std::string& name);

}  // namespace genosieve
