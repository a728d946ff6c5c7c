#include "engine/genotype_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include "errors.h"

namespace genosieve {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// Errno of a failed stdio call, never 0: some C libraries leave errno unset on a short
// write, and a failure must not be reported as "Erreur E/S 0".
int FailureErrno() { return errno != 0 ? errno : EIO; }

// Formats the lines into a fixed buffer that is flushed whenever it fills, so the file
// is written in one pass without holding it whole in memory.
class BufferedWriter {
 public:
  explicit BufferedWriter(std::FILE* file) : file_(file) {}

  void Put(char c) {
    if (used_ == sizeof buffer_) Flush();
    buffer_[used_++] = c;
  }
  void PutInt(int32_t value) {
    char digits[12];
    int count = 0;
    int64_t v = value;
    bool negative = v < 0;
    if (negative) v = -v;
    do {
      digits[count++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    Reserve(static_cast<std::size_t>(count) + 1);
    if (negative) buffer_[used_++] = '-';
    while (count > 0) buffer_[used_++] = digits[--count];
  }
  // Three digits with leading zeros; the caller has checked 0 <= allele <= 999.
  void PutAllele(int32_t allele) {
    Reserve(3);
    buffer_[used_++] = static_cast<char>('0' + allele / 100);
    buffer_[used_++] = static_cast<char>('0' + allele / 10 % 10);
    buffer_[used_++] = static_cast<char>('0' + allele % 10);
  }
  void PutLineEnd() {
    Reserve(2);
    buffer_[used_++] = '\r';
    buffer_[used_++] = '\n';
  }
  void Flush() {
    if (used_ != 0 && std::fwrite(buffer_, 1, used_, file_) != used_) {
      ThrowIoErrorFromErrno(FailureErrno());
    }
    used_ = 0;
  }

 private:
  void Reserve(std::size_t count) {
    if (sizeof buffer_ - used_ < count) Flush();
  }

  std::FILE* file_;
  std::size_t used_ = 0;
  char buffer_[1 << 16];
};

[[noreturn]] void ThrowBadAllele(const std::string& fileName, int32_t row, int32_t locus,
                                 int32_t allele) {
  throw RunError("Fichier " + fileName + ", ligne d'individu " + std::to_string(row + 1) +
                 ", locus " + std::to_string(locus + 1) + " : l'allèle " + std::to_string(allele) +
                 " ne s'écrit pas sur trois chiffres");
}

// ---- Loader -------------------------------------------------------------------------

constexpr char kEndOfInput = 26;  // ends a text file's input like its physical end

std::string ReadWholeFile(const std::string& fileName) {
  errno = 0;
  FilePointer file(std::fopen(fileName.c_str(), "rb"));
  if (!file) ThrowIoErrorFromErrno(FailureErrno());
  std::string content;
  char chunk[1 << 16];
  for (;;) {
    std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    content.append(chunk, got);
    if (got < sizeof chunk) {
      if (std::ferror(file.get())) ThrowIoErrorFromErrno(FailureErrno());
      break;
    }
  }
  if (std::fclose(file.release()) != 0) ThrowIoErrorFromErrno(FailureErrno());
  return content;
}

// Sequential reader with the loader's number rules.
class NumberReader {
 public:
  explicit NumberReader(std::string_view text) : text_(text) {
    // Character 26 ends the input wherever it stands.
    std::size_t stop = text_.find(kEndOfInput);
    if (stop != std::string_view::npos) text_ = text_.substr(0, stop);
  }

  bool AtEnd() const { return position_ >= text_.size(); }
  int64_t Line() const { return line_; }

  // Skips characters 0..32; at the end of the input the number reads as 0. Otherwise
  // converts the run of up to 32 characters above 32 (optional sign, decimal digits).
  int32_t Read() {
    while (position_ < text_.size() && static_cast<unsigned char>(text_[position_]) <= 32) {
      if (text_[position_] == '\n') ++line_;
      ++position_;
    }
    if (position_ >= text_.size()) return 0;
    std::size_t start = position_;
    std::size_t limit = std::min(text_.size(), start + 32);
    while (position_<limit&& static_cast<unsigned char>(text_[position_])> 32) ++position_;
    return Convert(text_.substr(start, position_ - start));
  }

  // Moves past the next line feed (or to the end of the input).
  void SkipLine() {
    std::size_t next = text_.find('\n', position_);
    if (next == std::string_view::npos) {
      position_ = text_.size();
    } else {
      position_ = next + 1;
      ++line_;
    }
  }

 private:
  static int32_t Convert(std::string_view run) {
    std::size_t i = 0;
    bool negative = false;
    if (run[0] == '+' || run[0] == '-') {
      negative = run[0] == '-';
      i = 1;
    }
    if (i == run.size()) ThrowIoError(kIoBadNumericInput);
    int64_t value = 0;
    for (; i < run.size(); ++i) {
      char c = run[i];
      if (c < '0' || c > '9') ThrowIoError(kIoBadNumericInput);
      value = value * 10 + (c - '0');
      if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
        ThrowIoError(kIoBadNumericInput);
      }
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max() ||
        value < std::numeric_limits<int32_t>::min()) {
      ThrowIoError(kIoBadNumericInput);
    }
    return static_cast<int32_t>(value);
  }

  std::string_view text_;
  std::size_t position_ = 0;
  int64_t line_ = 1;
};

void CheckShape(const GenotypeTable& lines) {
  if (lines.loci < 0 || lines.cells.size() != static_cast<std::size_t>(lines.rows()) *
                                                  static_cast<std::size_t>(lines.loci)) {
    throw RunError("Table de génotypes incorrecte : " + std::to_string(lines.cells.size()) +
                   " génotypes pour " + std::to_string(lines.rows()) + " lignes de " +
                   std::to_string(lines.loci) + " locus");
  }
}

std::string Where(const std::string& fileName, int64_t line) {
  return "Fichier " + fileName + ", ligne " + std::to_string(line) + " : ";
}

}  // namespace

std::string GenotypeCodeProblem(int32_t code, int32_t highestAllele) {
  if (IsValidGenotypeCode(code, highestAllele)) return {};
  if (code < 0) return "génotype " + std::to_string(code) + " négatif";
  int32_t first = code / 1000;
  int32_t second = code % 1000;
  if (first == 0 || second == 0) {
    return "génotype " + std::to_string(code) + " avec un seul allèle manquant";
  }
  if (first > highestAllele || second > highestAllele) {
    return "génotype " + std::to_string(code) + " : allèle au-delà du plus grand numéro " +
           std::to_string(highestAllele);
  }
  return {};
}

void WriteGenotypeFile(const std::string& fileName, const std::array<int32_t, 4>& headerValues,
                       int32_t labelCount, const GenotypeTable& lines) {
  CheckShape(lines);
  // Alleles that do not fit three digits would be read back as other genotypes.
  const int32_t loci = lines.loci;
  for (int32_t row = 0; row < lines.rows(); ++row) {
    for (int32_t k = 0; k < loci; ++k) {
      const AllelePair& pair = lines.at(row, k);
      if (pair.first < 0 || pair.first > 999) ThrowBadAllele(fileName, row, k, pair.first);
      if (pair.second < 0 || pair.second > 999) ThrowBadAllele(fileName, row, k, pair.second);
    }
  }

  errno = 0;
  FilePointer file(std::fopen(fileName.c_str(), "wb"));
  if (!file) ThrowIoErrorFromErrno(FailureErrno());
  BufferedWriter out(file.get());
  for (int32_t value : headerValues) {
    out.PutInt(value);
    out.Put(' ');
  }
  out.PutLineEnd();
  for (int32_t i = 0; i < labelCount; ++i) {
    out.Put('A');
    out.PutLineEnd();
  }
  for (int32_t row = 0; row < lines.rows(); ++row) {
    out.PutInt(lines.population[static_cast<std::size_t>(row)]);
    out.Put('\t');
    for (int32_t k = 0; k < loci; ++k) {
      const AllelePair& pair = lines.at(row, k);
      out.PutAllele(pair.first);
      out.PutAllele(pair.second);
      out.Put('\t');
    }
    out.PutLineEnd();
  }
  out.Flush();
  errno = 0;
  if (std::fflush(file.get()) != 0) ThrowIoErrorFromErrno(FailureErrno());
  if (std::fclose(file.release()) != 0) ThrowIoErrorFromErrno(FailureErrno());
}

EngineInput LoadGenotypeFile(const std::string& fileName) {
  return ParseGenotypeFile(ReadWholeFile(fileName), fileName);
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
    throw RunError(Where(fileName, 1) + "nombre de populations " +
                   std::to_string(input.populations) + " incorrect");
  }
  if (input.loci < 0 || input.loci > byteCount) {
    throw RunError(Where(fileName, 1) + "nombre de locus " + std::to_string(input.loci) +
                   " incorrect");
  }
  if (input.highestAllele < 0) {
    throw RunError(Where(fileName, 1) + "plus grand numéro d'allèle " +
                   std::to_string(input.highestAllele) + " incorrect");
  }
  for (int32_t k = 0; k < input.loci; ++k) {
    if (reader.AtEnd()) {
      throw RunError("Fichier " + fileName + " : " + std::to_string(input.loci) +
                     " lignes de locus annoncées, le fichier se termine avant");
    }
    reader.SkipLine();
  }

