#pragma once

// Runs a Run for the window: on a thread of its own, so that the window keeps
// repainting, with the progress it reports gathered for the window's thread.

#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "analysis/run_settings.h"
#include "analysis/run_view.h"
#include "run_progress.h"

// Runs the Run with the view on a new thread while the calling thread's event loop goes
// on; returns, with the error that ended it or nothing, once the Run has ended and the
// calls it queued for the calling thread before its end have been delivered. The Run
// reads and writes numbers in the C conventions whatever the process's locale, as the
// command line does.
std::exception_ptr RunInBackground(const genosieve::RunSettings& settings,
                                   genosieve::RunView& view);

// What the Run's thread reports of its progress, applied on the window's thread in one
// go however many calls came meanwhile.
struct ProgressReport {
  std::mutex mutex;
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  bool rangeChanged = false;
  bool positionChanged = false;
  RunProgress run;
  bool posted = false;  // an application is waiting on the window's thread
};

// Changes the report under its lock; true when the window's thread must be asked to
// apply it, false when an application is already waiting.
bool ChangeProgress(ProgressReport& report, const std::function<void(ProgressReport&)>& change);

// What changed since the last application: the progress bar's range and position when
// they changed, and the Run's progress.
struct ProgressChanges {
  std::optional<std::pair<int, int>> range;
  std::optional<int> position;
  RunProgress run;
};
ProgressChanges TakeProgress(ProgressReport& report);

// Forgets the last Run's progress.
void ResetProgress(ProgressReport& report);
