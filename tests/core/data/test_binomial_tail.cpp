#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "data/binomial_tail.h"

#ifdef GENOSIEVE_HAVE_MPFR
#include <mpfr.h>
#endif

namespace genosieve {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

double Tail(int64_t trials, int64_t atLeast, double p) {
  return std::exp(LogBinomialUpperTail(trials, atLeast, std::log(p)));
}

TEST(BinomialTail, BoundsAndCertainties) {
  EXPECT_EQ(LogBinomialUpperTail(10, 0, std::log(0.3)), 0.0);
  EXPECT_EQ(LogBinomialUpperTail(10, -4, std::log(0.3)), 0.0);
  EXPECT_EQ(LogBinomialUpperTail(10, 11, std::log(0.3)), -kInfinity);
  EXPECT_EQ(LogBinomialUpperTail(0, 1, std::log(0.3)), -kInfinity);
  // p = 0 never gives a success, p = 1 always n of them.
  EXPECT_EQ(LogBinomialUpperTail(10, 1, -kInfinity), -kInfinity);
  EXPECT_EQ(LogBinomialUpperTail(10, 10, 0.0), 0.0);
  // One trial: P(X >= 1) = p.
  EXPECT_NEAR(Tail(1, 1, 0.37), 0.37, 1e-16);
}

// Within a few roundings of a double.
void ExpectClose(double got, double expected) {
  EXPECT_NEAR(got, expected, 8 * kEpsilon * expected);
}

// Tails worked out by hand as exact binary fractions.
TEST(BinomialTail, SmallTailsWorkedOutByHand) {
  // n = 2 copies, N ramets: psex = 1 - (1 - p)^N; 1 - 0.75^4 = 0.68359375.
  ExpectClose(Tail(4, 1, 0.25), 0.68359375);
  // 1 - 0.75^6 - 6 x 0.25 x 0.75^5 = 0.466064453125.
  ExpectClose(Tail(6, 2, 0.25), 0.466064453125);
  // (C(5,3) + C(5,4) + C(5,5)) / 32 = 16 / 32.
  ExpectClose(Tail(5, 3, 0.5), 0.5);
  // (C(10,9) + 1) / 1024.
  ExpectClose(Tail(10, 9, 0.5), 11.0 / 1024.0);
  // Every term: 3 x 0.9^2 x 0.1 + 0.9^3 (p above one half).
  ExpectClose(Tail(3, 2, 0.9), 0.972);
}

TEST(BinomialTail, TwoCopiesAreOneMinusTheChanceOfNone) {
  for (const int64_t ramets : {2, 7, 1000, 1000000}) {
    for (const double p : {0.4, 1e-3, 1e-9, 1e-17, 1e-100, 1e-300}) {
      // 1 - (1 - p)^N without the cancellation of the difference.
      const double expected = -std::expm1(static_cast<double>(ramets) * std::log1p(-p));
      const double got = Tail(ramets, 1, p);
      // p reaches the tail through ln p, rounded to a double: a relative error of
      // |ln p| epsilon at most.
      EXPECT_NEAR(got / expected, 1.0, 8 * kEpsilon * (1.0 - std::log(p)))
          << ramets << " ramets, p = " << p;
    }
  }
}

// Far below the range of a double, the tail is its first term, C(N, k) p^k, whose
// logarithm stays exact: ln C(10^6, 3) + 3 ln p, ln C(10^6, 3) from the product.
TEST(BinomialTail, ProbabilitiesFarBelowTheRangeOfADouble) {
  const double logChoose = std::log(1e6 * 999999.0 * 999998.0 / 6.0);
  for (const double logP : {-700.0, -5000.0, -1e6}) {
    const double got = LogBinomialUpperTail(1000000, 3, logP);
    EXPECT_NEAR(got, logChoose + 3.0 * logP, 1e-15 * std::fabs(got)) << logP;
    EXPECT_TRUE(std::isfinite(got));
  }
  // 10^-300 per event, 10^6 events and 3 copies: about 1.7 x 10^-589, no underflow.
  const double logTail = LogBinomialUpperTail(1000000, 2, std::log(1e-300));
  EXPECT_NEAR(logTail / std::log(10.0), std::log10(999999.0 * 1e6 / 2.0) - 600.0, 1e-12);
}

#ifdef GENOSIEVE_HAVE_MPFR

// The same tail with 320-bit numbers and another method: each term from ln Γ, summed
// directly over every term that matters, upwards from k (or one minus the terms below k
// when k is below the mean, where 320 bits leave no cancellation to fear).
class MpfrTail {
 public:
  MpfrTail() { mpfr_inits2(kBits, term_, sum_, work_, p_, q_, static_cast<mpfr_ptr>(0)); }
  ~MpfrTail() { mpfr_clears(term_, sum_, work_, p_, q_, static_cast<mpfr_ptr>(0)); }
  MpfrTail(const MpfrTail&) = delete;
  MpfrTail& operator=(const MpfrTail&) = delete;

