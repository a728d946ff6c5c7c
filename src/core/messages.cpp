#include "messages.h"

#include <sys/stat.h>

namespace genosieve {

std::string IoErrorMessage(int code) {
  switch (code) {
    case kIoFileNotFound:
      return "Fichier introuvable";
    case kIoBadFileName:
      return "Nom de fichier incorrect";
    case kIoTooManyOpenFiles:
      return "Trop de fichiers ouverts";
    case kIoAccessDenied:
      return "Accès au fichier refusé";
    case kIoReadPastEnd:
      return "Lecture au-delà de la fin de fichier";
    case kIoDiskFull:
      return "Disque plein";
    case kIoBadNumericInput:
      return "Saisie numérique incorrecte";
    default:
      return "Erreur E/S " + std::to_string(code);
  }
}

std::string ConversionErrorMessage(std::string_view text) {
  // Built in place: concatenating the quotes with operator+ trips a GCC 12 -Wrestrict
  // false positive.
  static constexpr std::string_view kTail = "' n'est pas une valeur entière correcte";
  std::string message(text.size() + 1 + kTail.size(), '\'');
  text.copy(message.data() + 1, text.size());
  kTail.copy(message.data() + 1 + text.size(), kTail.size());
  return message;
}

std::string EscapeControls(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte != 127) {
      shown += c;
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      shown += "\\x";
      shown += kDigits[byte >> 4];
      shown += kDigits[byte & 15];
    }
  }
  return shown;
}

std::string Located(const FilePlace& place, std::string_view what) {
  std::string message(place.lead);
  message.append(" \"").append(EscapeControls(place.path)).append("\"");
  if (place.line != 0) message.append(", line ").append(std::to_string(place.line));
  if (place.locus != 0) message.append(", locus ").append(std::to_string(place.locus));
  if (!place.field.empty()) message.append(", ").append(place.field);
  if (place.row != 0) message.append(", row ").append(std::to_string(place.row));
  if (place.column != 0) message.append(", column ").append(std::to_string(place.column));
  message.append(": ").append(what);
  return message;
}

