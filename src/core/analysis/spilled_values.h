#pragma once

// What the files of many tests need of their randomized values while one pass works them
// all out (analysis/randomized_series.h): the values rounded to doubles (the table of Fis
// values) and whether each is not above its test's observed value (the p-value files).
// They are written to a scratch file of the working folder as the iterations are folded,
// a chunk of iterations of every test at a time, and read back one test at a time when
// that test is reported; memory holds one chunk.

#include <cstdint>
#include <vector>

#include "io/scratch_file.h"
#include "io/working_folder.h"

namespace genosieve {

struct SpilledValues {
  ScratchFile file;
  int32_t tests = 0;
  int32_t iterations = 0;
  bool values = false;                // the values are kept
  bool flags = false;                 // the flags are kept
  int32_t chunk = 1;                  // iterations per chunk
  std::vector<uint64_t> chunkOffset;  // per chunk written
  // The chunk being filled, test by test: chunk places each.
  int32_t pending = 0;  // iterations in it
  std::vector<double> pendingValues;
  std::vector<uint8_t> pendingFlags;
};

// A new scratch file in `folder` for `tests` tests of `iterations` iterations, keeping the
// values and the flags as asked.
SpilledValues StartSpill(const WorkingFolder& folder, int32_t tests, int32_t iterations,
                         bool values, bool flags);

// Test `test`'s record of the current iteration; each test's records come in iteration order
// and every test has one for each iteration (any record for a test that failed earlier).
inline void SpillRecord(SpilledValues& spill, int32_t test, double value, bool notAbove) {
  const auto place = static_cast<std::size_t>(test) * static_cast<std::size_t>(spill.chunk) +
                     static_cast<std::size_t>(spill.pending);
  if (spill.values) spill.pendingValues[place] = value;
  if (spill.flags) spill.pendingFlags[place] = notAbove ? 1 : 0;
}

// Ends the current iteration: the chunk goes to the file once full or at the last iteration.
void EndSpilledIteration(SpilledValues& spill);

// Test `test`'s records of every iteration, into `values` and `flags` as kept (the others
// are left empty); the Run's I/O error when the file cannot be read.
void ReadSpilled(const SpilledValues& spill, int32_t test, std::vector<double>& values,
                 std::vector<bool>& flags);

}  // namespace genosieve
