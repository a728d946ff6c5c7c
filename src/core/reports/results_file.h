#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/tally.h"
#include "io/rewrite_schedule.h"
#include "io/working_folder.h"

namespace genosieve {

// The results file of a Run: its name and the text of the sections finished so far. The
// file is rewritten whole (a new file put in place), so that it is always either the
// previous Run's complete file or this Run's first finished sections: after the overall
// section, then as `schedule` allows (after every section with the default schedule, or
// while the file is small), and with every finished section once PublishResults is
// called.
struct ResultsFile {
  std::string name;
  std::string text;
  bool written = false;       // this Run has put its own file in place
  std::size_t published = 0;  // the bytes of `text` the file holds
  // The version in place replaced one of this Run's own by an exchange of names, which
  // writes it out later than a rename would: PublishResults then puts it in place again.
  bool exchanged = false;
  RewriteSchedule schedule{};  // when sections after the overall one are written
};

// Each writer formats its section and adds it to `results`, then writes the file when it
// is due; a failure is the Run's I/O error, and leaves both the file and `results` as they
// were. `state` holds a normalised tally.

// Starts the results file afresh with the overall section, after `firstLine` when it is
// not empty (which estimator gave the values, for data of one population).
void WriteOverallSection(const WorkingFolder& folder, ResultsFile& results, const TallyState& state,
                         char decimalSeparator, std::string_view firstLine = {});

// Adds the section of locus k (1-based).
void WritePerLocusSection(const WorkingFolder& folder, ResultsFile& results,
                          const TallyState& state, int32_t locus, char decimalSeparator);

// Adds the section of population k (1-based).
void WritePerPopulationSection(const WorkingFolder& folder, ResultsFile& results,
                               const TallyState& state, int32_t population, char decimalSeparator);

// Writes every finished section that the file does not hold yet.
void PublishResults(const WorkingFolder& folder, ResultsFile& results);

// Adds the last line "Run interrupted" to a results file this Run has written, and writes
// it; does nothing when it has written none (the previous Run's file stays as it was).
void WriteInterruptedLine(const WorkingFolder& folder, ResultsFile& results);

// Creates a p-value file: header "iteration\tp-value", then one line per iteration with
// its running P-value; the tally has the flags of its values (TallyState::notAboveFlags).
void WritePValueFile(const WorkingFolder& folder, const std::string& fileName,
                     const TallyState& state, char decimalSeparator);

// "overall p-values_" + R, "Locus" + k + "p-values_" + R, "Pop" + k + "p-values_" + R.
std::string OverallPValueFileName(const std::string& resultName);
std::string LocusPValueFileName(const std::string& resultName, int32_t locus);
std::string PopulationPValueFileName(const std::string& resultName, int32_t population);

}  // namespace genosieve