namespace messages {

std::string IterationsNegative(std::string_view iterationsText) {
  return FillMessage("The number of iterations must be 0 or more, not {}.", iterationsText);
}

std::string OneSampleEstimator() {
  return "one population: the overall and per-locus tests estimate Fis with Weir & "
         "Cockerham's estimator for one sample; each population test pairs the population with "
         "its filler population as usual";
}

std::string TooManyLines() { return "the file has more than 2147483647 lines"; }

std::string TooFewLines(int64_t lines, int64_t loci, int64_t individuals) {
  return FillMessage(
      "the file has {} lines; with L = {} it needs the header, {} {} and at least two "
      "individual lines (it holds {})",
      lines, loci, loci, loci == 1 ? "locus-name line" : "locus-name lines",
      individuals < 0 ? 0 : individuals);
}

std::string HeaderNumberField(std::string_view name) {
  return FillMessage("header number {}", name);
}

std::string EndBeforeHeaderNumber(std::string_view field) {
  return FillMessage("the file ends before {} (the header holds P L A D)", field);
}

std::string HeaderLineEndsBefore(std::string_view field) {
  return FillMessage(
      "the header line ends before {} (it holds the four numbers P L A D, separated by blanks)",
      field);
}

std::string HeaderValueBelowOne(std::string_view name, int32_t value) {
  return FillMessage("the {} is {}; it must be at least 1", name, value);
}

std::string HighestAlleleOutOfRange(int32_t highestAllele) {
  return FillMessage(
      "the highest allele number A is {}; it must be between 1 and 999 (alleles are written "
      "with three digits)",
      highestAllele);
}

std::string CodeWidthAboveThree(int32_t codeWidth) {
  return FillMessage(
      "the allele code width D is {}; it must be 1, 2 or 3 (alleles are numbers from 1 to 999)",
      codeWidth);
}

std::string HighestAlleleWiderThanCode(int32_t highestAllele, int32_t codeWidth) {
  int32_t widest = 9;
  for (int32_t d = 1; d < codeWidth; ++d) widest = widest * 10 + 9;
  return FillMessage(
      "the highest allele number A is {}, which does not fit in D = {} {} (alleles of D digits "
      "go up to {})",
      highestAllele, codeWidth, codeWidth == 1 ? "digit" : "digits", widest);
}

std::string TooFewPopulationRuns(int32_t populations, int64_t firstLine, int64_t lastLine,
                                 int64_t runs) {
  return FillMessage(
      "the header gives P = {} populations, but the individual lines (lines {} to {}) hold "
      "only {} {} of population numbers; each population is one run of lines with the same "
      "population number",
      populations, firstLine, lastLine, runs, runs == 1 ? "run" : "runs");
}

std::string EndInsideIndividual(std::string_view where) {
  return FillMessage("the file ends inside an individual line ({})", where);
}

std::string LastLineEmpty() {
  return "the last line is empty; an empty line counts as an individual line";
}

std::string LineEmpty() {
  return "the line is empty; every line after the locus names is an individual";
}

std::string NoTabAfterPopulation() { return "no TAB after the population number"; }

std::string NoTabBeforeLineEnd(std::string_view quoted) {
  return FillMessage(
      "a TAB follows the population number, but this line holds none: {} runs to its end", quoted);
}

std::string GenotypeCount(int32_t genotypes, int32_t loci) {
  return FillMessage("the line holds {} genotypes, L = {}", genotypes, loci);
}

std::string AlleleField(std::string_view which) { return FillMessage("{} allele", which); }

std::string LocusAndField(int32_t locus, std::string_view field) {
  return FillMessage("locus {}, {}", locus, field);
}

std::string LineEndsInsideGenotype(int32_t codeWidth) {
  return FillMessage("the line ends inside the genotype (each genotype has 2 x D = {} characters)",
                     2 * static_cast<int64_t>(codeWidth));
}

std::string BadAllele(int32_t allele, int32_t highestAllele) {
  if (allele < 0) return FillMessage("allele {} is below 0", allele);
  if (allele > 999) {
    return FillMessage("allele {} is above 999 (alleles are written with three digits)", allele);
  }
  return FillMessage("allele {} is above the highest allele number A = {} of the header", allele,
                     highestAllele);
}

std::string OneAlleleZero() {
  return "the genotype has exactly one allele 0; only a genotype with both alleles 0 is missing";
}

std::string BadSeparator(std::string_view shown, int32_t codeWidth) {
  return FillMessage(
      "the genotype is followed by '{}' instead of a TAB or a blank (each genotype has 2 x D = "
      "{} characters)",
      shown, 2 * static_cast<int64_t>(codeWidth));
}

std::string TextAfterLastGenotype(int32_t loci) {
  return FillMessage("text after the last genotype: the line holds more than L = {} genotypes",
                     loci);
}

std::string AlleleNotThreeDigits(int32_t allele) {
  return FillMessage("allele {} does not fit in three digits", allele);
}

std::string HeaderValueOutOfRange(std::string_view name, int32_t value) {
  return FillMessage("the {} {} is out of range", name, value);
}

std::string LabelLinesMissing(int32_t loci) {
  return FillMessage("the header announces {} locus label lines; the file ends before them", loci);
}

std::string PopulationNumberOutOfRange(int32_t population, int32_t populations) {
  return FillMessage("population number {} outside 1..{}", population, populations);
}

std::string BadGenotypeCode(int32_t code, int32_t highestAllele) {
  if (code < 0) return FillMessage("genotype {} is negative", code);
  if (code / 1000 == 0 || code % 1000 == 0) {
    return FillMessage("genotype {} has one allele missing", code);
  }
  return FillMessage("genotype {} has an allele above the highest allele number {}", code,
                     highestAllele);
}

std::string NoClassicLocale() { return "Cannot create the \"C\" locale needed to write numbers."; }

std::string ReadAs(std::string_view format, int64_t populations, int64_t loci, int64_t individuals,
                   int32_t highestAllele, int32_t codeWidth) {
  return FillMessage("read as {} ({} {}, {} {}, {} {}; A = {}, D = {})", format, populations,
                     populations == 1 ? "population" : "populations", loci,
                     loci == 1 ? "locus" : "loci", individuals,
                     individuals == 1 ? "individual" : "individuals", highestAllele, codeWidth);
}

std::string ReadsAsOtherLayout(std::string_view readings) {
  return FillMessage("the file reads as {}", readings);
}

std::string LayoutsDisagree(std::string_view how, std::string_view first, std::string_view second) {
  return FillMessage(
      "the file reads in two layouts, which give {}: as {}; as {}; choose one with --format", how,
      first, second);
}

std::string AlleleAboveProgramRange(std::string_view quoted) {
  return FillMessage(
      "allele {} is above 999, the highest allele number the program handles; recode the "
      "alleles as numbers from 1 to 999 (0 for a missing allele)",
      quoted);
}

std::string NameHoldsTabOrLineEnd(std::string_view what, std::string_view quoted) {
  return FillMessage(
      "{} {} holds a TAB or a line end; names are written to TAB-separated files, one "
      "individual per line",
      what, quoted);
}

std::string NameHoldsControl(std::string_view what, std::string_view quoted,
                             std::string_view control) {
  return FillMessage(
      "{} {} holds the control character {}; names go to the text files the Run writes, which "
      "hold no control characters",
      what, quoted, control);
}

std::string NamesReadAsWindows1252(std::string_view what, std::string_view quoted) {
  return FillMessage(
      "{} {} is not UTF-8 text; every name of the file is read as Windows-1252 (as spreadsheets "
      "on Windows save text) and written as UTF-8",
      what, quoted);
}

std::string HalfMissingRead(std::string_view quoted, int64_t more) {
  if (more == 0) {
    return FillMessage(
        "the genotype {} has exactly one allele 0; it is read as missing, as FSTAT does", quoted);
  }
  return FillMessage(
      "the genotype {} has exactly one allele 0; it and {} more such {} are read as missing, as "
      "FSTAT does",
      quoted, more, more == 1 ? "genotype" : "genotypes");
}

std::string TooFewIndividuals(int64_t individuals) {
  return FillMessage("the file holds {} {}; the Run needs at least two", individuals,
                     individuals == 1 ? "individual" : "individuals");
}

std::string EveryGenotypeMissing() {
  return "every genotype is missing; the Run needs at least one allele that is not 0";
}

std::string TooMany(std::string_view what) { return FillMessage("too many {}", what); }

std::string Regrouped(std::string_view what) {
  return FillMessage(
      "the samples of a population are not all listed together, in the order of {}; they are "
      "grouped by population, in the order of {}",
      what, what);
}

std::string NotAGenepopGenotype(std::string_view quoted) {
  return FillMessage(
      "{} is not a genotype: a Genepop genotype is 4 or 6 digits, two alleles of 2 or 3 digits "
      "(0000 or 000000 when missing)",
      quoted);
}

std::string HaploidGenotype(std::string_view quoted, int64_t digits) {
  return FillMessage(
      "{} is a haploid genotype (one allele of {} digits); the program analyses diploid data: "
      "each genotype holds two alleles, 4 or 6 digits",
      quoted, digits);
}

std::string GenepopGenotypeDigits(std::string_view quoted, int64_t digits) {
  return FillMessage(
      "{} has {} digits; a Genepop genotype has 4 or 6 (two alleles of 2 or 3 digits)", quoted,
      digits);
}

std::string LocusWidthDiffers(std::string_view quoted, int64_t digits, int64_t before) {
  return FillMessage(
      "{} has {} digits, the genotypes before it at this locus {}; within a locus every "
      "genotype has the same width",
      quoted, digits, before);
}

std::string NoPopLine(int64_t popLine) {
  std::string message =
      "no Pop line; a Genepop file holds a title line, the locus names, then each population "
      "after a line that reads Pop";
  if (popLine != 0) {
    message +=
        FillMessage(" (line {} starts with Pop, but a Pop line holds the word Pop alone)", popLine);
  }
  return message;
}

std::string PopBeforeLocusNames() {
  return "the first Pop line comes before any locus name (line 1 is the title, the locus names "
         "follow it)";
}

std::string IndividualTooShort(int32_t genotypes, int32_t loci) {
  return FillMessage(
      "the individual holds {} genotypes, L = {} (a line may wrap between genotypes; the next "
      "individual or Pop line starts a new one)",
      genotypes, loci);
}

std::string IndividualTooLong(int64_t line, int32_t loci) {
  return FillMessage("the individual of line {} holds more than L = {} genotypes", line, loci);
}

std::string PopulationWithoutIndividual(int32_t population) {
  return FillMessage("population {} holds no individual", population);
}

std::string NeitherPopNorIndividual(bool startsWithPop) {
  std::string message =
      "the line is neither a Pop line nor an individual line (identifier, comma, then the "
      "genotypes)";
  if (startsWithPop) message += "; a Pop line holds the word Pop alone";
  return message;
}

std::string FstatHeaderWords(int64_t words, std::string_view quoted) {
  if (words == 0) return "the header line is empty; an FSTAT header holds the four numbers P L A D";
  return FillMessage(
      "the header line holds {} {} ({}); an FSTAT header holds the four numbers P L A D", words,
      words == 1 ? "word" : "words", quoted);
}

std::string TextAfterHeaderNumbers(std::string_view quoted) {
  return FillMessage("text after the four header numbers P L A D: {}", quoted);
}

std::string FstatHighestAllele(int32_t highestAllele) {
  return FillMessage(
      "the highest allele number A is {}; it must be between 1 and 999 (recode larger alleles)",
      highestAllele);
}

std::string FstatCodeWidth(int32_t codeWidth) {
  return FillMessage("the allele code width D is {}; FSTAT writes alleles with 1, 2 or 3 digits",
                     codeWidth);
}

std::string LocusNamesCutShort(int32_t loci) {
  return FillMessage(
      "the file ends inside the locus names: L = {} locus-name lines follow the header", loci);
}

std::string FstatGenotypeCount(int64_t genotypes, int32_t loci) {
  return FillMessage("the line holds {} genotypes after the population number, L = {}", genotypes,
                     loci);
}

std::string NotAnFstatGenotype(std::string_view quoted, int32_t codeWidth) {
  return FillMessage(
      "{} is not a genotype: with D = {} a genotype is a number of at most {} digits, the last "
      "{} of which are the second allele (0 when missing)",
      quoted, codeWidth, 2 * static_cast<int64_t>(codeWidth), codeWidth);
}

std::string PopulationNumbersDiffer(int32_t populations, int64_t found, std::string_view list) {
  return FillMessage(
      "the header gives P = {} populations, but the individual lines hold {} population {} ({})",
      populations, found, found == 1 ? "number" : "numbers", list);
}

std::string FstatRegrouped(int64_t line, std::string_view list) {
  return FillMessage(
      "the individuals of a population are not all listed together (line {} is the first away "
      "from its population); they are grouped by population number, populations numbered in "
      "order of first appearance ({})",
      line, list);
}

std::string CountMissing(std::string_view what) {
  return FillMessage(
      "no {} (row 1 holds the numbers of loci, samples and populations, then each population's "
      "size)",
      what);
}

std::string CountNotWholeNumber(std::string_view quoted, std::string_view what) {
  return FillMessage("{} is not a whole number; it is the {}", quoted, what);
}

std::string CountTooSmall(std::string_view what, int32_t value, int32_t lowest) {
  return FillMessage("the {} is {}; it must be at least {}", what, value, lowest);
}

std::string PopulationNameMissing(int32_t population, int32_t populations) {
  return FillMessage(
      "no name for population {} (row 1 gives {} populations; row 2 holds a title, two blank "
      "cells, then their names)",
      population, populations);
}

std::string PopulationNameTwice(std::string_view quoted) {
  return FillMessage("population name {} is given twice", quoted);
}

std::string LocusNameMissing(int32_t locus, int32_t loci) {
  return FillMessage(
      "no name for locus {} (row 1 gives L = {}; row 3 names each locus over its first allele "
      "column)",
      locus, loci);
}

std::string TextAfterLoci(std::string_view quoted, int32_t loci) {
  return FillMessage(
      "{} stands right after the two allele columns of the L = {} loci of row 1; leave a blank "
      "column before any further column",
      quoted, loci);
}

std::string NotAnAlleleNumber(std::string_view quoted) {
  return FillMessage(
      "{} is not an allele number; recode the alleles as whole numbers from 1 to 999 (0 or an "
      "empty cell for a missing allele)",
      quoted);
}

std::string SampleBeyondCount(int32_t samples) {
  return FillMessage("a sample row beyond the N = {} samples that row 1 gives", samples);
}

std::string SampleRowTooShort(int64_t cells, int32_t loci, int64_t width) {
  return FillMessage(
      "the row holds {} cells; a sample row holds its identifier, its population and two allele "
      "columns for each of the L = {} loci: {} cells",
      cells, loci, width);
}

std::string PopulationNotInRowTwo(std::string_view quoted, std::string_view list) {
  return FillMessage("population {} is not among the names of row 2 ({})", quoted, list);
}

std::string QuoteMisplaced() {
  return "a double quote stands inside a cell that does not start with one, or text follows "
         "the closing double quote of a cell";
}

std::string QuotesDoNotPair(int64_t row) {
  return FillMessage(
      "the double quotes do not pair up: a quoted cell opened in this row runs on to row {}", row);
}

std::string QuoteNeverClosed() { return "a quoted cell opened in this row is never closed"; }

std::string TooFewRows(int64_t rows) {
  return FillMessage(
      "the file holds {} {}; a GenAlEx sheet holds the counts (row 1), the population names (row "
      "2), the locus names (row 3), then one row per sample",
      rows, rows == 1 ? "row" : "rows");
}

std::string SampleCountDiffers(int32_t samples, int64_t rows) {
  return FillMessage("row 1 gives N = {} samples, but the file holds {} sample rows", samples,
                     rows);
}

std::string PopulationSizeDiffers(std::string_view quoted, int32_t size, int32_t rows) {
  return FillMessage("row 1 gives population {} {} samples, but {} sample rows name it", quoted,
                     size, rows);
}

std::string PopulationsFromColumnTwo(int64_t populations) {
  return FillMessage(
      "row 1 gives no population sizes, so the populations are the names of column 2: {} {}, "
      "numbered in order of first appearance",
      populations, populations == 1 ? "name" : "names");
}

std::string PopulationNameEmpty() {
  return "no population name; row 1 gives no population sizes, so column 2 names each sample's "
         "population";
}

std::string PopulationCountDiffers(int32_t populations, int64_t found, std::string_view list) {
  return FillMessage("row 1 gives {} populations, but column 2 holds {} population {} ({})",
                     populations, found, found == 1 ? "name" : "names", list);
}

std::string GenalexRegrouped(int64_t row, std::string_view list) {
  return FillMessage(
      "the samples of a population are not all listed together (row {} is the first away from "
      "its population); they are grouped by population, populations in order of first "
      "appearance in column 2 ({})",
      row, list);
}

std::string NotDiploid(int64_t columns, std::string_view found) {
  std::string ploidy;
  switch (columns) {
    case 1:
      ploidy = "haploid";
      break;
    case 3:
      ploidy = "triploid";
      break;
    case 4:
      ploidy = "tetraploid";
      break;
    case 6:
      ploidy = "hexaploid";
      break;
    case 8:
      ploidy = "octoploid";
      break;
    default:
      ploidy = std::to_string(columns) + "-ploid";
  }
  return FillMessage(
      "the data look {}: {}, {} per locus; the program analyses diploid data, two allele "
      "columns per locus",
      ploidy, found,
      columns == 1 ? "one allele column" : FillMessage("{} allele columns", columns));
}

std::string OutputIsInput() { return "is the data file being read; choose another name"; }

std::string WrittenInNativeLayout() { return "written in the native layout"; }

std::string WrittenToStandardOutput() {
  return "the data are written to the standard output in the native layout";
}

std::string DecimalSeparatorReplaced(std::string_view regional, char used) {
  return FillMessage(
      "the regional decimal separator \"{}\" is not a single character; numbers are written "
      "with \"{}\" instead",
      regional, std::string_view(&used, 1));
}

std::string NameEmpty() { return "the name is empty"; }

std::string NoSuchFolder() { return "no such folder"; }

std::string NotAFolder() { return "not a folder"; }

std::string FolderInUse() {
  return "another Run is working in this folder; wait until it ends, or choose another folder";
}

std::string LockFileNotRegular(std::string_view lockName) {
  return FillMessage(
      "\"{}\", the file that keeps two Runs from working in one folder at once, is not a "
      "regular file",
      lockName);
}

std::string CannotCreateLockFile(std::string_view lockName, std::string_view reason) {
  return FillMessage("cannot make its lock file \"{}\": {}", lockName, reason);
}

std::string NameOfAFolder() { return "the name is that of a folder, not of a file"; }

std::string FolderMissing(std::string_view folder) {
  return FillMessage("the folder \"{}\" does not exist", EscapeControls(folder));
}

std::string FolderNotAFolder(std::string_view folder) {
  return FillMessage("\"{}\" is not a folder", EscapeControls(folder));
}

std::string OutputsCoincide(std::string_view firstRole, std::string_view firstName,
                            std::string_view secondRole, std::string_view secondName) {
  return FillMessage(
      "the {} \"{}\" and the {} \"{}\" would be one and the same file; choose another result "
      "name",
      firstRole, EscapeControls(firstName), secondRole, EscapeControls(secondName));
}

std::string DataFileIsOutput(std::string_view role, std::string_view name) {
  return FillMessage(
      "it is also the {} \"{}\", which the Run writes; rename the data file, or choose another "
      "result name or working folder",
      role, EscapeControls(name));
}

std::string CannotOpenForReading() { return "cannot open it for reading"; }

std::string CannotRead() { return "cannot read it"; }

std::string CannotCheckName() { return "cannot look up its name"; }

std::string CannotCreate() { return "cannot create it"; }

std::string CannotWrite() { return "cannot write it"; }

std::string CannotPutInPlace() { return "cannot put it in place"; }

std::string NotARegularFile(std::string_view kind) {
  return FillMessage("it is {}, not a regular file", kind);
}

std::string NameTakenBy(std::string_view kind) {
  return FillMessage("its name is taken by {}", kind);
}

std::string WriteDataNameTakenBy(std::string_view kind) {
  return FillMessage(
      "its name is taken by {}; --write-data replaces only a regular file (\"-\" writes to the "
      "standard output)",
      kind);
}

std::string FileKind(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFDIR:
      return "a folder";
    case S_IFIFO:
      return "a named pipe";
    case S_IFCHR:
    case S_IFBLK:
      return "a device";
    case S_IFSOCK:
      return "a socket";
    case S_IFLNK:
      return "a symbolic link";
    default:
      return "a special file";
  }
}

