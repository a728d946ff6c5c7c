#include <iostream>

#include "analysis/run.h"
#include "errors.h"

namespace {

struct QuietView : genosieve::RunView {
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ClearChart() override {}
  void AddChartPoint(double) override {}
  void ShowChartSeries() override {}
  void ShowMessage(const std::string& text) override { std::cout << text << '\n'; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: genosieve-cli DATAFILE\n";
    return 2;
  }
  genosieve::RunSettings settings;
  settings.dataPath = argv[1];
  QuietView view;
  try {
    genosieve::Run(settings, view);
  } catch (const genosieve::RunError& error) {
    std::cerr << "genosieve-cli: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
