#pragma once

// The folder a Run writes into. It is opened once, and every output and intermediate
// file is named relative to it, so that all the Run writes, and reads back, stays in
// that one folder whatever the process's current folder becomes.

#include <string>

namespace genosieve {

struct WorkingFolder {
  std::string path;   // as given
  std::string shown;  // the absolute path, to name the folder in messages
  int fd = -1;

  WorkingFolder() = default;
  WorkingFolder(WorkingFolder&& other) noexcept;
  WorkingFolder& operator=(WorkingFolder&& other) noexcept;
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  ~WorkingFolder();
};

// Opens the folder at `path` (links followed: the user names the folder); a RunError
// naming it when the path is empty, missing, not a folder or cannot be opened.
WorkingFolder OpenWorkingFolder(const std::string& path);

// Opens the folder part `part` ("res/") of an output name, relative to the working
// folder, links followed, and names it by its path with links resolved; a RunError naming
// the output's folder when it cannot be opened.
WorkingFolder OpenOutputFolder(const WorkingFolder& working, const std::string& part);

}  // namespace genosieve
