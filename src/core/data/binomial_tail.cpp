#include "data/binomial_tail.h"

#include <cmath>
#include <limits>

namespace genosieve {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kLnTwoPi = 1.8378770664093454835606594728112;

// Below this ln p, every ratio of successive terms, (trials - k) p / (k + 1) / (1 - p),
// and (trials - k) ln(1 - p) are far below the rounding of the first term: the tail is
// that term, whose logarithm needs no power of p and no deviance.
constexpr double kNegligibleLogP = -650.0;

// The ratio recurrence between successive terms is restarted from the formula every so
// many terms, so that its rounding does not build up over a long tail.
constexpr int64_t kRestartTerms = 32;

// A tail sum stops once what it leaves out is below this share of it.
constexpr double kNegligibleShare = 1e-17;

// ln(n!) - [(n + 1/2) ln n - n + ln sqrt(2 pi)] for n = 1..15, to more digits than a
// double holds.
constexpr double kStirlingErrors[16] = {
    0.0,
    8.1061466795327258219670264e-02,
    4.1340695955409294093822081e-02,
    2.7677925684998339148789293e-02,
    2.0790672103765093111522772e-02,
    1.6644691189821192163194865e-02,
    1.3876128823070747998745727e-02,
    1.1896709945891770095055724e-02,
    1.0411265261972096497478567e-02,
    9.2554621827127329177286366e-03,
    8.3305634333628712564693187e-03,
    7.5736754879518407949720242e-03,
    6.9428401072095298656641527e-03,
    6.4089941880042070684396311e-03,
    5.9513701127588477356244160e-03,
    5.5547335519628013710386900e-03,
};

// Stirling's error for a whole n >= 1: the table, then its asymptotic series with as
// many terms as a double needs (Loader 2000).
double StirlingError(double n) {
  if (n <= 15.0) return kStirlingErrors[static_cast<int>(n)];
  constexpr double s0 = 1.0 / 12.0;
  constexpr double s1 = 1.0 / 360.0;
  constexpr double s2 = 1.0 / 1260.0;
  constexpr double s3 = 1.0 / 1680.0;
  constexpr double s4 = 1.0 / 1188.0;
  const double nn = n * n;
  if (n > 500.0) return (s0 - s1 / nn) / n;
  if (n > 80.0) return (s0 - (s1 - s2 / nn) / nn) / n;
  if (n > 35.0) return (s0 - (s1 - (s2 - s3 / nn) / nn) / nn) / n;
  return (s0 - (s1 - (s2 - (s3 - s4 / nn) / nn) / nn) / nn) / n;
}

// The deviance y ln(y / m) + m - y of y > 0 from m > 0, given d = y - m worked out
// without cancellation: a series in d / (y + m) when y is close to m, where the two
// terms would cancel (Loader 2000).
double Deviance(double y, double m, double d) {
  if (std::fabs(d) < 0.1 * (y + m)) {
    double v = d / (y + m);
    double sum = d * v;
    double term = 2.0 * y * v;
    v *= v;
    for (int j = 1; j < 1000; ++j) {
      term *= v;
      const double next = sum + term / static_cast<double>(2 * j + 1);
      if (next == sum) break;
      sum = next;
    }
    return sum;
  }
  return y * std::log1p(d / m) - d;
}

// -1/2 ln(2 pi k (n - k) / n), the rest of ln C(n, k) after Stirling's errors.
double HalfLogSpread(double n, double k) {
  return -0.5 * (kLnTwoPi + std::log(k) + std::log1p(-k / n));
}

// ln C(n, k), 0 <= k <= n, from Stirling's errors: every term is of the size of the
// result or below it.
double LogChoose(double n, double k) {
  if (k == 0.0 || k == n) return 0.0;
  if (k == 1.0 || k == n - 1.0) return std::log(n);
  const double rest = n - k;
  return k * std::log(n / k) - rest * std::log1p(-k / n) + StirlingError(n) - StirlingError(k) -
         StirlingError(rest) + HalfLogSpread(n, k);
}

// Binomial(n, p) with p in (0, 1) not negligible, and the values every term uses: p and
// q = 1 - p each to full precision, their logarithms, the means np and nq.
struct Binomial {
  double n = 0.0;
  double logP = 0.0;
  double logQ = 0.0;
  double np = 0.0;
  double nq = 0.0;
  double odds = 0.0;   // p / q
  bool pSmall = true;  // p <= 1/2: x - np is worked out from np, else from nq
};

Binomial MakeBinomial(double n, double logP) {
  Binomial b;
  b.n = n;
  b.logP = logP;
  const double p = std::exp(logP);
  const double q = -std::expm1(logP);
  b.pSmall = p <= 0.5;
  b.logQ = b.pSmall ? std::log1p(-p) : std::log(q);
  b.np = n * p;
  b.nq = n * q;
  b.odds = p / q;
  return b;
}

// ln P(X = x): the saddle-point form of Loader (2000), in which np and nq enter through
// deviances that are small where the terms are large.
double LogTerm(const Binomial& b, double x) {
  if (x == 0.0) return b.n * b.logQ;
  if (x == b.n) return b.n * b.logP;
  const double rest = b.n - x;
  // x - np, which is nq - (n - x) as np + nq = n.
  const double d = b.pSmall ? x - b.np : b.nq - rest;
  return StirlingError(b.n) - StirlingError(x) - StirlingError(rest) - Deviance(x, b.np, d) -
         Deviance(rest, b.nq, -d) + HalfLogSpread(b.n, x);
}

// Sum of positive terms, with the rounding error of each addition carried (Neumaier).
struct CompensatedSum {
  double sum = 0.0;
  double carried = 0.0;
  void Add(double value) {
    const double next = sum + value;
    carried += std::fabs(sum) >= std::fabs(value) ? (sum - next) + value : (value - next) + sum;
    sum = next;
  }
  double Total() const { return sum + carried; }
};

// ln of the sum of the terms from `from` on, in the direction `step` (+1 up to n, -1 down
// to 0), in which the terms decrease: the first term times the sum of the later terms
// relative to it, each the previous times the ratio of successive terms, and stopped
// once what is left is negligible (the ratios decrease, so the rest is at most
// r ratio / (1 - ratio)).
double LogDecreasingSum(const Binomial& b, double from, int step) {
  const double first = LogTerm(b, from);
  // The ratio term(x + step) / term(x).
  auto ratio = [&b, step](double x) {
    return step > 0 ? (b.n - x) / (x + 1.0) * b.odds : x / ((b.n - x + 1.0) * b.odds);
  };
  CompensatedSum sum;
  sum.Add(1.0);
  double relative = 1.0;
  int64_t since = 0;
  for (double x = from; step > 0 ? x < b.n : x > 0.0; x += step) {
    const double next = x + step;
    if (++since == kRestartTerms) {
      relative = std::exp(LogTerm(b, next) - first);
      since = 0;
    } else {
      relative *= ratio(x);
    }
    sum.Add(relative);
    const double following =
        step > 0 ? (next < b.n ? ratio(next) : 0.0) : (next > 0.0 ? ratio(next) : 0.0);
    if (relative * following <= kNegligibleShare * (1.0 - following) * sum.Total()) break;
  }
  return first + std::log(sum.Total());
}

}  // namespace

double LogBinomialUpperTail(int64_t trials, int64_t atLeast, double logP) {
  if (atLeast <= 0) return 0.0;
  if (atLeast > trials) return -kInfinity;
  if (std::isnan(logP)) return logP;
  if (logP == -kInfinity) return -kInfinity;
  if (logP >= 0.0) return 0.0;
  const auto n = static_cast<double>(trials);
  const auto k = static_cast<double>(atLeast);
  if (logP < kNegligibleLogP) return LogChoose(n, k) + k * logP;

  const Binomial b = MakeBinomial(n, logP);
  // P(X >= 1) = 1 - q^n.
  if (atLeast == 1) return std::log(-std::expm1(n * b.logQ));
  // The terms decrease from k upwards when k + 1 > (n + 1) p; otherwise they decrease
  // from k - 1 downwards, and the tail is one minus the lower tail, which is then below
  // about one half, so that nothing cancels.
  if (k + 1.0 > (n + 1.0) * std::exp(logP)) return LogDecreasingSum(b, k, 1);
  const double lower = std::exp(LogDecreasingSum(b, k - 1.0, -1));
  return std::log1p(-lower);
}

}  // namespace genosieve
