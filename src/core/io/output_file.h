#pragma once

// Writing the Run's output files. Every file the Run writes is opened here, in the Run's
// working folder, and written through a buffer with checked writes under a temporary
// name of the same folder; committing it (flushed, closed, a failed close being an error
// too) renames it over the final name. Until then the final name keeps what it held, and
// a file abandoned because an error ended the Run first is removed: each output appears
// complete or not at all. The rename also replaces a link under the final name by the
// new file instead of writing through it, and a name that is not a plain file (a named
// pipe, a device, a folder) is refused without being opened.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "io/stop_check.h"
#include "io/working_folder.h"

namespace genosieve {

// What may stand under an output's name besides a regular file, which the new file
// replaces.
enum class ExistingName {
  // A link too, replaced rather than followed: the Run's outputs in its working folder.
  kReplaceLinks,
  // Nothing else: a file written where the user points, perhaps outside the working
  // folder (--write-data), where a link is as likely the system's own (/dev/stdout).
  kRegularOnly,
};

struct OutputFile {
  static constexpr std::size_t kBufferSize = std::size_t{1} << 16;

  std::string path;       // the final name, relative to the working folder
  std::string shown;      // the final name as errors name it: absolute
  std::string temporary;  // the name written until the commit
  int folderFd = -1;
  int fd = -1;
  std::unique_ptr<char[]> buffer;
  std::size_t used = 0;
  ExistingName existing = ExistingName::kReplaceLinks;

  OutputFile() = default;
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  ~OutputFile();  // abandons a file that was not committed
};

// Checks that the output `name` can be written in `folder`: a non-empty name of a file
// (not of a folder) whose folder exists, and which is missing, a regular file or, as
// `existing` allows, a link. A RunError otherwise: a clear message naming the file, or,
// for a named pipe, a device, a socket or a link not allowed, the Run's "access denied"
// I/O error about the file.
void CheckOutputName(const WorkingFolder& folder, const std::string& name,
                     ExistingName existing = ExistingName::kReplaceLinks);

// Whether the output `name` of the folder exists and is the same file as the one at
// `path` (relative to the current folder), links followed on both sides: putting the
// output in place would take that file's name.
bool IsSameFile(const WorkingFolder& folder, const std::string& name, const std::string& path);

// Starts a new version of the file `name` (relative to the folder): the checks of
// CheckOutputName, then a new temporary file beside it, locked (flock) while it is
// written. With kRegularOnly, the commit checks the name again before it takes it.
OutputFile CreateOutputFile(const WorkingFolder& folder, const std::string& name,
                            ExistingName existing = ExistingName::kReplaceLinks);

// Writes the buffer out (the Run's I/O error on failure).
void FlushOutputFile(OutputFile& file);

// How a committed file takes the place of the file of its name.
enum class Replacement {
  // A rename over the old file. Some file systems (ext4) then write the new data out at
  // once, so that a crash soon after finds the new file whole rather than empty: for the
  // files a Run leaves as its results.
  kRename,
  // The two names exchanged in one step, then the old file removed: nothing is written out
  // early, which matters for the intermediate genotype files that every test rewrites
  // (a rename over them made every test wait for the disk). A plain rename where the
  // system cannot exchange names, or nothing has the name yet.
  kExchange,
};

// Flushes and closes the file and puts it in place under its final name.
void CommitOutputFile(OutputFile& file, Replacement replacement = Replacement::kRename);

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

// Writes `text` as the whole new content of `name`.
void WriteWholeFile(const WorkingFolder& folder, const std::string& name, std::string_view text,
                    Replacement replacement = Replacement::kRename);

// The same for a file that may be large: `stop` is asked before each block, and a stop
// ends it with RunStopped, the previous file of the name left as it was.
void WriteWholeFile(const WorkingFolder& folder, const std::string& name, std::string_view text,
                    ExistingName existing, const StopCheck& stop);

// Writes `text` to the standard output, `what` naming it in errors ("the data"); `stop`
// as above (what is written stays written).
void WriteToStandardOutput(std::string_view text, std::string_view what, const StopCheck& stop);

// The prefix every temporary name starts with (after the name's folder part): hidden,
// and the program's own, so that no user file is ever taken for one.
inline constexpr std::string_view kTemporaryPrefix = ".genosieve-";

}  // namespace genosieve
