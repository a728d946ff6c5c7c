#include "engine/genotype_file.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "engine/genotype_code.h"
#include "errors.h"
#include "io/input_file.h"
#include "io/io_error.h"
#include "messages.h"

namespace genosieve {

namespace {

constexpr char kEndOfInput = 26;  // ends a text file's input like its physical end

// Sequential reader with the loader's number rules.
struct NumberReader {
  std::string_view text;
  std::size_t position = 0;
  int64_t line = 1;

  explicit NumberReader(std::string_view content) : text(content) {
    // Character 26 ends the input wherever it stands.
    const std::size_t stop = text.find(kEndOfInput);
    if (stop != std::string_view::npos) text = text.substr(0, stop);
  }

  bool AtEnd() const { return position >= text.size(); }

  // Skips characters 0..32; at the end of the input the number reads as 0. Otherwise
  // converts the run of up to 32 characters above 32 (optional sign, decimal digits).
  int32_t Read() {
    const char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t at = position;
    while (at < size && static_cast<unsigned char>(data[at]) <= 32) {
      if (data[at] == '\n') ++line;
      ++at;
    }
    if (at >= size) {
      position = at;
      return 0;
    }
    const std::size_t start = at;
    const std::size_t limit = std::min(size, start + 32);
    while (at<limit&& static_cast<unsigned char>(data[at])> 32) ++at;
    position = at;
    const std::optional<int32_t> value = ParseInteger(std::string_view(data + start, at - start));
    if (!value) ThrowIoError(kIoBadNumericInput);
    return *value;
  }

  // Moves past the next line feed (or to the end of the input).
  void SkipLine() {
    const std::size_t next = text.find('\n', position);
    if (next == std::string_view::npos) {
      position = text.size();
    } else {
      position = next + 1;
      ++line;
    }
  }
};

[[noreturn]] void Fail(const std::string& fileName, int64_t line, int32_t locus,
                       const std::string& what) {
  throw RunError(Located({"File", fileName, line, locus, {}}, what));
}

}  // namespace

EngineInput LoadGenotypeFile(const std::string& fileName) {
  return ParseGenotypeFile(ReadWholeFile(fileName), fileName);
}

EngineInput LoadGenotypeFile(const WorkingFolder& folder, EvaluationKind kind) {
  const std::string fileName =
      kind == EvaluationKind::kObserved ? kObservedFileName : kRandomizedFileName;
  const std::string content = ReadWholeFile(folder, fileName);
  try {
    return ParseGenotypeFile(content, fileName);
  } catch (RunError& error) {
    // "Saisie numérique incorrecte" names no file by itself.
    if (!error.file && error.what() == IoErrorMessage(kIoBadNumericInput)) {
      error.file = PathInFolder(folder, fileName);
      error.fileRole = messages::kFileRole;
      error.doing = messages::CannotRead();
    }
    throw;
  }
}

EngineInput ParseGenotypeFile(std::string_view content, const std::string& fileName) {
  NumberReader reader(content);
  // Every population or locus the file claims needs at least one byte of it; header
  // values beyond that are corrupt, and nothing is sized from them unchecked.
  const int64_t byteCount = static_cast<int64_t>(content.size());

  EngineInput input;
  input.populations = reader.Read();
  input.loci = reader.Read();
  input.highestAllele = reader.Read();
  reader.Read();  // allele code width, not used by the engine
  reader.SkipLine();
  if (input.populations < 0 || input.populations > byteCount) {
    Fail(fileName, 1, 0,
         messages::HeaderValueOutOfRange("number of populations", input.populations));
  }
  if (input.loci < 0 || input.loci > byteCount) {
    Fail(fileName, 1, 0, messages::HeaderValueOutOfRange("number of loci", input.loci));
  }
  if (input.highestAllele < 0) {
    Fail(fileName, 1, 0,
         messages::HeaderValueOutOfRange("highest allele number", input.highestAllele));
  }
  for (int32_t k = 0; k < input.loci; ++k) {
    if (reader.AtEnd()) {
      Fail(fileName, reader.line, 0, messages::LabelLinesMissing(input.loci));
    }
    reader.SkipLine();
  }

  const auto loci = static_cast<std::size_t>(input.loci);
  std::vector<int32_t> lineCount(static_cast<std::size_t>(input.populations), 0);
  std::vector<int32_t> rowCodes;  // individual by individual; transposed at the end
  rowCodes.reserve(content.size() / 7);
  int32_t individuals = 0;
  while (!reader.AtEnd()) {
    const int64_t line = reader.line;
    const int32_t population = reader.Read();
    if (population != 0) {
      if (population < 1 || population > input.populations) {
        Fail(fileName, line, 0,
             messages::PopulationNumberOutOfRange(population, input.populations));
      }
      ++lineCount[static_cast<std::size_t>(population - 1)];
      ++individuals;
      for (int32_t k = 0; k < input.loci; ++k) {
        const int32_t code = reader.Read();
        if (!IsValidGenotypeCode(code, input.highestAllele)) {
          Fail(fileName, line, k + 1, GenotypeCodeProblem(code, input.highestAllele));
        }
        rowCodes.push_back(code);
      }
    }
    reader.SkipLine();
  }

  input.individuals = individuals;
  input.populationEnd = PopulationEnds(lineCount);
  const auto n = static_cast<std::size_t>(individuals);
  input.codes.resize(loci * n);
  for (std::size_t i = 0; i < n; ++i) {
    const int32_t* row = rowCodes.data() + i * loci;
    for (std::size_t k = 0; k < loci; ++k) input.codes[k * n + i] = row[k];
  }
  return input;
}

}  // namespace genosieve
