#include "support/fake_run_view.h"

#include <algorithm>

#include "messages.h"

namespace genosieve::testing {

bool FakeRunView::Done() const {
  return std::find(messages.begin(), messages.end(), kDoneMessage) != messages.end();
}

void FakeRunView::Record(std::string call) {
  if (recordCalls) calls.push_back(std::move(call));
}

void FakeRunView::RunPlanned(int32_t tests, int32_t iterations) {
  plannedTests = tests;
  plannedIterations = iterations;
}

void FakeRunView::TestStarted(RandomizationKind kind, int32_t index, int32_t count,
                              const std::string& name) {
  Record(std::string("test ") + KindName(kind) + " " + std::to_string(index) + "/" +
         std::to_string(count) + " " + name);
}

void FakeRunView::SeedChosen(uint32_t seed) { seeds.push_back(seed); }

void FakeRunView::SetProgressRange(int minimum, int maximum) {
  Record("range " + std::to_string(minimum) + " " + std::to_string(maximum));
}

void FakeRunView::SetProgressPosition(int position) {
  Record("position " + std::to_string(position));
  lastPosition = position;
  if (atPosition) atPosition(position);
}

void FakeRunView::ClearChart() { Record("clear"); }

void FakeRunView::AddChartPoint(double value) {
  Record("point");
  if (recordCalls) points.push_back(value);
}

void FakeRunView::AddChartPoints(const std::vector<double>& values) {
  Record("points " + std::to_string(values.size()));
  if (recordCalls) points.insert(points.end(), values.begin(), values.end());
}

void FakeRunView::ShowChartSeries() { Record("show"); }

void FakeRunView::RunningPValues(RandomizationKind kind, int32_t index,
                                 const std::vector<RunningPValuePoint>& points) {
  if (recordCalls) running.push_back({kind, index, lastPosition, points});
}

void FakeRunView::ShowMessage(const std::string& text) {
  Record("message " + text);
  messages.push_back(text);
}

void FakeRunView::TestFinished(const TestOutcome& outcome) {
  if (recordCalls) outcomes.push_back(outcome);
}

void FakeRunView::ShowNotice(const std::string& text) { notices.push_back(text); }

void FakeRunView::ClonesFound(const std::vector<PopulationClones>& membership) {
  clones = membership;
  ++clonesTold;
}
void FakeRunView::ClonalityFound(const ClonalityResults& results) { clonality.push_back(results); }

bool FakeRunView::StopRequested() { return stopWhen && stopWhen(); }

}  // namespace genosieve::testing