  const auto loci = static_cast<std::size_t>(input.loci);
  std::vector<int32_t> lineCount(static_cast<std::size_t>(input.populations), 0);
  std::vector<int32_t> rowCodes;  // individual by individual; transposed at the end
  rowCodes.reserve(content.size() / 7);
  int32_t individuals = 0;
  while (!reader.AtEnd()) {
    const int64_t line = reader.Line();
    int32_t population = reader.Read();
    if (population != 0) {
      if (population < 1 || population > input.populations) {
        throw RunError(Where(fileName, line) + "numéro de population " +
                       std::to_string(population) + " hors de 1.." +
                       std::to_string(input.populations));
      }
      ++lineCount[static_cast<std::size_t>(population - 1)];
      ++individuals;
      for (int32_t k = 0; k < input.loci; ++k) {
        int32_t code = reader.Read();
        if (!IsValidGenotypeCode(code, input.highestAllele)) {
          throw RunError(Where(fileName, line) + "locus " + std::to_string(k + 1) + ", " +
                         GenotypeCodeProblem(code, input.highestAllele));
        }
        rowCodes.push_back(code);
      }
    }
    reader.SkipLine();
  }

  input.individuals = individuals;
  input.populationEnd.resize(lineCount.size());
  int32_t end = 0;
  for (std::size_t p = 0; p < lineCount.size(); ++p) {
    end += lineCount[p];
    input.populationEnd[p] = end;
  }
  const auto n = static_cast<std::size_t>(individuals);
  input.codes.resize(loci * n);
  for (std::size_t i = 0; i < n; ++i) {
    const int32_t* row = rowCodes.data() + i * loci;
    for (std::size_t k = 0; k < loci; ++k) input.codes[k * n + i] = row[k];
  }
  return input;
}

