// The private working folder of a fuzz target that writes files.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace genosieve::fuzz {

// Made once under TMPDIR and made the current folder (scripts/fuzz points TMPDIR into
// the build folder and empties it afterwards: libFuzzer ends without running exit
// handlers). Corpus and artifact paths given to the fuzzer must therefore be absolute.
inline const std::filesystem::path& WorkingFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "genosieve-fuzz-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr) std::abort();
    std::filesystem::current_path(made);
    return std::filesystem::path(made);
  }();
  return folder;
}

}  // namespace genosieve::fuzz
