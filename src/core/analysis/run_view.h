#pragma once

#include <string>
#include <vector>

namespace genosieve {

// How a Run reports to its user; the window and the command line implement it.
struct RunView {
  virtual ~RunView() = default;
  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void ClearChart() = 0;
  virtual void AddChartPoint(double value) = 0;
  // The overall test hands its running P-values in one batch; a view that can add many
  // points at once overrides this.
  virtual void AddChartPoints(const std::vector<double>& values) {
    for (double value : values) AddChartPoint(value);
  }
  virtual void ShowChartSeries() = 0;
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace genosieve
