// The Nelder-Mead simplex minimiser as R's optim(method = "Nelder-Mead") runs it with its default
// control (Nelder and Mead 1965, Computer Journal 7:308; in the form of Nash 1990, Compact
// Numerical Methods for Computers, algorithm 19), so that a minimisation started from the same
// point takes the same steps:
// - the first simplex is the start and, for each parameter i, the start with parameter i moved by
//   a tenth of the largest absolute parameter (0.1 when all are 0);
// - each step replaces the highest vertex H. With c the centroid of the others, the reflection is
//   r = c + (c - H). Below the lowest vertex, the expansion e = r + (r - c) is tried and the lower
//   of e and r taken. Otherwise r replaces H if it is lower than H, and the contraction
//   (H + c) / 2 (of the new H) replaces H if it is lower still; when neither r nor the contraction
//   is lower than H, every vertex shrinks halfway towards the lowest;
// - it stops when the highest and the lowest value differ by no more than the relative tolerance
//   times (|f(start)| + the tolerance), after about `max_evaluations` evaluations, or when a shrink
//   no longer makes the simplex smaller. A value that is not finite counts as 1e35.
#include <cmath>

#include "numeric/numeric.hpp"

namespace {

constexpr double kNotFinite = 1e35;

double evaluate(const std::function<double(const std::vector<double>&)>& f,
                const std::vector<double>& point, int& evaluations) {
  ++evaluations;
  const double value = f(point);
  return std::isfinite(value) ? value : kNotFinite;
}

}  // namespace

NelderMeadResult nelder_mead(const std::function<double(const std::vector<double>&)>& f,
                             const std::vector<double>& start, int max_evaluations,
                             double relative_tolerance) {
  const std::size_t n = start.size();
  NelderMeadResult result;
  result.point = start;
  result.value = f(start);
  result.evaluations = 1;
  if (!std::isfinite(result.value)) return result;
  const double tolerance = relative_tolerance * (std::fabs(result.value) + relative_tolerance);

  // The vertices and their values; vertex 0 is the start.
  std::vector<std::vector<double>> vertex(n + 1, start);
  std::vector<double> value(n + 1, result.value);
  double step = 0.0;
  for (double parameter : start)
    step = std::max(step, 0.1 * std::fabs(parameter));
  if (step == 0.0) step = 0.1;
  double size = 0.0;
  for (std::size_t j = 1; j <= n; ++j) {
    // A step too small to change the parameter grows tenfold until it does.
    double trial_step = step;
    while (vertex[j][j - 1] == start[j - 1]) {
      vertex[j][j - 1] = start[j - 1] + trial_step;
      trial_step *= 10.0;
    }
    size += trial_step;
  }
  double previous_size = size;
  bool evaluate_vertices = true;
  std::size_t lowest = 0;
  std::vector<double> centroid(n), trial(n);
  for (;;) {
    if (evaluate_vertices) {
      for (std::size_t j = 0; j <= n; ++j)
        if (j != lowest) value[j] = evaluate(f, vertex[j], result.evaluations);
      evaluate_vertices = false;
    }
    std::size_t highest = lowest;
    for (std::size_t j = 0; j <= n; ++j) {
      if (j == lowest) continue;
      if (value[j] < value[lowest]) lowest = j;
      if (value[j] > value[highest]) highest = j;
    }
    if (value[highest] <= value[lowest] + tolerance) {
      result.converged = true;
      break;
    }
    for (std::size_t i = 0; i < n; ++i) {
      double sum = -vertex[highest][i];
      for (std::size_t j = 0; j <= n; ++j)
        sum += vertex[j][i];
      centroid[i] = sum / static_cast<double>(n);
    }
    for (std::size_t i = 0; i < n; ++i)
      trial[i] = 2.0 * centroid[i] - vertex[highest][i];
    const double reflected = evaluate(f, trial, result.evaluations);
    if (reflected < value[lowest]) {
      std::vector<double> expanded(n);
      for (std::size_t i = 0; i < n; ++i)
        expanded[i] = 2.0 * trial[i] - centroid[i];
      const double expanded_value = evaluate(f, expanded, result.evaluations);
      if (expanded_value < reflected) {
        vertex[highest] = expanded;
        value[highest] = expanded_value;
      } else {
        vertex[highest] = trial;
        value[highest] = reflected;
      }
    } else {
      const double highest_value = value[highest];
      if (reflected < highest_value) {
        vertex[highest] = trial;
        value[highest] = reflected;
      }
      for (std::size_t i = 0; i < n; ++i)
        trial[i] = 0.5 * vertex[highest][i] + 0.5 * centroid[i];
      const double contracted = evaluate(f, trial, result.evaluations);
      if (contracted < value[highest]) {
        vertex[highest] = trial;
        value[highest] = contracted;
      } else if (reflected >= highest_value) {
        size = 0.0;
        for (std::size_t j = 0; j <= n; ++j) {
          if (j == lowest) continue;
          for (std::size_t i = 0; i < n; ++i) {
            vertex[j][i] = 0.5 * (vertex[j][i] - vertex[lowest][i]) + vertex[lowest][i];
            size += std::fabs(vertex[j][i] - vertex[lowest][i]);
          }
        }
        if (size >= previous_size) break;  // the simplex no longer shrinks
        previous_size = size;
        evaluate_vertices = true;
      }
    }
    if (result.evaluations > max_evaluations) break;
  }
  result.point = vertex[lowest];
  result.value = value[lowest];
  return result;
}
