#pragma once

// The upper tail of a binomial distribution in log space, for the probability that a
// repeated multilocus genotype arose more than once by sexual reproduction (psex): its
// probability per event may be far below the range of a double, and the number of events
// reach millions, so the tail is worked out from logarithms and never as a product of
// powers.

#include <cstdint>

namespace genosieve {

// ln P(X >= atLeast) for X ~ Binomial(trials, p), p given by its natural logarithm
// `logP` (-infinity for p = 0; 0 or above for p = 1). Exact up to the rounding of double
// arithmetic for every trials >= 0 and logP down to -infinity: the terms come from
// Loader's saddle-point form of the binomial probability (Stirling's error and the
// deviance), so that no large logarithms cancel; the tail is summed from its largest term
// outwards; a tail above one half is one minus the other tail, through log1p. Returns 0
// for atLeast <= 0 and -infinity for atLeast > trials.
double LogBinomialUpperTail(int64_t trials, int64_t atLeast, double logP);

}  // namespace genosieve
