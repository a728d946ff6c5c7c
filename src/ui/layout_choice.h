#pragma once

// A data file that two layouts read, with different populations or genotypes: the Run
// refuses to guess, and the window asks which reading is meant, then runs again with it.

#include <QString>
#include <QStringList>
#include <exception>
#include <vector>

#include "data/ambiguous_layout.h"

// The readings the error offers, in the automatic choice's order of preference; none for
// another error.
std::vector<genosieve::AmbiguousLayout::Reading> LayoutReadings(const std::exception_ptr& failure);

// The question and its choices, one per reading: "FSTAT: 2 populations of 4 and 2
// individuals, 3 loci".
QString LayoutQuestion(const QString& dataPath);
QStringList LayoutChoices(const std::vector<genosieve::AmbiguousLayout::Reading>& readings);
