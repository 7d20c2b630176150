// A design is checked and decomposed once, before any gene is fitted. limma leaves the
// coefficients of dependent columns out with a warning; here such a design is refused, with the
// dependence spelled out, since those coefficients are what the user asked for.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "numeric/linear_model.hpp"

namespace {

// A weight is left out of a dependence when it is this small beside the largest one.
constexpr double kNegligibleWeight = 1e-9;

// A weight as a short number: six significant digits hide the last bits of the arithmetic.
std::string short_number(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, result.ptr);
}

// "C = 2 B - A": column `dependent` of the decomposition as a combination of the kept columns,
// from the part of it the reflections took into R's rows.
std::string dependence_of(const QrDecomposition& qr, const std::vector<std::string>& names,
                          int32_t dependent) {
  std::vector<double> effects(qr.rank);
  for (int32_t i = 0; i < qr.rank; ++i)
    effects[i] = qr.packed[dependent * qr.rows + i];
  std::vector<double> weights(qr.rank);
  solve_r(qr, effects, weights);
  double largest = 0.0;
  for (double w : weights)
    largest = std::max(largest, std::fabs(w));
  std::string text = names[qr.order[dependent]];
  text += " =";
  bool first = true;
  for (int32_t j = 0; j < qr.rank; ++j) {
    const double w = weights[j];
    if (std::fabs(w) <= kNegligibleWeight * largest) continue;
    text += first ? (w < 0.0 ? " -" : " ") : (w < 0.0 ? " - " : " + ");
    const double size = std::fabs(w);
    if (std::fabs(size - 1.0) > 1e-12) text += short_number(size) + " ";
    text += names[qr.order[j]];
    first = false;
  }
  if (first) text += " 0 on every array";
  return text;
}

bool check_shape(const Design& design, std::string& error) {
  const int32_t p = design.coefficients();
  if (p == 0) {
    error = "the design has no coefficient";
    return false;
  }
  if (design.values.size() != static_cast<std::size_t>(design.arrays) * design.names.size()) {
    error = "the design has " + std::to_string(design.values.size()) + " values for " +
            std::to_string(design.arrays) + " arrays of " + std::to_string(p) + " coefficients";
    return false;
  }
  if (design.arrays <= p) {
    error = "the design has " + std::to_string(design.arrays) + " arrays for " + std::to_string(p) +
            " coefficients: a linear model needs more arrays than coefficients, or no gene is "
            "left residual degrees of freedom to estimate its variance";
    return false;
  }
  std::set<std::string> seen;
  for (const std::string& name : design.names) {
    if (name.empty()) {
      error = "a coefficient of the design has no name";
      return false;
    }
    if (!seen.insert(name).second) {
      error = "two coefficients of the design are named " + name;
      return false;
    }
  }
  for (int32_t i = 0; i < design.arrays; ++i) {
    for (int32_t j = 0; j < p; ++j) {
      if (!std::isfinite(design.at(i, j))) {
        error = "the design's value of coefficient " + design.names[j] + " on array " +
                std::to_string(i + 1) + " is not a number";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool prepare_design(const Design& design, LinearDesign& prepared, std::string& error) {
  if (!check_shape(design, error)) return false;
  const int32_t n = design.arrays;
  const int32_t p = design.coefficients();
  QrDecomposition& qr = prepared.qr;
  qr.rows = n;
  qr.columns = p;
  qr.packed.resize(n * p);
  for (int32_t i = 0; i < n; ++i)
    for (int32_t j = 0; j < p; ++j)
      qr.packed[j * n + i] = design.at(i, j);
  decompose_qr(qr);
  if (qr.rank < p) {
    std::string dependences;
    for (int32_t j = qr.rank; j < p; ++j)
      dependences += (j > qr.rank ? "; " : "") + dependence_of(qr, design.names, j);
    error =
        "the design's columns are linearly dependent, so their coefficients cannot be "
        "estimated apart: " +
        dependences;
    return false;
  }
  prepared.design = design;
  prepared.cov_coefficients.resize(p * p);
  unscaled_covariance(qr, prepared.cov_coefficients);
  prepared.stdev_unscaled.resize(p);
  for (int32_t j = 0; j < p; ++j)
    prepared.stdev_unscaled[j] = std::sqrt(prepared.cov_coefficients[j * p + j]);
  return true;
}
