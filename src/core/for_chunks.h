#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace genosieve {

// How many chunks `count` items of `work` units each make on `threads` threads: one per
// thread, while each chunk keeps at least `leastWork` units (a thread costs some).
inline std::size_t ChunkCount(int threads, std::size_t count, std::size_t work,
                              std::size_t leastWork) {
  const std::size_t most = std::max<std::size_t>(
      1, std::min<std::size_t>(count, threads > 0 ? static_cast<std::size_t>(threads) : 1));
  const std::size_t total = count * std::max<std::size_t>(work, 1);
  return std::clamp<std::size_t>(total / std::max<std::size_t>(leastWork, 1), 1, most);
}

// work(k, begin, end) for the `chunks` chunks of [0, count), chunk 0 on the calling thread
// and the others on threads of their own, or on the calling thread too where the system
// starts none. The first chunk's error in chunk order is thrown once all have ended.
template <typename Work>
void ForChunks(std::size_t chunks, std::size_t count, Work work) {
  std::vector<std::exception_ptr> errors(chunks);
  auto run = [&](std::size_t k) {
    try {
      work(k, count * k / chunks, count * (k + 1) / chunks);
    } catch (...) {
      errors[k] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  std::size_t started = 1;
  for (; started < chunks; ++started) {
    try {
      threads.emplace_back(run, started);
    } catch (const std::system_error&) {
      break;
    }
  }
  run(0);
  for (std::size_t k = started; k < chunks; ++k) run(k);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& error : errors) {
    if (error) std::rethrow_exception(error);
  }
}

}  // namespace genosieve
