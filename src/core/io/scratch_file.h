#pragma once

// A file of the Run's own, without a name, in its working folder: for data a Run makes
// and reads back later that would take too much memory to keep, such as the values of
// many tests worked out at once. It is made unnamed where the file system allows it
// (O_TMPFILE), else under a hidden temporary name removed at once, so that it never
// appears among the user's files and disappears when closed, whatever ends the Run.

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/working_folder.h"

namespace genosieve {

struct ScratchFile {
  int fd = -1;
  std::string shown;  // the working folder, as errors name it

  ScratchFile() = default;
  ScratchFile(ScratchFile&& other) noexcept;
  ScratchFile& operator=(ScratchFile&& other) noexcept;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();
};

// A new, empty scratch file in `folder`; the Run's I/O error when none can be made.
ScratchFile CreateScratchFile(const WorkingFolder& folder);

// Writes or reads `size` bytes at `offset`; a failure, or a read past the end, is the
// Run's I/O error.
void WriteScratch(const ScratchFile& file, uint64_t offset, const void* data, std::size_t size);
void ReadScratch(const ScratchFile& file, uint64_t offset, void* data, std::size_t size);

}  // namespace genosieve
