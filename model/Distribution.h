// The random distributions a model draws from: intervals, service times,
// patience, attribute values. Each is made by a named constructor whose
// parameters say what they are: an exponential is given by its mean
// (ExponentialMean) or by its rate (ExponentialRate), never by a bare
// number that could be either. Parameters are checked when the
// distribution is made (std::invalid_argument names the parameter), so a
// draw never fails.
//
// Times: a distribution that can draw negative values (normal, uniform or
// empirical with negative values) is a mistake for a time, except the
// normal, which a modeller uses for times truncated at zero
// (TruncatedNormal).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

class RandomStream;

class Distribution {
 public:
  enum class Kind { Fixed, Exponential, Uniform, Normal, TruncatedNormal, Lognormal, Triangular, Gamma, Empirical };

  static Distribution Fixed(double value);
  static Distribution ExponentialMean(double mean);
  static Distribution ExponentialRate(double rate);
  // Uniform on [low, high].
  static Distribution Uniform(double low, double high);
  static Distribution Normal(double mean, double stddev);
  // The normal with these parameters, redrawn while it is negative.
  static Distribution TruncatedNormal(double mean, double stddev);
  // Given by the mean and standard deviation of the values drawn (not of
  // their logarithm).
  static Distribution Lognormal(double mean, double stddev);
  static Distribution Triangular(double low, double mode, double high);
  // Gamma with a shape and the mean of the values; Erlang is the gamma with
  // a whole number of phases as its shape.
  static Distribution Gamma(double shape, double mean);
  static Distribution Erlang(int phases, double mean);
  // One of `values`, each with its weight (weights need not add up to 1).
  static Distribution Empirical(std::vector<std::pair<double, double>> valuesAndWeights);

  // Reads the text form a model file and the command line use, e.g.
  // "exponential(mean=2)", "exponential(rate=0.5)", "uniform(low=1,
  // high=3)", "normal(mean=5, sd=1)", "lognormal(mean=2, sd=1)",
  // "triangular(low=1, mode=2, high=4)", "gamma(shape=2, mean=3)",
  // "erlang(k=3, mean=3)", "empirical(1:0.2, 2:0.5, 5:0.3)" (value:weight),
  // "fixed(2)" or a bare number. For a time (`forTime`), a normal is
  // truncated at zero and a distribution that can draw negative values is
  // refused. std::invalid_argument says what was expected.
  static Distribution Parse(const std::string& text, bool forTime);

  double Draw(RandomStream& random) const;
  Kind GetKind() const { return kind; }
  // Of the values drawn, from theory.
  double Mean() const;
  double Variance() const;
  // True when no draw can be negative: what a time needs.
  bool NonNegative() const;
  // For messages and summaries, e.g. "exponential (mean 2)".
  std::string Describe() const;

 private:
  Distribution(Kind k, double p1, double p2 = 0.0, double p3 = 0.0) : kind(k), a(p1), b(p2), c(p3) {}

  Kind kind;
  // Fixed: a; exponential: mean a; uniform: [a, b]; normals: mean a, sd b;
  // lognormal: a, b of the underlying normal; triangular: a, mode b, c;
  // gamma: shape a, scale b.
  double a, b, c;
  // Empirical: the values and their cumulative weights, shared by copies.
  std::shared_ptr<const std::vector<std::pair<double, double>>> table;
};
