#pragma once

#include <string>
#include <utility>
#include <vector>

#include "data/data_format.h"
#include "errors.h"

namespace genosieve {

// A data file that two readers read, giving different populations or genotypes: the
// automatic choice refuses to guess. The message names both readings and the --format
// value that picks each; a front end may instead ask which layout is meant and run again
// with that format.
struct AmbiguousLayout : RunError {
  struct Reading {
    DataFormat format = DataFormat::kAuto;
    // What the reading gives, on one line: "2 populations of 4 and 2 individuals, 3 loci".
    std::string description;
  };

  AmbiguousLayout(const std::string& message, std::vector<Reading> found)
      : RunError(message), readings(std::move(found)) {}

  // The readings in the order of the automatic choice's preference.
  std::vector<Reading> readings;
};

}  // namespace genosieve
