#include "model/Distribution.h"

#include <algorithm>
#include <boost/random/gamma_distribution.hpp>
#include <boost/random/normal_distribution.hpp>
#include <boost/random/triangle_distribution.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "model/RandomStream.h"

namespace {

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

void Require(bool ok, const char* distribution, const char* what, double value) {
  if (!ok)
    throw std::invalid_argument(std::string(distribution) + ": " + what + ", not " + Number(value));
}

bool Finite(double v) { return std::isfinite(v); }

// The normal's density and upper tail at x, standardised.
double Density(double x) { return std::exp(-0.5 * x * x) / std::sqrt(2.0 * M_PI); }
double UpperTail(double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); }

// Draws past this many negatives would only come from a normal that lies
// almost wholly below zero; its truncation is then as good as zero.
constexpr int kMaxRedraws = 1000;

}  // namespace

Distribution Distribution::Fixed(double value) {
  Require(Finite(value), "fixed", "the value must be a finite number", value);
  return Distribution(Kind::Fixed, value);
}

Distribution Distribution::ExponentialMean(double mean) {
  Require(Finite(mean) && mean > 0.0, "exponential", "the mean must be positive", mean);
  return Distribution(Kind::Exponential, mean);
}

Distribution Distribution::ExponentialRate(double rate) {
  Require(Finite(rate) && rate > 0.0, "exponential", "the rate must be positive", rate);
  return Distribution(Kind::Exponential, 1.0 / rate);
}

Distribution Distribution::Uniform(double low, double high) {
  Require(Finite(low), "uniform", "the low end must be a finite number", low);
  Require(Finite(high) && high >= low, "uniform", "the high end must be at least the low end", high);
  return Distribution(Kind::Uniform, low, high);
}

Distribution Distribution::Normal(double mean, double stddev) {
  Require(Finite(mean), "normal", "the mean must be a finite number", mean);
  Require(Finite(stddev) && stddev > 0.0, "normal", "the standard deviation must be positive", stddev);
  return Distribution(Kind::Normal, mean, stddev);
}

Distribution Distribution::TruncatedNormal(double mean, double stddev) {
  Distribution d = Normal(mean, stddev);
  d.kind = Kind::TruncatedNormal;
  return d;
}

Distribution Distribution::Lognormal(double mean, double stddev) {
  Require(Finite(mean) && mean > 0.0, "lognormal", "the mean must be positive", mean);
  Require(Finite(stddev) && stddev > 0.0, "lognormal", "the standard deviation must be positive", stddev);
  const double variance = std::log1p((stddev / mean) * (stddev / mean));
  return Distribution(Kind::Lognormal, std::log(mean) - variance / 2.0, std::sqrt(variance));
}

Distribution Distribution::Triangular(double low, double mode, double high) {
  Require(Finite(low), "triangular", "the low end must be a finite number", low);
  Require(Finite(mode) && mode >= low, "triangular", "the mode must lie between the ends", mode);
  Require(Finite(high) && high >= mode && high > low, "triangular",
          "the high end must be at least the mode and above the low end", high);
  return Distribution(Kind::Triangular, low, mode, high);
}

Distribution Distribution::Gamma(double shape, double mean) {
  Require(Finite(shape) && shape > 0.0, "gamma", "the shape must be positive", shape);
  Require(Finite(mean) && mean > 0.0, "gamma", "the mean must be positive", mean);
  return Distribution(Kind::Gamma, shape, mean / shape);
}

Distribution Distribution::Erlang(int phases, double mean) {
  Require(phases >= 1, "erlang", "the number of phases must be at least 1", phases);
  return Gamma(phases, mean);
}

Distribution Distribution::Empirical(std::vector<std::pair<double, double>> valuesAndWeights) {
  if (valuesAndWeights.empty()) throw std::invalid_argument("empirical: needs at least one value");
  double total = 0.0;
  for (auto& [value, weight] : valuesAndWeights) {
    Require(Finite(value), "empirical", "every value must be a finite number", value);
    Require(Finite(weight) && weight >= 0.0, "empirical", "every weight must be zero or positive", weight);
    total += weight;
    weight = total;  // cumulative from here on
  }
  Require(total > 0.0, "empirical", "the weights must not all be zero", total);
  Distribution d(Kind::Empirical, total);
  d.table = std::make_shared<const std::vector<std::pair<double, double>>>(std::move(valuesAndWeights));
  return d;
}

