#include "data/data_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "errors.h"

namespace genosieve {

namespace {

// Stands for the end of the file, which keeps reading as itself.
constexpr int kEnd = -1;

// Number texts longer than this cannot be read as integers; only their start is kept,
// so that a binary file picked by mistake gives a short message.
constexpr size_t kKeptTextLength = 64;

// Buffered sequential reading of one opened file; the descriptor is closed however
// the reading ends.
struct InputFile {
  int fd = -1;
  char buffer[1 << 16];
  size_t position = 0;
  size_t length = 0;
  bool ended = false;

  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() {
    if (fd >= 0) ::close(fd);
  }
};

void Open(InputFile& file, const std::string& path) {
  // An empty path names no file at all.
  if (path.empty()) ThrowIoError(kIoFileNotFound);
  // Non-blocking, so that opening a named pipe does not wait for a writer; reading a
  // regular file ignores the flag.
  do {
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) ThrowIoErrorFromErrno(errno);
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) ThrowIoErrorFromErrno(errno);
  // A folder opens on this system but cannot be read as a file. Nor can a device or a
  // pipe: the file is read twice, and /dev/zero or a pipe would never end the first pass.
  if (S_ISDIR(status.st_mode)) ThrowIoErrorFromErrno(EISDIR);
  if (!S_ISREG(status.st_mode)) ThrowIoError(kIoAccessDenied);
}

bool Refill(InputFile& file) {
  if (file.ended) return false;
  ssize_t count;
  do {
    count = ::read(file.fd, file.buffer, sizeof file.buffer);
  } while (count < 0 && errno == EINTR);
  if (count < 0) ThrowIoErrorFromErrno(errno);
  file.position = 0;
  file.length = static_cast<size_t>(count);
  if (count == 0) file.ended = true;
  return count > 0;
}

int Get(InputFile& file) {
  if (file.position == file.length && !Refill(file)) return kEnd;
  return static_cast<unsigned char>(file.buffer[file.position++]);
}

int Peek(InputFile& file) {
  if (file.position == file.length && !Refill(file)) return kEnd;
  return static_cast<unsigned char>(file.buffer[file.position]);
}

bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

// Having read c, a line end character: a CR takes the LF that follows it with it.
void FinishLineEnd(InputFile& file, int c) {
  if (c == '\r' && Peek(file) == '\n') Get(file);
}

// Lines end at CR LF, at a CR alone or at an LF alone; a last line without a line end
// counts, and an empty file has one (empty) line.
struct FirstPass {
  int64_t lines = 0;
  int64_t bytes = 0;
};

FirstPass CountLines(const std::string& path) {
  InputFile file;
  Open(file, path);
  FirstPass pass;
  int64_t lineEnds = 0;
  bool afterCr = false;
  bool endsWithLineEnd = false;
  while (Refill(file)) {
    pass.bytes += static_cast<int64_t>(file.length);
    for (size_t i = 0; i < file.length; ++i) {
      const char c = file.buffer[i];
      if (c == '\r') {
        ++lineEnds;
      } else if (c == '\n' && !afterCr) {
        ++lineEnds;
      }
      afterCr = c == '\r';
      endsWithLineEnd = c == '\r' || c == '\n';
    }
  }
  pass.lines = lineEnds + (endsWithLineEnd ? 0 : 1);
  return pass;
}

// Every message about the data names the file and the line.
[[noreturn]] void Fail(const std::string& path, int64_t line, const std::string& what) {
  throw RunError("Data file \"" + path + "\", line " + std::to_string(line) + ": " + what);
}

// The same for one field of the line: "..., line 12, locus 3, first allele: ...".
[[noreturn]] void FailAt(const std::string& path, int64_t line, const std::string& field,
                         const std::string& what) {
  throw RunError("Data file \"" + path + "\", line " + std::to_string(line) + ", " + field + ": " +
                 what);
}

// The text of a number as the message shows it: control characters other than TAB, bytes
// outside ASCII (a binary file picked by mistake) and the backslash itself are written as
// \xHH, so that the message stays readable, unambiguous, and cannot drive the terminal
// that shows it.
std::string Shown(const std::string& text, bool cut) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size() + 3);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 32 && c != '\t') || c >= 127 || c == '\\') {
      shown += "\\x";
      shown.push_back(kHex[c >> 4]);
      shown.push_back(kHex[c & 15]);
    } else {
      shown.push_back(ch);
    }
  }
  if (cut) shown += "...";
  return shown;
}