std::string ByteSize(uint64_t bytes) {
  static constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return FillMessage("{} bytes", bytes);
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024.0 && unit < 6) {
    value /= 1024.0;
    ++unit;
  }
  // One decimal, rounded, written without the locale.
  const auto tenths = static_cast<uint64_t>(value * 10.0 + 0.5);
  return FillMessage("{}.{} {}", tenths / 10, tenths % 10, kUnits[unit]);
}

std::string MemoryNeeded(std::string_view need, std::string_view data, std::string_view values,
                         int32_t iterations, int64_t tests, std::string_view inUse,
                         std::string_view available) {
  return FillMessage(
      "the Run would need about {} of memory: {} for the data and {} for the values of N = {} "
      "iterations of {} {}; it uses {} and about {} more is available",
      need, data, values, iterations, tests, tests == 1 ? "test" : "tests", inUse, available);
}

std::string DiskNeeded(std::string_view what, std::string_view need, std::string_view free) {
  return FillMessage(
      "not enough free disk space: {} would take about {}, and {} is free there; free some space, "
      "or choose fewer iterations or another folder",
      what, need, free);
}

std::string LargeRun(std::string_view memory, std::string_view available, std::string_view disk,
                     std::string_view free) {
  std::string text = FillMessage("this Run needs about {} of memory", memory);
  if (!available.empty()) text += FillMessage(" ({} available)", available);
  if (!disk.empty()) {
    text += FillMessage(" and about {} of disk for its p-value files and Fis values", disk);
    if (!free.empty()) text += FillMessage(" ({} free)", free);
  }
  return text;
}

std::string NoLocusInTwoPopulations() {
  return "no locus is typed in at least two populations: the Weir & Cockerham estimator compares "
         "populations, so Fis cannot be estimated from these data";
}

std::string NoLocusInTwoIndividuals() {
  return "no locus is typed in at least two individuals: Fis cannot be estimated from these "
         "data";
}

std::string OutOfMemoryFor(std::string_view what) {
  return FillMessage("{} ({})", kOutOfMemoryMessage, what);
}

}  // namespace messages

}  // namespace genosieve
