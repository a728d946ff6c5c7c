#include "messages.h"

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

std::string Located(const FilePlace& place, std::string_view what) {
  std::string message(place.lead);
  message.append(" \"").append(place.path).append("\"");
  if (place.line != 0) message.append(", line ").append(std::to_string(place.line));
  if (place.locus != 0) message.append(", locus ").append(std::to_string(place.locus));
  if (!place.field.empty()) message.append(", ").append(place.field);
  message.append(": ").append(what);
  return message;
}

namespace messages {

std::string IterationsNegative(std::string_view iterationsText) {
  return FillMessage("The number of iterations must be 0 or more, not {}.", iterationsText);
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

std::string LineEndsBeforeTab() { return "the line ends before the TAB that follows it"; }

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

}  // namespace messages

}  // namespace genosieve
