#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>

namespace genosieve::testing {

// A fresh temporary folder made the current working folder for the lifetime of the
// object (the Run writes into the working folder); removed afterwards.
class ScopedWorkingFolder {
 public:
  ScopedWorkingFolder() : previous_(std::filesystem::current_path()) {
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() /
            ("genosieve-test-" + std::to_string(device()) + std::to_string(device()));
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~ScopedWorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
  ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Lines first..last (1-based, inclusive) of a text of CR LF lines, with their line ends.
inline std::string LinesOf(const std::string& text, int first, int last) {
  size_t begin = 0;
  size_t end = 0;
  for (int line = 1; line <= last; ++line) {
    if (line == first) begin = end;
    end = text.find("\r\n", end) + 2;
  }
  return text.substr(begin, end - begin);
}

inline std::filesystem::path TestDataPath(const std::string& name) {
  return std::filesystem::path(GENOSIEVE_TEST_DATA_DIR) / name;
}

inline std::filesystem::path ExamplePath(const std::string& name) {
  return std::filesystem::path(GENOSIEVE_EXAMPLES_DIR) / name;
}

}  // namespace genosieve::testing
