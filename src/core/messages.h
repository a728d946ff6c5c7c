#pragma once

// The messages a Run shows its user, in one place: the system's own French texts, byte
// for byte, and the texts this project added, in English. Every message that names a
// place in a file is built by Located, so that all files are named the same way.

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace genosieve {

// ---- The system's texts --------------------------------------------------------------

// Input/output error codes of the Run, each with its French message.
inline constexpr int kIoFileNotFound = 2;
inline constexpr int kIoBadFileName = 3;
inline constexpr int kIoTooManyOpenFiles = 4;
inline constexpr int kIoAccessDenied = 5;
inline constexpr int kIoReadPastEnd = 100;
inline constexpr int kIoDiskFull = 101;
inline constexpr int kIoBadNumericInput = 106;

// "Fichier introuvable" for 2, ..., "Erreur E/S %d" for any other code.
std::string IoErrorMessage(int code);

// "'<text>' n'est pas une valeur entière correcte"
std::string ConversionErrorMessage(std::string_view text);

// The floating-point errors of the estimate.
inline constexpr const char* kDivisionByZeroMessage = "Division par zéro en virgule flottante";
inline constexpr const char* kInvalidOperationMessage = "Opération en virgule flottante incorrecte";
inline constexpr const char* kOverflowMessage = "Débordement en virgule flottante";

// A failed allocation.
inline constexpr const char* kOutOfMemoryMessage = "Mémoire insuffisante";

// The end of a Run that went through (seven characters, the last a blank).
inline constexpr const char* kDoneMessage = "done ! ";

// ---- Where -----------------------------------------------------------------------------

// A place in a file: the file, then optionally its line, a locus of that line and a
// field, or, in a spreadsheet, a row and a column. `lead` says which kind of file it is
// ("Data file", "File", ...).
struct FilePlace {
  std::string_view lead = "File";
  std::string_view path{};
  int64_t line = 0;          // 1-based; 0 names the file alone
  int32_t locus = 0;         // 1-based; 0 when the place is not one locus
  std::string_view field{};  // such as "first allele"; empty when none
  int64_t row = 0;           // spreadsheet row, 1-based; 0 when none
  int64_t column = 0;        // spreadsheet column, 1-based; 0 when none
};

// `<lead> "<path>"[, line N][, locus k][, <field>][, row N][, column M]: <what>`, the
// path's control characters escaped (EscapeControls).
std::string Located(const FilePlace& place, std::string_view what);

// A name as a message shows it: its control characters (below 32, and 127) written as
// \t, \n, \r or \xHH, so that a name cannot break or redraw the message's line.
std::string EscapeControls(std::string_view text);

// ---- The project's texts ---------------------------------------------------------------

// `pattern` with each "{}" replaced by the next argument (texts or integers), in order.
template <typename... Args>
std::string FillMessage(std::string_view pattern, const Args&... args);

// Each text of the data file reader and of the intermediate genotype files follows the
// place that Located gives.
namespace messages {

// The Run.
std::string IterationsNegative(std::string_view iterationsText);
// Data of one population: the notice (after `Data file "<path>"`) and the line before
// the overall section of the results file that say which estimator gave the values.
std::string OneSampleEstimator();
inline constexpr std::string_view kOneSampleEstimatorLine =
    "One population: Fis of the overall and per-locus tests by Weir & Cockerham's estimator "
    "for one sample";

// The data file reader: the whole file, then its header.
std::string TooManyLines();
std::string TooFewLines(int64_t lines, int64_t loci, int64_t individuals);
std::string HeaderNumberField(std::string_view name);
std::string EndBeforeHeaderNumber(std::string_view field);
std::string HeaderLineEndsBefore(std::string_view field);
// `name` is "number of populations P", "number of loci L" or "allele code width D".
std::string HeaderValueBelowOne(std::string_view name, int32_t value);
std::string HighestAlleleOutOfRange(int32_t highestAllele);
std::string CodeWidthAboveThree(int32_t codeWidth);
std::string HighestAlleleWiderThanCode(int32_t highestAllele, int32_t codeWidth);
std::string TooFewPopulationRuns(int32_t populations, int64_t firstLine, int64_t lastLine,
                                 int64_t runs);

// The data file reader: an individual line.
std::string EndInsideIndividual(std::string_view where);
std::string LastLineEmpty();
std::string LineEmpty();
inline constexpr std::string_view kPopulationNumberField = "population number";
std::string NoTabAfterPopulation();
// `quoted`: the population number's text up to the line end.
std::string NoTabBeforeLineEnd(std::string_view quoted);
std::string GenotypeCount(int32_t genotypes, int32_t loci);
std::string AlleleField(std::string_view which);
std::string LocusAndField(int32_t locus, std::string_view field);
std::string LineEndsInsideGenotype(int32_t codeWidth);
// Why an allele outside 0..min(999, A) is refused.
std::string BadAllele(int32_t allele, int32_t highestAllele);
std::string OneAlleleZero();
std::string BadSeparator(std::string_view shown, int32_t codeWidth);
std::string TextAfterLastGenotype(int32_t loci);

// The intermediate genotype files and their loader.
std::string AlleleNotThreeDigits(int32_t allele);
// `name` is "number of populations", "number of loci" or "highest allele number".
std::string HeaderValueOutOfRange(std::string_view name, int32_t value);
std::string LabelLinesMissing(int32_t loci);
std::string PopulationNumberOutOfRange(int32_t population, int32_t populations);
// Why a genotype code that is neither 0 nor two alleles in 1..A is refused.
std::string BadGenotypeCode(int32_t code, int32_t highestAllele);

// The reports.
std::string NoClassicLocale();
// A regional decimal separator that the files cannot hold as one character.
std::string DecimalSeparatorReplaced(std::string_view regional, char used);

// The working folder and the files a Run writes there: after `Working folder "<path>"`,
// `Output file "<name>"`, `Result name "<name>"` or `Data file "<path>"`.
std::string NameEmpty();
std::string NoSuchFolder();
std::string NotAFolder();
std::string FolderInUse();
std::string LockFileNotRegular(std::string_view lockName);
// `reason`: the system's message.
std::string CannotCreateLockFile(std::string_view lockName, std::string_view reason);
std::string NameOfAFolder();
std::string FolderMissing(std::string_view folder);
std::string FolderNotAFolder(std::string_view folder);
// `role` says what an output is ("results file", ...), `name` is its name.
std::string OutputsCoincide(std::string_view firstRole, std::string_view firstName,
                            std::string_view secondRole, std::string_view secondName);
std::string DataFileIsOutput(std::string_view role, std::string_view name);

// Input/output errors about a file (RunError::fileRole and RunError::doing): which file,
// and what the Run was doing with it when the system's message came.
inline constexpr std::string_view kDataFileRole = "Data file";
inline constexpr std::string_view kFileRole = "File";
std::string CannotOpenForReading();
std::string CannotRead();
std::string CannotCheckName();
std::string CannotCreate();
std::string CannotWrite();
std::string CannotPutInPlace();
// `kind` as FileKind gives it.
std::string NotARegularFile(std::string_view kind);
std::string NameTakenBy(std::string_view kind);
std::string WriteDataNameTakenBy(std::string_view kind);
// "a folder", "a named pipe", "a device", "a socket", "a symbolic link", or "a special
// file", from a stat mode.
std::string FileKind(unsigned mode);
// A folder the Run writes into besides its working folder (the folder part of an output
// name), after `Output folder "<path>"`.
inline constexpr std::string_view kOutputFolderLead = "Output folder";

// The resources a Run needs, checked before its first test: sizes as ByteSize writes
// them ("12.3 MiB").
std::string ByteSize(uint64_t bytes);
// After "Mémoire insuffisante (" ... ")".
std::string MemoryNeeded(std::string_view need, std::string_view data, std::string_view values,
                         int32_t iterations, int64_t tests, std::string_view inUse,
                         std::string_view available);
// After `Folder "<path>"`: `what` the files are.
std::string DiskNeeded(std::string_view what, std::string_view need, std::string_view free);
std::string LargeRun(std::string_view memory, std::string_view available, std::string_view disk,
                     std::string_view free);

// The line under "Opération en virgule flottante incorrecte" when no locus of the data
// is typed in two populations.
std::string NoLocusInTwoPopulations();
// The same, for data of a single population.
std::string NoLocusInTwoIndividuals();

// The last line of the results file of a Run stopped by its user, and the message of
// the stop.
inline constexpr std::string_view kRunInterrupted = "Run interrupted";

// "Mémoire insuffisante (<what>)": what was being allocated.
std::string OutOfMemoryFor(std::string_view what);

// The readers of other programs' layouts (Genepop, GenAlEx, FSTAT); `quoted` texts come
// from the file, already shown between quotes.
std::string ReadAs(std::string_view format, int64_t populations, int64_t loci, int64_t individuals,
                   int32_t highestAllele, int32_t codeWidth);
// `readings`: "GenAlEx (--format genalex)", or several joined by " and as ".
std::string ReadsAsOtherLayout(std::string_view readings);
// `how` says how the readings differ; `first` and `second` describe each.
std::string LayoutsDisagree(std::string_view how, std::string_view first, std::string_view second);
std::string AlleleAboveProgramRange(std::string_view quoted);
std::string NameHoldsTabOrLineEnd(std::string_view what, std::string_view quoted);
std::string NameHoldsControl(std::string_view what, std::string_view quoted,
                             std::string_view control);
std::string NamesReadAsWindows1252(std::string_view what, std::string_view quoted);
std::string HalfMissingRead(std::string_view quoted, int64_t more);
std::string TooFewIndividuals(int64_t individuals);
std::string EveryGenotypeMissing();
std::string TooMany(std::string_view what);
std::string Regrouped(std::string_view what);
// Genepop.
std::string NotAGenepopGenotype(std::string_view quoted);
std::string HaploidGenotype(std::string_view quoted, int64_t digits);
std::string GenepopGenotypeDigits(std::string_view quoted, int64_t digits);
std::string LocusWidthDiffers(std::string_view quoted, int64_t digits, int64_t before);
// `popLine`: a line that starts with Pop but holds more, or 0.
std::string NoPopLine(int64_t popLine);
std::string PopBeforeLocusNames();
std::string IndividualTooShort(int32_t genotypes, int32_t loci);
std::string IndividualTooLong(int64_t line, int32_t loci);
std::string PopulationWithoutIndividual(int32_t population);
std::string NeitherPopNorIndividual(bool startsWithPop);
// FSTAT.
// `quoted`: the words of the header line, each between quotes, separated by ", ".
std::string FstatHeaderWords(int64_t words, std::string_view quoted);
std::string TextAfterHeaderNumbers(std::string_view quoted);
std::string FstatHighestAllele(int32_t highestAllele);
std::string FstatCodeWidth(int32_t codeWidth);
std::string LocusNamesCutShort(int32_t loci);
std::string FstatGenotypeCount(int64_t genotypes, int32_t loci);
std::string NotAnFstatGenotype(std::string_view quoted, int32_t codeWidth);
std::string PopulationNumbersDiffer(int32_t populations, int64_t found, std::string_view list);
std::string FstatRegrouped(int64_t line, std::string_view list);
// GenAlEx.
std::string CountMissing(std::string_view what);
std::string CountNotWholeNumber(std::string_view quoted, std::string_view what);
std::string CountTooSmall(std::string_view what, int32_t value, int32_t lowest);
std::string PopulationNameMissing(int32_t population, int32_t populations);
std::string PopulationNameTwice(std::string_view quoted);
std::string LocusNameMissing(int32_t locus, int32_t loci);
std::string TextAfterLoci(std::string_view quoted, int32_t loci);
std::string NotAnAlleleNumber(std::string_view quoted);
std::string SampleBeyondCount(int32_t samples);
std::string SampleRowTooShort(int64_t cells, int32_t loci, int64_t width);
std::string PopulationNotInRowTwo(std::string_view quoted, std::string_view list);
std::string QuoteMisplaced();
std::string QuotesDoNotPair(int64_t row);
std::string QuoteNeverClosed();
std::string TooFewRows(int64_t rows);
std::string SampleCountDiffers(int32_t samples, int64_t rows);
std::string PopulationSizeDiffers(std::string_view quoted, int32_t size, int32_t rows);
std::string PopulationsFromColumnTwo(int64_t populations);
std::string PopulationNameEmpty();
std::string PopulationCountDiffers(int32_t populations, int64_t found, std::string_view list);
std::string GenalexRegrouped(int64_t row, std::string_view list);
// `columns` allele columns per locus (1 for haploid data).
std::string NotDiploid(int64_t columns, std::string_view found);

// Writing the data in the native layout.
inline constexpr std::string_view kOutputFileLead = "Output file";
std::string OutputIsInput();
std::string WrittenInNativeLayout();
std::string WrittenToStandardOutput();

}  // namespace messages

// ---- Implementation of FillMessage -----------------------------------------------------

namespace detail {

inline void AppendArgument(std::string& out, std::string_view value) { out.append(value); }

template <std::integral Integer>
requires(!std::same_as<Integer, char> &&
         !std::same_as<Integer, bool>) void AppendArgument(std::string& out, Integer value) {
  out.append(std::to_string(value));
}

inline void AppendPiece(std::string& out, std::string_view& rest, const auto& argument) {
  const std::size_t at = rest.find("{}");
  out.append(rest.substr(0, at));
  AppendArgument(out, argument);
  rest.remove_prefix(at == std::string_view::npos ? rest.size() : at + 2);
}

}  // namespace detail

template <typename... Args>
std::string FillMessage(std::string_view pattern, const Args&... args) {
  std::string out;
  std::string_view rest = pattern;
  (detail::AppendPiece(out, rest, args), ...);
  out.append(rest);
  return out;
}

}  // namespace genosieve