  double LogTail(int64_t n, int64_t k, double logP) {
    mpfr_set_d(p_, logP, MPFR_RNDN);
    mpfr_exp(p_, p_, MPFR_RNDN);
    mpfr_ui_sub(q_, 1, p_, MPFR_RNDN);
    const double mean = static_cast<double>(n) * std::exp(logP);
    const bool upper = static_cast<double>(k) > mean;
    const int64_t start = upper ? k : k - 1;
    LogTermInto(term_, n, start);
    mpfr_exp(term_, term_, MPFR_RNDN);
    mpfr_set(sum_, term_, MPFR_RNDN);
    for (int64_t j = start; upper ? j < n : j > 0; j += upper ? 1 : -1) {
      // term(j + 1) = term(j) (n - j) / (j + 1) p / q; term(j - 1) = term(j) j / (n - j + 1) q / p.
      if (upper) {
        mpfr_mul_ui(term_, term_, static_cast<unsigned long>(n - j), MPFR_RNDN);
        mpfr_div_ui(term_, term_, static_cast<unsigned long>(j + 1), MPFR_RNDN);
        mpfr_mul(term_, term_, p_, MPFR_RNDN);
        mpfr_div(term_, term_, q_, MPFR_RNDN);
      } else {
        mpfr_mul_ui(term_, term_, static_cast<unsigned long>(j), MPFR_RNDN);
        mpfr_div_ui(term_, term_, static_cast<unsigned long>(n - j + 1), MPFR_RNDN);
        mpfr_mul(term_, term_, q_, MPFR_RNDN);
        mpfr_div(term_, term_, p_, MPFR_RNDN);
      }
      mpfr_add(sum_, sum_, term_, MPFR_RNDN);
      // Past the mode the terms fall at least geometrically: stop far below a double.
      mpfr_div(work_, term_, sum_, MPFR_RNDN);
      const bool pastMode =
          upper ? static_cast<double>(j) > mean + 1.0 : static_cast<double>(j) < mean - 1.0;
      if (pastMode && mpfr_cmp_d(work_, 1e-40) < 0) break;
    }
    if (!upper) mpfr_ui_sub(sum_, 1, sum_, MPFR_RNDN);
    mpfr_log(sum_, sum_, MPFR_RNDN);
    return mpfr_get_d(sum_, MPFR_RNDN);
  }

 private:
  static constexpr mpfr_prec_t kBits = 320;