double Distribution::Draw(RandomStream& random) const {
  switch (kind) {
    case Kind::Fixed:
      return a;
    case Kind::Exponential:
      return -a * std::log(random.Uniform());
    case Kind::Uniform:
      return a + (b - a) * random.Uniform();
    case Kind::Normal:
      return boost::random::normal_distribution<double>(a, b)(random);
    case Kind::TruncatedNormal: {
      boost::random::normal_distribution<double> normal(a, b);
      for (int i = 0; i < kMaxRedraws; ++i) {
        const double x = normal(random);
        if (x >= 0.0) return x;
      }
      return 0.0;
    }
    case Kind::Lognormal:
      return std::exp(boost::random::normal_distribution<double>(a, b)(random));
    case Kind::Triangular:
      return boost::random::triangle_distribution<double>(a, b, c)(random);
    case Kind::Gamma:
      return boost::random::gamma_distribution<double>(a, b)(random);
    case Kind::Empirical: {
      const double u = random.Uniform() * a;
      auto it = std::lower_bound(table->begin(), table->end(), u,
                                 [](const std::pair<double, double>& e, double x) { return e.second < x; });
      return it == table->end() ? table->back().first : it->first;
    }
  }
  return a;
}

double Distribution::Mean() const {
  switch (kind) {
    case Kind::Fixed:
    case Kind::Exponential:
    case Kind::Normal:
      return a;
    case Kind::Uniform:
      return (a + b) / 2.0;
    case Kind::TruncatedNormal:
      return a + b * Density(-a / b) / UpperTail(-a / b);
    case Kind::Lognormal:
      return std::exp(a + b * b / 2.0);
    case Kind::Triangular:
      return (a + b + c) / 3.0;
    case Kind::Gamma:
      return a * b;
    case Kind::Empirical: {
      double sum = 0.0, previous = 0.0;
      for (const auto& [value, cumulative] : *table) {
        sum += value * (cumulative - previous);
        previous = cumulative;
      }
      return sum / a;
    }
  }
  return a;
}

double Distribution::Variance() const {
  switch (kind) {
    case Kind::Fixed:
      return 0.0;
    case Kind::Exponential:
      return a * a;
    case Kind::Uniform:
      return (b - a) * (b - a) / 12.0;
    case Kind::Normal:
      return b * b;
    case Kind::TruncatedNormal: {
      const double alpha = -a / b;
      const double lambda = Density(alpha) / UpperTail(alpha);
      return b * b * (1.0 + alpha * lambda - lambda * lambda);
    }
    case Kind::Lognormal:
      return std::expm1(b * b) * std::exp(2.0 * a + b * b);
    case Kind::Triangular:
      return (a * a + b * b + c * c - a * b - a * c - b * c) / 18.0;
    case Kind::Gamma:
      return a * b * b;
    case Kind::Empirical: {
      const double mean = Mean();
      double sum = 0.0, previous = 0.0;
      for (const auto& [value, cumulative] : *table) {
        sum += (value - mean) * (value - mean) * (cumulative - previous);
        previous = cumulative;
      }
      return sum / a;
    }
  }
  return 0.0;
}

bool Distribution::NonNegative() const {
  switch (kind) {
    case Kind::Fixed:
      return a >= 0.0;
    case Kind::Uniform:
    case Kind::Triangular:
      return a >= 0.0;
    case Kind::Normal:
      return false;
    case Kind::Empirical:
      return std::all_of(table->begin(), table->end(), [](const auto& e) { return e.first >= 0.0; });
    default:
      return true;
  }
}

std::string Distribution::Describe() const {
  switch (kind) {
    case Kind::Fixed:
      return "fixed " + Number(a);
    case Kind::Exponential:
      return "exponential (mean " + Number(a) + ")";
    case Kind::Uniform:
      return "uniform (" + Number(a) + " to " + Number(b) + ")";
    case Kind::Normal:
      return "normal (mean " + Number(a) + ", sd " + Number(b) + ")";
    case Kind::TruncatedNormal:
      return "normal truncated at 0 (mean " + Number(a) + ", sd " + Number(b) + ")";
    case Kind::Lognormal:
      return "lognormal (mean " + Number(Mean()) + ", sd " + Number(std::sqrt(Variance())) + ")";
    case Kind::Triangular:
      return "triangular (" + Number(a) + ", " + Number(b) + ", " + Number(c) + ")";
    case Kind::Gamma:
      return "gamma (shape " + Number(a) + ", mean " + Number(a * b) + ")";
    case Kind::Empirical:
      return "empirical (" + std::to_string(table->size()) + " values)";
  }
  return std::string();
}

namespace {

// The text form: NAME ( ARG, ... ) where ARG is KEY=NUMBER, NUMBER or, for
// the empirical, VALUE:WEIGHT.
struct Argument {
  std::string key;
  double value;
  double weight;
  bool weighted;
};

std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

double ParseNumber(const std::string& text, const std::string& context) {
  const std::string t = Trim(text);
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (t.empty() || *end != '\0' || !std::isfinite(v))
    throw std::invalid_argument("expected a number for " + context + ", found '" + t + "'");
  return v;
}

const char kForms[] =
    "fixed(V), exponential(mean=M) or exponential(rate=R), uniform(low=A, high=B), "
    "normal(mean=M, sd=S), lognormal(mean=M, sd=S), triangular(low=A, mode=C, high=B), "
    "gamma(shape=K, mean=M), erlang(k=K, mean=M) or empirical(V1:W1, V2:W2, ...)";

class Arguments {
 public:
  Arguments(const std::string& name, std::vector<Argument> args) : name(name), args(std::move(args)) {}

