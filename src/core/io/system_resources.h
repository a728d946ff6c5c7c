#pragma once

// What the system still has room for: memory for this process, free disk where a file
// goes. Read before a Run's first test, so that a Run that cannot fit is refused with a
// clear message instead of being killed by the system, or filling the disk, hours later.
// Where the system does not say (no /proc, a file system that gives no counts), the room
// is unknown and nothing is refused on its account.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "io/working_folder.h"

namespace genosieve {

struct MemoryRoom {
  // Resident memory this process uses now.
  uint64_t inUse = 0;
  // How much more it can take: the least of the system's available memory (MemAvailable
  // and free swap), its control group's limit less its usage (less the page cache, which
  // the system gives back), and its address-space and data-size limits less what it holds.
  std::optional<uint64_t> available;
};

MemoryRoom MemoryRoomNow();

// The file system of an output's folder and the space it has free for this user.
struct DiskRoom {
  dev_t device = 0;
  std::string folder;  // the output's folder, absolute, to name it in messages
  std::optional<uint64_t> free;
};

// The room of the folder that the output `name` (relative to the working folder) goes
// into; nothing when that folder cannot be reached.
std::optional<DiskRoom> DiskRoomOf(const WorkingFolder& folder, const std::string& name);

}  // namespace genosieve