int32_t Convert(const std::string& path, int64_t line, const std::string& field,
                const std::string& text, bool cut) {
  const std::optional<int32_t> value = cut ? std::nullopt : ParseInteger(text);
  if (!value) FailAt(path, line, field, ConversionErrorMessage(Shown(text, cut)));
  return *value;
}

void Append(std::string& text, bool& cut, int c) {
  if (text.size() < kKeptTextLength) {
    text.push_back(static_cast<char>(c));
  } else {
    cut = true;
  }
}

std::string LocusField(int32_t locus) { return "locus " + std::to_string(locus); }

struct Reading {
  InputFile file;
  const std::string& path;
  int64_t line = 1;
  int32_t codeWidth = 0;
  int32_t highestAllele = 0;
};

[[noreturn]] void FailEndInsideLine(Reading& r, const std::string& where) {
  Fail(r.path, r.line, "the file ends inside an individual line (" + where + ")");
}

// One allele of codeWidth characters, the first of which is already read.
int32_t ReadAllele(Reading& r, int c, int32_t locus, const char* which) {
  const std::string field = LocusField(locus) + ", " + which + " allele";
  std::string text;
  bool cut = false;
  for (int32_t i = 0; i < r.codeWidth; ++i) {
    if (i > 0) c = Get(r.file);
    if (c == kEnd) FailEndInsideLine(r, field);
    if (IsLineEnd(c)) {
      FailAt(r.path, r.line, field,
             "the line ends inside the genotype (each genotype has 2 x D = " +
                 std::to_string(2 * static_cast<int64_t>(r.codeWidth)) + " characters)");
    }
    Append(text, cut, c);
  }
  const int32_t allele = Convert(r.path, r.line, field, text, cut);
  if (allele < 0) {
    FailAt(r.path, r.line, field, "allele " + std::to_string(allele) + " is below 0");
  }
  if (allele > 999) {
    FailAt(r.path, r.line, field,
           "allele " + std::to_string(allele) +
               " is above 999 (alleles are written with three digits)");
  }
  if (allele > r.highestAllele) {
    FailAt(r.path, r.line, field,
           "allele " + std::to_string(allele) + " is above the highest allele number A = " +
               std::to_string(r.highestAllele) + " of the header");
  }
  return allele;
}

// The character that ends a genotype must be a blank or a TAB: anything else means the
// genotype is longer than 2 x D characters and the rest of the line would be misread.
void CheckSeparator(Reading& r, int separator, int32_t locus) {
  if (separator == ' ' || separator == '\t') return;
  const std::string shown = Shown(std::string(1, static_cast<char>(separator)), false);
  FailAt(r.path, r.line, LocusField(locus),
         "the genotype is followed by '" + shown +
             "' instead of a TAB or a blank (each genotype has 2 x D = " +
             std::to_string(2 * static_cast<int64_t>(r.codeWidth)) + " characters)");
}

