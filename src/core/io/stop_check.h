#pragma once

// Stops asked for while the Run reads or writes a large file. The data file readers know
// nothing of stops, so a stop reaches them through the block reads of io/input_file.h.

#include <functional>

namespace genosieve {

// Whether the user asked to stop; cheap, as it is asked before every block.
using StopCheck = std::function<bool()>;

// While it lives, every block read from a file on this thread first asks `check`, and a
// read asked to stop ends with RunStopped. Nested ones apply in turn, the innermost first.
struct StopReadingWhen {
  explicit StopReadingWhen(StopCheck check);
  ~StopReadingWhen();
  StopReadingWhen(const StopReadingWhen&) = delete;
  StopReadingWhen& operator=(const StopReadingWhen&) = delete;

  StopCheck check;
  const StopReadingWhen* outer = nullptr;
};

// Ends with RunStopped when a StopReadingWhen of this thread asks to stop.
void StopReadingIfAsked();

}  // namespace genosieve