EngineInput LoadGenotypeFile(bool observed) {
  return LoadGenotypeFile(std::string(observed ? kObservedFileName : kRandomizedFileName));
}

EngineInput MakeEngineInput(const GenotypeTable& lines, int32_t populations,
                            int32_t highestAllele) {
  CheckShape(lines);
  if (populations < 0 || highestAllele < 0) {
    throw RunError("Table de génotypes incorrecte pour le calcul de Fis");
  }
  EngineInput input;
  input.populations = populations;
  input.loci = lines.loci;
  input.highestAllele = highestAllele;
  input.individuals = lines.rows();
  std::vector<int32_t> lineCount(static_cast<std::size_t>(populations), 0);
  for (int32_t row = 0; row < lines.rows(); ++row) {
    int32_t population = lines.population[static_cast<std::size_t>(row)];
    if (population == 0) {
      throw RunError("Ligne d'individu " + std::to_string(row + 1) + " sans numéro de population");
    }
    if (population < 1 || population > populations) {
      throw RunError("Ligne d'individu " + std::to_string(row + 1) + " : numéro de population " +
                     std::to_string(population) + " hors de 1.." + std::to_string(populations));
    }
    ++lineCount[static_cast<std::size_t>(population - 1)];
  }
  input.populationEnd.resize(lineCount.size());
  int32_t end = 0;
  for (std::size_t p = 0; p < lineCount.size(); ++p) {
    end += lineCount[p];
    input.populationEnd[p] = end;
  }
  const auto n = static_cast<std::size_t>(input.individuals);
  const auto loci = static_cast<std::size_t>(input.loci);
  input.codes.resize(loci * n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < loci; ++k) {
      const AllelePair& pair = lines.cells[i * loci + k];
      if (pair.first < 0 || pair.first > 999 || pair.second < 0 || pair.second > 999) {
        throw RunError("Ligne d'individu " + std::to_string(i + 1) + ", locus " +
                       std::to_string(k + 1) + " : allèle hors de 0..999");
      }
      int32_t code = pair.first * 1000 + pair.second;
      if (!IsValidGenotypeCode(code, highestAllele)) {
        throw RunError("Ligne d'individu " + std::to_string(i + 1) + ", locus " +
                       std::to_string(k + 1) + " : " + GenotypeCodeProblem(code, highestAllele));
      }
      input.codes[k * n + i] = code;
    }
  }
  return input;
}

}  // namespace genosieve