  // The value of `key`; every key must be given once and no other.
  double Get(const std::string& key) {
    for (Argument& a : args)
      if (a.key == key) {
        a.key.clear();
        return a.value;
      }
    throw std::invalid_argument(name + " needs " + key + "=...");
  }
  bool Has(const std::string& key) const {
    for (const Argument& a : args)
      if (a.key == key) return true;
    return false;
  }
  void NoOthers() const {
    for (const Argument& a : args)
      if (!a.key.empty() || a.weighted)
        throw std::invalid_argument(name + " takes no parameter '" +
                                    (a.key.empty() ? std::string("value:weight") : a.key) + "'");
  }

 private:
  std::string name;
  std::vector<Argument> args;
};

}  // namespace

Distribution Distribution::Parse(const std::string& input, bool forTime) {
  const std::string text = Trim(input);
  char* end = nullptr;
  const double bare = std::strtod(text.c_str(), &end);
  Distribution d = Fixed(0.0);
  if (!text.empty() && *end == '\0' && std::isfinite(bare)) {
    d = Fixed(bare);
  } else {
    const auto open = text.find('(');
    if (open == std::string::npos || text.back() != ')')
      throw std::invalid_argument("expected a number or a distribution: " + std::string(kForms) +
                                  "; found '" + text + "'");
    const std::string name = Trim(text.substr(0, open));
    const std::string inside = text.substr(open + 1, text.size() - open - 2);
    std::vector<Argument> list;
    std::size_t from = 0;
    while (!Trim(inside).empty() && from <= inside.size()) {
      const std::size_t comma = std::min(inside.find(',', from), inside.size());
      const std::string item = Trim(inside.substr(from, comma - from));
      const auto eq = item.find('='), colon = item.find(':');
      if (eq != std::string::npos) {
        const std::string key = Trim(item.substr(0, eq));
        list.push_back(Argument{key, ParseNumber(item.substr(eq + 1), name + " " + key), 0, false});
      }
      else if (colon != std::string::npos)
        list.push_back(Argument{"", ParseNumber(item.substr(0, colon), name + " value"),
                                ParseNumber(item.substr(colon + 1), name + " weight"), true});
      else
        list.push_back(Argument{"", ParseNumber(item, name), 0, false});
      from = comma + 1;
    }
    Arguments args(name, list);
    if (name == "fixed") {
      if (list.size() != 1 || list[0].weighted || !(list[0].key.empty() || list[0].key == "value"))
        throw std::invalid_argument("fixed takes one value: fixed(V)");
      d = Fixed(list[0].value);
    } else if (name == "exponential") {
      if (args.Has("mean") == args.Has("rate"))
        throw std::invalid_argument(
            "exponential takes its mean or its rate: exponential(mean=M) or exponential(rate=R)");
      d = args.Has("mean") ? ExponentialMean(args.Get("mean")) : ExponentialRate(args.Get("rate"));
      args.NoOthers();
    } else if (name == "uniform") {
      const double low = args.Get("low");
      d = Uniform(low, args.Get("high"));
      args.NoOthers();
    } else if (name == "normal") {
      const double mean = args.Get("mean");
      d = forTime ? TruncatedNormal(mean, args.Get("sd")) : Normal(mean, args.Get("sd"));
      args.NoOthers();
    } else if (name == "lognormal") {
      const double mean = args.Get("mean");
      d = Lognormal(mean, args.Get("sd"));
      args.NoOthers();
    } else if (name == "triangular") {
      const double low = args.Get("low"), mode = args.Get("mode");
      d = Triangular(low, mode, args.Get("high"));
      args.NoOthers();
    } else if (name == "gamma") {
      const double shape = args.Get("shape");
      d = Gamma(shape, args.Get("mean"));
      args.NoOthers();
    } else if (name == "erlang") {
      const double k = args.Get("k");
      if (k != std::floor(k) || k < 1 || k > 1e6)
        throw std::invalid_argument("erlang: k must be a whole number of phases, at least 1");
      d = Erlang(static_cast<int>(k), args.Get("mean"));
      args.NoOthers();
    } else if (name == "empirical") {
      std::vector<std::pair<double, double>> table;
      for (const Argument& a : list) {
        if (!a.weighted)
          throw std::invalid_argument("empirical takes value:weight pairs, e.g. empirical(1:0.2, 2:0.8)");
        table.emplace_back(a.value, a.weight);
      }
      d = Empirical(std::move(table));
    } else {
      throw std::invalid_argument("unknown distribution '" + name + "': expected " + kForms);
    }
  }
  if (forTime && !d.NonNegative())
    throw std::invalid_argument("a time cannot be negative, but " + d.Describe() + " can draw negative values");
  return d;
}
