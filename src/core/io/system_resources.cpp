#include "io/system_resources.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <string_view>

#if defined(__linux__)
#include <sys/statvfs.h>
#endif

#include "io/io_error.h"

namespace genosieve {

namespace {

#if defined(__linux__)
// The first line of a small system file, or nothing.
std::optional<std::string> FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

std::optional<uint64_t> Number(const std::optional<std::string>& text) {
  if (!text || text->empty() || text->find_first_not_of("0123456789") != std::string::npos ||
      text->size() > 19) {
    return std::nullopt;
  }
  return std::stoull(*text);
}

// The value of `key` in a file of "key value [kB]" lines (/proc/meminfo, memory.stat),
// in bytes when the line says kB.
std::optional<uint64_t> KeyedValue(const std::string& path, std::string_view key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name;
    uint64_t value = 0;
    std::string unit;
    if (!(fields >> name >> value)) continue;
    if (name.ends_with(':')) name.pop_back();
    if (name != key) continue;
    fields >> unit;
    return unit == "kB" ? value * 1024 : value;
  }
  return std::nullopt;
}

void Limit(std::optional<uint64_t>& room, uint64_t more) {
  room = room ? std::min(*room, more) : more;
}

uint64_t Less(uint64_t total, uint64_t used) { return total > used ? total - used : 0; }

// The room of this process's control group: its limit less its usage without the page
// cache. Version 2 ("0::/path") and version 1 (the memory controller's line).
std::optional<uint64_t> ControlGroupRoom() {
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string path = line.substr(second + 1);
    std::string folder;
    std::string limitFile;
    std::string usageFile;
    std::string cacheKey;
    if (line.starts_with("0::")) {
      folder = "/sys/fs/cgroup" + path;
      limitFile = "memory.max";
      usageFile = "memory.current";
      cacheKey = "file";
    } else if (controllers == "memory") {
      folder = "/sys/fs/cgroup/memory" + path;
      // Inside a container the group's own folder is the controller's root.
      if (!FirstLine(folder + "/memory.limit_in_bytes")) folder = "/sys/fs/cgroup/memory";
      limitFile = "memory.limit_in_bytes";
      usageFile = "memory.usage_in_bytes";
      cacheKey = "total_cache";
    } else {
      continue;
    }
    const std::optional<uint64_t> limit = Number(FirstLine(folder + "/" + limitFile));
    const std::optional<uint64_t> usage = Number(FirstLine(folder + "/" + usageFile));
    // "max", or version 1's "no limit" (a page-rounded 2^63 - 1).
    if (!limit || !usage || *limit >= (uint64_t{1} << 62)) continue;
    const uint64_t cache = KeyedValue(folder + "/memory.stat", cacheKey).value_or(0);
    return Less(*limit, Less(*usage, cache));
  }
  return std::nullopt;
}
#endif

}  // namespace

MemoryRoom MemoryRoomNow() {
  MemoryRoom room;
#if defined(__linux__)
  const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  // statm: size resident shared text lib data dt, in pages.
  uint64_t size = 0;
  uint64_t resident = 0;
  uint64_t data = 0;
  {
    std::ifstream statm("/proc/self/statm");
    uint64_t shared = 0;
    uint64_t text = 0;
    uint64_t library = 0;
    if (statm >> size >> resident >> shared >> text >> library >> data) {
      size *= page;
      resident *= page;
      data *= page;
    }
  }
  room.inUse = resident;
  const std::optional<uint64_t> available = KeyedValue("/proc/meminfo", "MemAvailable");
  if (available) {
    Limit(room.available, *available + KeyedValue("/proc/meminfo", "SwapFree").value_or(0));
  }
  if (const std::optional<uint64_t> group = ControlGroupRoom()) Limit(room.available, *group);
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && size != 0) {
    Limit(room.available, Less(limit.rlim_cur, size));
  }
  if (::getrlimit(RLIMIT_DATA, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && data != 0) {
    Limit(room.available, Less(limit.rlim_cur, data));
  }
#endif
  return room;
}

std::optional<DiskRoom> DiskRoomOf(const WorkingFolder& folder, const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::string part = slash == std::string::npos ? "." : name.substr(0, slash + 1);
  int fd;
  do {
    fd = ::openat(folder.fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  DiskRoom room;
  room.folder = slash == std::string::npos ? folder.shown : PathInFolder(folder, part);
  while (room.folder.size() > 1 && room.folder.ends_with('/')) room.folder.pop_back();
  struct stat status {};
  if (::fstat(fd, &status) == 0) room.device = status.st_dev;
#if defined(__linux__)
  struct statvfs space {};
  // A file system that counts no blocks (a pseudo file system) says nothing of its room.
  if (::fstatvfs(fd, &space) == 0 && space.f_blocks != 0) {
    room.free = static_cast<uint64_t>(space.f_bavail) * static_cast<uint64_t>(space.f_frsize);
  }
#endif
  ::close(fd);
  return room;
}

}  // namespace genosieve
