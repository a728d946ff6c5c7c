#include "analysis/resampling.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <climits>
#include <cmath>

#include "analysis/random_generator.h"
#include "errors.h"
#include "messages.h"

namespace genosieve {

int CompareKeys(const TBase& a, const TBase& b) {
  const double difference = a.Key - b.Key;
  if (difference > 0.0) return 1;
  if (difference < 0.0) return -1;
  return 0;
}

namespace {

constexpr int32_t kRankedCandidates = 48;

// Places of the `clonal` smallest of `count` (at most kRankedCandidates) distinct keys:
// each key's rank is the number of smaller keys, counted four at a time, and a key of
// rank k < clonal gives place k. No branch depends on the random keys.
void PlacesByRank(const uint64_t* keys, int32_t count, int32_t clonal, int32_t* places) {
  alignas(16) int32_t biased[kRankedCandidates + 4];
  // Signed comparison of (seed XOR 2^31) orders as the unsigned seeds do; the padding is
  // the largest value, never below a key.
  for (int32_t i = 0; i < count; ++i) {
    biased[i] = static_cast<int32_t>(static_cast<uint32_t>(keys[i] >> 32) ^ 0x80000000u);
  }
  const int32_t padded = (count + 3) & ~3;
  for (int32_t i = count; i < padded; ++i) biased[i] = INT32_MAX;
  int32_t ranked[kRankedCandidates + 1];  // the last slot takes every rank >= clonal
  for (int32_t i = 0; i < count; ++i) {
#if defined(__SSE2__)
    const __m128i key = _mm_set1_epi32(biased[i]);
    __m128i smaller = _mm_setzero_si128();
    for (int32_t j = 0; j < padded; j += 4) {
      const __m128i others = _mm_load_si128(reinterpret_cast<const __m128i*>(biased + j));
      smaller = _mm_sub_epi32(smaller, _mm_cmpgt_epi32(key, others));
    }
    smaller = _mm_add_epi32(smaller, _mm_shuffle_epi32(smaller, 0x4E));
    smaller = _mm_add_epi32(smaller, _mm_shuffle_epi32(smaller, 0xB1));
    const int32_t rank = _mm_cvtsi128_si32(smaller);
#else
    // Elsewhere (ARM, WebAssembly) the same count, left to the compiler to vectorise.
    int32_t rank = 0;
    for (int32_t j = 0; j < padded; ++j) rank += biased[i] > biased[j] ? 1 : 0;
#endif
    ranked[rank < clonal ? rank : clonal] = static_cast<int32_t>(keys[i] & 0xFFFFFFFFu);
  }
  std::copy(ranked, ranked + clonal, places);
}

// Draws `distinct` keys from `seed` into scratch as (seed << 32 | Index) and returns how
// many of them are below `threshold`, those standing first. Four draws at a time: the
// jump of four draws lets four independent chains run side by side.
int32_t DrawKeysBelow(uint32_t& seed, int32_t distinct, uint64_t threshold, uint64_t* keys) {
  static const RandomJump kFour = RandomJumpAhead(4);
  uint32_t s0 = NextSeed(seed);
  uint32_t s1 = NextSeed(s0);
  uint32_t s2 = NextSeed(s1);
  uint32_t s3 = NextSeed(s2);
  int32_t count = 0;
  int32_t i = 0;
  uint32_t last = seed;
  for (; i + 4 <= distinct; i += 4) {
    const uint32_t lanes[4] = {s0, s1, s2, s3};
    for (uint32_t lane = 0; lane < 4; ++lane) {
      keys[count] =
          (static_cast<uint64_t>(lanes[lane]) << 32) | static_cast<uint32_t>(i + 1 + lane);
      count += lanes[lane] < threshold ? 1 : 0;
    }
    last = s3;
    s0 = ApplyJump(kFour, s0);
    s1 = ApplyJump(kFour, s1);
    s2 = ApplyJump(kFour, s2);
    s3 = ApplyJump(kFour, s3);
  }
  const uint32_t tail[3] = {s0, s1, s2};
  for (int32_t lane = 0; i < distinct; ++i, ++lane) {
    last = tail[lane];
    keys[count] = (static_cast<uint64_t>(last) << 32) | static_cast<uint32_t>(i + 1);
    count += last < threshold ? 1 : 0;
  }
  seed = last;
  return count;
}

}  // namespace

void DrawClonalPlaces(RandomGenerator& generator, int32_t distinct, int32_t clonal, int32_t* places,
                      std::vector<uint64_t>& scratch) {
  if (clonal > distinct) {
    ThrowInternalError(FillMessage("{} clonal genotypes of {} distinct ones", clonal, distinct));
  }
  if (distinct <= 0) return;
  uint32_t& seed = generator.seed;
  if (clonal <= 0) {
    seed = ApplyJump(RandomJumpAhead(static_cast<uint64_t>(distinct)), seed);
    return;
  }
  // Keys compare as their seeds do (the division by 2^32 is exact and monotonic) and never
  // tie, so (seed << 32 | Index) sorts like the permutation list. Only the `clonal`
  // smallest are read: when at least that many keys fall below a threshold set a few
  // standard deviations above the expected count, they are the smallest of all, and only
  // those below it need sorting.
  scratch.resize(static_cast<size_t>(distinct));
  uint64_t* keys = scratch.data();
  const double expected = clonal + 2.0 * std::sqrt(static_cast<double>(clonal)) + 2.0;
  const uint64_t threshold = expected >= distinct
                                 ? (uint64_t{1} << 32)
                                 : static_cast<uint64_t>(expected / distinct * 4294967296.0);
  const uint32_t start = seed;
  int32_t below = DrawKeysBelow(seed, distinct, threshold, keys);
  if (below < clonal) {
    uint32_t again = start;
    below = DrawKeysBelow(again, distinct, uint64_t{1} << 32, keys);
  }
  if (below <= kRankedCandidates) {
    PlacesByRank(keys, below, clonal, places);
    return;
  }
  // Nearly every key below the threshold is among the `clonal` smallest: sorting them all
  // costs less than a heap selection of those.
  std::sort(keys, keys + below);
  for (int32_t k = 0; k < clonal; ++k) places[k] = static_cast<int32_t>(keys[k] & 0xFFFFFFFFu);
}

}  // namespace genosieve
