#pragma once

// Writing the Run's output files. Every file the Run writes is opened here, written
// through a buffer with checked writes, and either committed (flushed and closed, a
// failed close being an error too) or, when an error ends the Run first, abandoned: closed
// without further checks and left as far as it was written.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace genosieve {

struct OutputFile {
  static constexpr std::size_t kBufferSize = std::size_t{1} << 16;

  std::string path;
  int fd = -1;
  std::unique_ptr<char[]> buffer;
  std::size_t used = 0;

  OutputFile() = default;
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  ~OutputFile();  // abandons a file that was not committed
};

// Creates the file, or empties an existing one.
OutputFile CreateOutputFile(const std::string& path);

// Opens an existing file for writing at its end; a missing file is the Run's I/O error.
OutputFile AppendOutputFile(const std::string& path);

// Writes the buffer out (the Run's I/O error on failure).
void FlushOutputFile(OutputFile& file);

// Flushes and closes the file; afterwards it is complete.
void CommitOutputFile(OutputFile& file);

// Room for `count` (at most kBufferSize) bytes at the end of the buffer, which the
// caller fills; flushes first when the buffer lacks the room.
inline char* ReserveOutput(OutputFile& file, std::size_t count) {
  if (OutputFile::kBufferSize - file.used < count) FlushOutputFile(file);
  char* room = file.buffer.get() + file.used;
  file.used += count;
  return room;
}

inline void PutChar(OutputFile& file, char c) { *ReserveOutput(file, 1) = c; }

inline void PutText(OutputFile& file, std::string_view text) {
  while (!text.empty()) {
    if (file.used == OutputFile::kBufferSize) FlushOutputFile(file);
    const std::size_t part = std::min(text.size(), OutputFile::kBufferSize - file.used);
    std::memcpy(file.buffer.get() + file.used, text.data(), part);
    file.used += part;
    text.remove_prefix(part);
  }
}

}  // namespace genosieve
