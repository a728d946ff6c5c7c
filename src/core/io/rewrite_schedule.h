#pragma once

// When to rewrite a file that a Run rewrites whole as it grows (a new version put in place
// each time, so that it is always complete). Rewriting it after every addition costs the
// square of its size: a Run of thousands of short tests spent most of its time rewriting
// its results file. With a schedule a small file is still rewritten after every addition,
// a large one at most once per interval, and never for more than about a fifth of the
// Run's time; whoever keeps the additions writes them at once when the Run ends, stops or
// fails.

#include <algorithm>
#include <chrono>
#include <cstddef>

namespace genosieve {

struct RewriteSchedule {
  using Clock = std::chrono::steady_clock;
  // The least time between two rewrites of a file of at least `smallSize` bytes; zero
  // rewrites after every addition.
  Clock::duration interval{};
  std::size_t smallSize = 0;
  Clock::time_point next{};
};

// Whether a rewrite of a file that now holds `size` bytes is due.
inline bool RewriteDue(const RewriteSchedule& schedule, std::size_t size) {
  return size < schedule.smallSize ||
         schedule.interval == RewriteSchedule::Clock::duration::zero() ||
         RewriteSchedule::Clock::now() >= schedule.next;
}

// Records a rewrite that started at `start` and just ended.
inline void Rewritten(RewriteSchedule& schedule, RewriteSchedule::Clock::time_point start) {
  const RewriteSchedule::Clock::time_point end = RewriteSchedule::Clock::now();
  schedule.next = end + std::max(schedule.interval, 4 * (end - start));
}

}  // namespace genosieve
