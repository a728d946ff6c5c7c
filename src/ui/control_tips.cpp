#include "control_tips.h"

#include <cstring>

namespace {

struct Tip {
  const char* control;
  const char* text;
};

// Each setting and button says what it does, and its key where it has one.
constexpr Tip kTips[] = {
    {"Button1",
     "Chooses the genotype data file (Ctrl+O): GENOSIEVE, Genepop, GenAlEx "
     "(CSV) or FSTAT. Its folder becomes the working folder."},
    {"Edit1",
     "The data file's path. Choose it with Data file:, drop it on the window, "
     "or type it."},
    {"Button2", "Ends the program (Ctrl+Q); during a Run it asks first."},
    {"Button3",
     "Starts the Run with these settings (Ctrl+R); its files go into the "
     "working folder."},
    {"Edit2",
     "How many times each test gives the clone sizes at random to the "
     "distinct genotypes: a whole number, 1000 or more for a P-value to "
     "publish (the README's How many iterations)."},
    {"Edit5",
     "The results file's name in the working folder; the other files' names "
     "are made from it (Clones_results.txt, Summary_results.tsv, ...)."},
    {"CheckBox2", "Adds one test for each locus, after the overall test."},
    {"CheckBox3",
     "Adds one test for each population, with a filler population (the "
     "README explains it)."},
    {"Button4",
     "The program, its version and licence, how to cite it and where its "
     "manual is. F1 shows the manual's section on this window."},
    {"CheckBox1",
     "Writes, for each test, the running P-value after each iteration "
     "(\"overall p-values_\", \"Locus1p-values_\", ... before the result "
     "name)."},
    {"CheckBox4",
     "Writes every randomized Fis of every test to Fisvalues_<name>.tsv, for "
     "your own figures or statistics."},
    {"SeedEdit",
     "Optional: an integer from 0 to 4294967295. A Run given the seed of an "
     "earlier Run, with the same data and settings, writes the same files. "
     "Empty: the clock seeds the Run."},
    {"LogScaleBox",
     "Draws the P-value on a logarithmic scale, where a small P-value is "
     "seen settling."},
    {"StopButton", "Stops the Run at its next iteration (Esc); the finished tests stay."},
    {"ChartButton", "Saves the chart as PNG, SVG or PDF, or copies its image or values."},
    {"OpenFolderButton", "Shows the folder of the last Run's files in the file manager."},
    {"WorkingFolderButton",
     "Chooses the folder the Run writes its files into (the data file's "
     "folder when you choose the data file)."},
    {"ResultsButton", "Shows or hides the results of the last Run."},
};

}  // namespace

QString ControlTip(const QString& objectName) {
  for (const Tip& tip : kTips) {
    if (objectName == QLatin1String(tip.control)) return QString::fromUtf8(tip.text);
  }
  return {};
}
