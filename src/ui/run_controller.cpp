#include "run_controller.h"

#include <locale.h>

#include <QEventLoop>
#include <thread>

#include "analysis/run.h"

std::exception_ptr RunInBackground(const genosieve::RunSettings& settings,
                                   genosieve::RunView& view) {
  // The Run's view operations come back to this thread in order; the loop below ends
  // after the last of them.
  std::exception_ptr failure;
  QEventLoop loop;
  try {
    std::thread worker([&] {
      // The application runs under the user's locale; the analysis reads and writes
      // numbers in the C conventions whatever the process locale, as the command line.
      const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
      if (classic != static_cast<locale_t>(0)) uselocale(classic);
      try {
        genosieve::Run(settings, view);
      } catch (...) {
        failure = std::current_exception();
      }
      if (classic != static_cast<locale_t>(0)) {
        uselocale(LC_GLOBAL_LOCALE);
        freelocale(classic);
      }
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
  } catch (...) {
    // No thread could be started: nothing has run.
    failure = std::current_exception();
  }
  return failure;
}

bool ChangeProgress(ProgressReport& report, const std::function<void(ProgressReport&)>& change) {
  const std::lock_guard lock(report.mutex);
  change(report);
  const bool post = !report.posted;
  report.posted = true;
  return post;
}

ProgressChanges TakeProgress(ProgressReport& report) {
  const std::lock_guard lock(report.mutex);
  ProgressChanges changes;
  if (report.rangeChanged) changes.range = std::pair(report.minimum, report.maximum);
  if (report.positionChanged) changes.position = report.position;
  changes.run = report.run;
  report.rangeChanged = false;
  report.positionChanged = false;
  report.posted = false;
  return changes;
}

void ResetProgress(ProgressReport& report) {
  const std::lock_guard lock(report.mutex);
  report.run = RunProgress{};
}