  // ln C(n, j) + j ln p + (n - j) ln q.
  void LogTermInto(mpfr_t out, int64_t n, int64_t j) {
    auto lnGamma = [this](mpfr_t into, int64_t x) {
      mpfr_set_ui(work_, static_cast<unsigned long>(x), MPFR_RNDN);
      mpfr_lngamma(into, work_, MPFR_RNDN);
    };
    mpfr_t part;
    mpfr_init2(part, kBits);
    lnGamma(out, n + 1);
    lnGamma(part, j + 1);
    mpfr_sub(out, out, part, MPFR_RNDN);
    lnGamma(part, n - j + 1);
    mpfr_sub(out, out, part, MPFR_RNDN);
    mpfr_log(part, p_, MPFR_RNDN);
    mpfr_mul_ui(part, part, static_cast<unsigned long>(j), MPFR_RNDN);
    mpfr_add(out, out, part, MPFR_RNDN);
    mpfr_log(part, q_, MPFR_RNDN);
    mpfr_mul_ui(part, part, static_cast<unsigned long>(n - j), MPFR_RNDN);
    mpfr_add(out, out, part, MPFR_RNDN);
    mpfr_clear(part);
  }

  mpfr_t term_, sum_, work_, p_, q_;
};

struct TailCase {
  int64_t n;
  int64_t k;
  double logP;
};

// ln psex is compared: a difference d in it is a relative difference d in psex. The
// tolerance is a few roundings of ln psex, and a few roundings of p, which the tail works
// with as a double: d ln P(X >= k) / d ln p is at most about (|k - Np| + sd) / q (Np the
// mean, sd = sqrt(Npq) the standard deviation, q = 1 - p).
void ExpectCloseToReference(MpfrTail& reference, const TailCase& c) {
  const double expected = reference.LogTail(c.n, c.k, c.logP);
  const double got = LogBinomialUpperTail(c.n, c.k, c.logP);
  const double p = std::exp(c.logP);
  const double mean = static_cast<double>(c.n) * p;
  const double shift = std::fabs(static_cast<double>(c.k) - mean) + std::sqrt(mean * (1.0 - p));
  const double tolerance =
      16 * kEpsilon * (1.0 + std::fabs(expected)) + 4 * kEpsilon * (1.0 + shift) / (1.0 - p);
  EXPECT_NEAR(got, expected, tolerance)
      << "N = " << c.n << ", n - 1 = " << c.k << ", ln p = " << c.logP;
}

TEST(BinomialTail, AgreesWithAHighPrecisionReferenceAtExtremeValues) {
  MpfrTail reference;
  std::vector<TailCase> cases;
  // From one to a million ramets, genotype probabilities from 10^-300 to near 1, and
  // clone sizes from 2 to near N, around the mean N p and far from it.
  for (const int64_t n : {1, 2, 3, 10, 57, 1000, 123457, 1000000}) {
    for (const double p : {1e-300, 1e-200, 1e-30, 1e-9, 1e-6, 3e-4, 0.01, 0.2, 0.5, 0.73, 0.999}) {
      const double mean = static_cast<double>(n) * p;
      std::vector<int64_t> ks = {1, 2, 3, 5, 20, n / 2, n - 1, n};
      for (const double offset : {-30.0, -3.0, -1.0, 0.0, 1.0, 2.0, 4.0, 40.0}) {
        ks.push_back(static_cast<int64_t>(std::floor(mean + offset * std::sqrt(mean + 1.0))));
      }
      for (const int64_t k : ks) {
        if (k >= 1 && k <= n) cases.push_back({n, k, std::log(p)});
      }
    }
  }
  // ln p between the bounds of the two methods, and p too small for a double.
  for (const double logP : {-649.5, -650.5, -744.0, -800.0}) {
    for (const int64_t k : {1, 2, 7}) cases.push_back({1000000, k, logP});
  }
  for (const TailCase& c : cases) ExpectCloseToReference(reference, c);
  EXPECT_GT(cases.size(), 600u);
}

#else

TEST(BinomialTail, AgreesWithAHighPrecisionReferenceAtExtremeValues) {
  GTEST_SKIP() << "built without MPFR (libmpfr-dev)";
}

#endif

}  // namespace
}  // namespace genosieve
