// Every distribution draws what its theory says, and its text form reads
// what a modeller writes.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Distribution.h"
#include "model/RandomStream.h"

namespace {

struct Case {
  const char* name;
  Distribution distribution;
  double mean;      // from theory, worked out by hand here rather than
  double variance;  // by the class under test
};

// The sample mean lies within z standard errors of the true mean, and the
// sample variance within z standard errors of the true variance; the
// variance's standard error comes from the sample's fourth central moment,
// (m4 - s^4) / n. z = 5 makes a false alarm one in a few million.
TEST(Distributions, SampleMeanAndVarianceAgreeWithTheoryWithinTheirStandardErrors) {
  const double truncAlpha = -1.0 / 2.0;  // normal(1, 2) truncated at 0
  const double pdf = std::exp(-truncAlpha * truncAlpha / 2) / std::sqrt(2 * M_PI);
  const double tail = 0.5 * std::erfc(truncAlpha / std::sqrt(2.0));
  const double lambda = pdf / tail;
  const std::vector<Case> cases = {
      {"fixed", Distribution::Fixed(3.5), 3.5, 0.0},
      {"exponential by mean", Distribution::ExponentialMean(2.0), 2.0, 4.0},
      {"exponential by rate", Distribution::ExponentialRate(4.0), 0.25, 0.0625},
      {"uniform", Distribution::Uniform(1.0, 4.0), 2.5, 0.75},
      {"normal", Distribution::Normal(-1.0, 3.0), -1.0, 9.0},
      {"normal truncated at zero", Distribution::TruncatedNormal(1.0, 2.0), 1.0 + 2.0 * lambda,
       4.0 * (1.0 + truncAlpha * lambda - lambda * lambda)},
      {"lognormal", Distribution::Lognormal(2.0, 1.5), 2.0, 2.25},
      {"triangular", Distribution::Triangular(1.0, 2.0, 6.0), 3.0, (1 + 4 + 36 - 2 - 6 - 12) / 18.0},
      {"gamma", Distribution::Gamma(0.5, 3.0), 3.0, 18.0},
      {"erlang", Distribution::Erlang(3, 6.0), 6.0, 12.0},
      {"empirical", Distribution::Empirical({{1, 1}, {2, 2}, {10, 1}}), 3.75, (7.5625 + 2 * 3.0625 + 39.0625) / 4},
  };
  const std::size_t n = 200000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_NEAR(c.distribution.Mean(), c.mean, 1e-12 * (1 + std::fabs(c.mean)));
    EXPECT_NEAR(c.distribution.Variance(), c.variance, 1e-12 * (1 + c.variance));
    RandomStream random(12345);
    std::vector<double> x(n);
    double sum = 0;
    for (double& v : x) sum += v = c.distribution.Draw(random);
    const double mean = sum / n;
    double m2 = 0, m4 = 0;
    for (double v : x) {
      const double d = (v - mean) * (v - mean);
      m2 += d;
      m4 += d * d;
    }
    const double variance = m2 / (n - 1);
    m4 /= n;
    const double z = 5.0;
    EXPECT_NEAR(mean, c.mean, z * std::sqrt(c.variance / n) + 1e-12);
    EXPECT_NEAR(variance, c.variance, z * std::sqrt(std::max(m4 - variance * variance, 0.0) / n) + 1e-12);
    if (c.distribution.NonNegative()) {
      for (double v : x) ASSERT_GE(v, 0.0);
    }
  }
}

TEST(Distributions, TheTextFormNamesItsParameters) {
  struct Text {
    const char* text;
    bool forTime;
    const char* describes;
  };
  for (const Text& t : std::vector<Text>{
           {"2.5", true, "fixed 2.5"},
           {"fixed(4)", true, "fixed 4"},
           {"exponential(mean=2)", true, "exponential (mean 2)"},
           {"exponential(rate=0.5)", true, "exponential (mean 2)"},
           {" uniform( low = 1 , high=3 ) ", true, "uniform (1 to 3)"},
           {"normal(mean=5, sd=1)", false, "normal (mean 5, sd 1)"},
           {"normal(mean=5, sd=1)", true, "normal truncated at 0 (mean 5, sd 1)"},
           {"lognormal(mean=2, sd=1)", true, "lognormal (mean 2, sd 1)"},
           {"triangular(low=1, mode=2, high=4)", true, "triangular (1, 2, 4)"},
           {"gamma(shape=2, mean=3)", true, "gamma (shape 2, mean 3)"},
           {"erlang(k=3, mean=3)", true, "gamma (shape 3, mean 3)"},
           {"empirical(1:0.2, 2:0.5, 5:0.3)", true, "empirical (3 values)"},
       }) {
    EXPECT_EQ(Distribution::Parse(t.text, t.forTime).Describe(), t.describes) << t.text;
  }
}

TEST(Distributions, MistakesAreRefusedWithWhatWasExpected) {
  struct Bad {
    const char* text;
    bool forTime;
    const char* says;
  };
  for (const Bad& b : std::vector<Bad>{
           {"exponential(2)", true, "exponential takes its mean or its rate"},
           {"exponential(mean=2, rate=0.5)", true, "exponential takes its mean or its rate"},
           {"exponential(mean=-2)", true, "exponential: the mean must be positive, not -2"},
           {"exponential(rate=0)", true, "the rate must be positive"},
           {"uniform(low=3, high=1)", false, "the high end must be at least the low end"},
           {"uniform(low=-1, high=1)", true, "a time cannot be negative"},
           {"uniform(low=1)", true, "uniform needs high=..."},
           {"normal(mean=1, sd=1, skew=2)", false, "normal takes no parameter 'skew'"},
           {"normal(mean=1, sd=x)", false, "expected a number for normal sd, found 'x'"},
           {"erlang(k=2.5, mean=1)", true, "whole number of phases"},
           {"empirical(1, 2)", true, "value:weight pairs"},
           {"empirical(1:0, 2:0)", true, "the weights must not all be zero"},
           {"poisson(mean=1)", true, "unknown distribution 'poisson'"},
           {"soon", true, "expected a number or a distribution"},
       }) {
    try {
      Distribution::Parse(b.text, b.forTime);
      ADD_FAILURE() << b.text << " was accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << b.text << ": " << e.what();
    }
  }
}

}  // namespace