void ReadHeader(Reading& r, DataFile& data) {
  static constexpr const char* kNames[4] = {"P", "L", "A", "D"};
  int32_t values[4] = {};
  int terminator = kEnd;
  for (int i = 0; i < 4; ++i) {
    const std::string field = std::string("header number ") + kNames[i];
    int c = Get(r.file);
    while (c == ' ') c = Get(r.file);
    if (c == kEnd) {
      Fail(r.path, 1, "the file ends before " + field + " (the header holds P L A D)");
    }
    if (IsLineEnd(c)) {
      Fail(r.path, 1,
           "the header line ends before " + field +
               " (it holds the four numbers P L A D, separated by blanks)");
    }
    // The first character belongs to the number even when it is a TAB.
    std::string text;
    bool cut = false;
    Append(text, cut, c);
    for (c = Get(r.file); c != ' ' && c != '\t' && !IsLineEnd(c) && c != kEnd; c = Get(r.file)) {
      Append(text, cut, c);
    }
    terminator = c;
    values[i] = Convert(r.path, 1, field, text, cut);
  }
  // Move to the second line, skipping what follows the fourth number.
  if (terminator == ' ' || terminator == '\t') {
    int c = Get(r.file);
    while (!IsLineEnd(c) && c != kEnd) c = Get(r.file);
    FinishLineEnd(r.file, c);
  } else {
    FinishLineEnd(r.file, terminator);
  }
  r.line = 2;

  data.header = {values[0], values[1], values[2], values[3]};
  const HeaderNumbers& h = data.header;
  if (h.populations < 1) {
    Fail(r.path, 1,
         "the number of populations P is " + std::to_string(h.populations) +
             "; it must be at least 1");
  }
  if (h.loci < 1) {
    Fail(r.path, 1,
         "the number of loci L is " + std::to_string(h.loci) + "; it must be at least 1");
  }
  if (h.highestAllele < 1 || h.highestAllele > 999) {
    Fail(r.path, 1,
         "the highest allele number A is " + std::to_string(h.highestAllele) +
             "; it must be between 1 and 999 (alleles are written with three digits)");
  }
  if (h.codeWidth < 1) {
    Fail(r.path, 1,
         "the allele code width D is " + std::to_string(h.codeWidth) + "; it must be at least 1");
  }
  r.codeWidth = h.codeWidth;
  r.highestAllele = h.highestAllele;
}

void ReadLocusNames(Reading& r, DataFile& data) {
  // The line count bounds L here: every locus has a line of its own.
  data.locusNames.reserve(static_cast<size_t>(data.header.loci));
  for (int32_t k = 0; k < data.header.loci; ++k) {
    std::string name;
    int c = Get(r.file);
    while (!IsLineEnd(c) && c != kEnd) {
      name.push_back(static_cast<char>(c));
      c = Get(r.file);
    }
    FinishLineEnd(r.file, c);
    data.locusNames.push_back(std::move(name));
    ++r.line;
  }
}

void ReadIndividual(Reading& r, GenotypeTable& table) {
  const int32_t loci = table.loci;
  // Population number: from the first non-blank character up to the first TAB.
  int c = Get(r.file);
  while (c == ' ') c = Get(r.file);
  if (c == kEnd) FailEndInsideLine(r, "population number");
  if (IsLineEnd(c)) {
    FinishLineEnd(r.file, c);
    if (Peek(r.file) == kEnd) {
      FailEndInsideLine(r, "the last line is empty; an empty line counts as an individual line");
    }
    Fail(r.path, r.line, "the line is empty; every line after the locus names is an individual");
  }
  std::string text;
  bool cut = false;
  Append(text, cut, c);
  for (c = Get(r.file); c != '\t' && !IsLineEnd(c) && c != kEnd; c = Get(r.file)) {
    Append(text, cut, c);
  }
  if (c == kEnd) FailEndInsideLine(r, "no TAB after the population number");
  if (IsLineEnd(c)) {
    FailAt(r.path, r.line, "population number", "the line ends before the TAB that follows it");
  }
  table.population.push_back(Convert(r.path, r.line, "population number", text, cut));

  c = Get(r.file);
  while (c == '\t') c = Get(r.file);
  for (int32_t k = 1; k <= loci; ++k) {
    // c is the first character of locus k's genotype.
    if (c == kEnd || IsLineEnd(c)) {
      const std::string found =
          "the line holds " + std::to_string(k - 1) + " genotypes, L = " + std::to_string(loci);
      if (c == kEnd) FailEndInsideLine(r, found);
      Fail(r.path, r.line, found);
    }
    AllelePair pair;
    pair.first = ReadAllele(r, c, k, "first");
    pair.second = ReadAllele(r, Get(r.file), k, "second");
    if ((pair.first == 0) != (pair.second == 0)) {
      FailAt(r.path, r.line, LocusField(k),
             "the genotype has exactly one allele 0; only a genotype with both alleles 0 is "
             "missing");
    }
    table.cells.push_back(pair);

    const int separator = Get(r.file);
    if (k < loci) {
      if (separator == kEnd || IsLineEnd(separator)) {
        c = separator;
        continue;  // reported above as a short line
      }
      CheckSeparator(r, separator, k);
      c = Get(r.file);
      while (c == '\t') c = Get(r.file);
      continue;
    }
    // After the last genotype: its separator may already be the line end (LF alone or
    // CR) or the end of the file; else TABs or blanks may precede the line end.
    if (separator == kEnd) return;
    if (IsLineEnd(separator)) {
      FinishLineEnd(r.file, separator);
      return;
    }
    CheckSeparator(r, separator, k);
    c = Get(r.file);
    while (c == '\t' || c == ' ') c = Get(r.file);
    if (c == kEnd) return;
    if (!IsLineEnd(c)) {
      Fail(r.path, r.line,
           "text after the last genotype: the line holds more than L = " + std::to_string(loci) +
               " genotypes");
    }
    FinishLineEnd(r.file, c);
  }
}

}  // namespace

