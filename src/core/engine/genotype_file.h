#pragma once

#include <string>
#include <string_view>

#include "engine/engine_input.h"
#include "io/working_folder.h"

namespace genosieve {

// The intermediate genotype files of the observed and of the randomized evaluations.
inline constexpr const char* kObservedFileName = "tempmicrosat.txt";
inline constexpr const char* kRandomizedFileName = "temp.txt";

// Which evaluation of a test the engine runs, and so which file it reads.
enum class EvaluationKind { kObserved, kRandomized };

// Reads an intermediate genotype file back. A number that does not convert is I/O
// error 106; a population number outside 1..P, a genotype with one allele missing or
// an allele above A, or a header the file cannot hold is a RunError naming the line.
EngineInput LoadGenotypeFile(const std::string& fileName);

// The engine's loader: "tempmicrosat.txt" for the observed evaluation, else "temp.txt",
// in the Run's working folder.
EngineInput LoadGenotypeFile(const WorkingFolder& folder, EvaluationKind kind);

// The loader's reading of a file's bytes already in memory; fileName only names the
// file in error messages.
EngineInput ParseGenotypeFile(std::string_view content, const std::string& fileName);

}  // namespace genosieve
