#include "analysis/spilled_values.h"

#include <algorithm>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

// A chunk of every test is about this large in memory.
constexpr std::size_t kChunkBytes = std::size_t{4} << 20;

std::size_t Size(int32_t value) { return static_cast<std::size_t>(value); }

// One test's record of `count` iterations in the file: the values, then the flags, 8 to
// a byte.
std::size_t RecordBytes(const SpilledValues& spill, int32_t count) {
  return (spill.values ? Size(count) * sizeof(double) : 0) +
         (spill.flags ? (Size(count) + 7) / 8 : 0);
}

}  // namespace

SpilledValues StartSpill(const WorkingFolder& folder, int32_t tests, int32_t iterations,
                         bool values, bool flags) {
  SpilledValues spill;
  spill.tests = tests;
  spill.iterations = iterations;
  spill.values = values;
  spill.flags = flags;
  const std::size_t perIteration =
      Size(std::max(tests, 1)) * ((values ? sizeof(double) : 0) + (flags ? 1 : 0));
  spill.chunk = static_cast<int32_t>(std::clamp<std::size_t>(
      kChunkBytes / std::max<std::size_t>(perIteration, 1), 8, Size(std::max(iterations, 1))));
  const std::size_t places = Size(tests) * Size(spill.chunk);
  if (values) spill.pendingValues.assign(places, 0.0);
  if (flags) spill.pendingFlags.assign(places, 0);
  spill.file = CreateScratchFile(folder);
  return spill;
}

void EndSpilledIteration(SpilledValues& spill) {
  ++spill.pending;
  const int32_t done = static_cast<int32_t>(spill.chunkOffset.size()) * spill.chunk + spill.pending;
  if (spill.pending < spill.chunk && done < spill.iterations) return;
  const uint64_t offset =
      spill.chunkOffset.empty()
          ? 0
          : spill.chunkOffset.back() + Size(spill.tests) * RecordBytes(spill, spill.chunk);
  std::vector<char> bytes(Size(spill.tests) * RecordBytes(spill, spill.pending));
  char* at = bytes.data();
  for (int32_t test = 0; test < spill.tests; ++test) {
    const std::size_t first = Size(test) * Size(spill.chunk);
    if (spill.values) {
      std::copy_n(reinterpret_cast<const char*>(spill.pendingValues.data() + first),
                  Size(spill.pending) * sizeof(double), at);
      at += Size(spill.pending) * sizeof(double);
    }
    if (spill.flags) {
      for (int32_t i = 0; i < spill.pending; i += 8) {
        uint8_t byte = 0;
        for (int32_t bit = 0; bit < 8 && i + bit < spill.pending; ++bit) {
          byte = static_cast<uint8_t>(byte | (spill.pendingFlags[first + Size(i + bit)] << bit));
        }
        *at++ = static_cast<char>(byte);
      }
    }
  }
  WriteScratch(spill.file, offset, bytes.data(), bytes.size());
  spill.chunkOffset.push_back(offset);
  spill.pending = 0;
}

void ReadSpilled(const SpilledValues& spill, int32_t test, std::vector<double>& values,
                 std::vector<bool>& flags) {
  const int32_t written = static_cast<int32_t>(spill.chunkOffset.size());
  if (test < 0 || test >= spill.tests ||
      std::min<int64_t>(int64_t{written} * spill.chunk, spill.iterations) != spill.iterations) {
    ThrowInternalError(
        FillMessage("the values of test {} of {} before their last chunk", test, spill.tests));
  }
  values.clear();
  flags.clear();
  if (spill.values) values.reserve(Size(spill.iterations));
  if (spill.flags) flags.reserve(Size(spill.iterations));
  std::vector<char> record;
  for (int32_t c = 0; c < written; ++c) {
    const int32_t count = std::min(spill.chunk, spill.iterations - c * spill.chunk);
    const std::size_t bytes = RecordBytes(spill, count);
    record.resize(bytes);
    ReadScratch(spill.file, spill.chunkOffset[Size(c)] + Size(test) * bytes, record.data(), bytes);
    const char* at = record.data();
    if (spill.values) {
      const std::size_t first = values.size();
      values.resize(first + Size(count));
      std::copy_n(at, Size(count) * sizeof(double), reinterpret_cast<char*>(values.data() + first));
      at += Size(count) * sizeof(double);
    }
    if (spill.flags) {
      for (int32_t i = 0; i < count; ++i) {
        flags.push_back(((static_cast<uint8_t>(at[i / 8]) >> (i % 8)) & 1) != 0);
      }
    }
  }
}

}  // namespace genosieve