DataFile ReadDataFile(const std::string& path) {
  DataFile data;
  data.path = path;
  const FirstPass pass = CountLines(path);
  if (pass.lines > std::numeric_limits<int32_t>::max()) {
    Fail(path, pass.lines, "the file has more than 2147483647 lines");
  }
  data.lineCount = static_cast<int32_t>(pass.lines);

  Reading r{{}, path};
  Open(r.file, path);
  ReadHeader(r, data);

  const int64_t loci = data.header.loci;
  const int64_t individuals = pass.lines - loci - 1;
  if (individuals < 2) {
    Fail(path, pass.lines,
         "the file has " + std::to_string(pass.lines) + " lines; with L = " + std::to_string(loci) +
             " it needs the header, " + std::to_string(loci) +
             (loci == 1 ? " locus-name line" : " locus-name lines") +
             " and at least two individual lines (it holds " +
             std::to_string(std::max<int64_t>(individuals, 0)) + ")");
  }
  ReadLocusNames(r, data);

  GenotypeTable& table = data.table;
  table.loci = data.header.loci;
  table.population.reserve(static_cast<size_t>(individuals));
  // Each genotype takes at least 2 x D characters, so the file size bounds the cells
  // whatever the header claims.
  const int64_t heldCells = pass.bytes / (2 * static_cast<int64_t>(data.header.codeWidth)) + 1;
  table.cells.reserve(static_cast<size_t>(std::min(individuals * loci, heldCells)));
  for (int64_t row = 0; row < individuals; ++row) {
    ReadIndividual(r, table);
    ++r.line;
  }
  return data;
}

PopulationIndex BuildPopulationIndex(const DataFile& data) {
  const int32_t populations = data.header.populations;
  const std::vector<int32_t>& numbers = data.table.population;
  const int32_t rows = data.table.rows();
  if (populations < 1) {
    Fail(data.path, 1,
         "the number of populations P is " + std::to_string(populations) +
             "; it must be at least 1");
  }
  int64_t runs = rows > 0 ? 1 : 0;
  for (int32_t r = 1; r < rows; ++r) {
    if (numbers[static_cast<size_t>(r)] != numbers[static_cast<size_t>(r) - 1]) ++runs;
  }
  if (runs < populations) {
    const int64_t firstLine = static_cast<int64_t>(data.table.loci) + 2;
    Fail(data.path, 1,
         "the header gives P = " + std::to_string(populations) +
             " populations, but the individual lines (lines " + std::to_string(firstLine) + " to " +
             std::to_string(firstLine + rows - 1) + ") hold only " + std::to_string(runs) +
             (runs == 1 ? " run" : " runs") +
             " of population numbers; each population is one run of lines with the same "
             "population number");
  }
  PopulationIndex index(static_cast<size_t>(populations) + 1, 0);
  index[static_cast<size_t>(populations)] = rows;
  int32_t found = 1;
  for (int32_t r = 0; r + 1 < rows && found < populations; ++r) {
    if (numbers[static_cast<size_t>(r) + 1] != numbers[static_cast<size_t>(r)]) {
      index[static_cast<size_t>(found++)] = r + 1;
    }
  }
  return index;
}

}  // namespace genosieve
