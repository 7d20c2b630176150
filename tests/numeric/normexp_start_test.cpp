#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/normexp_parts.hpp"
#include "numeric/simulated_draws.hpp"

namespace {

// A channel's distinct values in ascending order with their counts, and their sum.
struct Channel {
  std::vector<double> values, weights;
  double count = 0.0, sum = 0.0;
  WeightedValues weighted() const { return {values, weights}; }
  NormexpParameters moments() const { return moment_estimates(weighted(), count, sum); }
};

Channel channel_of(std::vector<double> x) {
  std::sort(x.begin(), x.end());
  Channel channel;
  for (double value : x) {
    channel.sum += value;
    channel.count += 1.0;
    if (!channel.values.empty() && channel.values.back() == value) {
      channel.weights.back() += 1.0;
    } else {
      channel.values.push_back(value);
      channel.weights.push_back(1.0);
    }
  }
  return channel;
}

// 100 + 20 normal(k, 1, 2) + 400 e, as in normexp_test.cpp: the model itself, k = 1..n.
Channel model_channel(int n) {
  std::vector<double> x;
  for (int k = 1; k <= n; ++k)
    x.push_back(100 + 20 * normal(k, 1, 2) + 400 * exponential(k));
  return channel_of(x);
}

// Whole numbers with a background spread of 0.2: the saddle-point approximation rises on towards
// sigma = 0 (see NormexpStart.WholeNumbersWhoseApproximationRisesToTheEdgeStartAsLimmas).
Channel edge_bound_channel() {
  std::vector<double> x;
  for (int k = 1; k <= 2000; ++k)
    x.push_back(std::floor(7.7 + 0.2 * normal(k, 1, 2) + 1000 * exponential(k)));
  return channel_of(x);
}

double approximate_log_likelihood(const Channel& channel, const NormexpParameters& theta) {
  return -0.5 * saddle_point_m2loglik(channel.weighted(), theta);
}

// The steps of the central differences: a millionth of sigma in mu, a millionth in log sigma and
// log alpha.
NormexpParameters difference_steps(const NormexpParameters& theta) {
  return {1e-6 * std::exp(theta[1]), 1e-6, 1e-6};
}

}  // namespace

// The gradient against central differences of the approximation alone (saddle_point_m2loglik),
// the Hessian against central differences of the gradient, at points where sigma is near alpha,
// far below it and far above it, and where mu lies above most values: every branch of the roots
// and each term of the derivatives. Ties weigh as repeated values.
TEST(SaddlePointLikelihood, DerivativesAgreeWithDifferencesOfTheApproximation) {
  std::vector<double> tied;
  for (int k = 1; k <= 2000; ++k)
    tied.push_back(std::floor((100 + 20 * normal(k, 1, 2) + 400 * exponential(k)) / 10));
  const Channel channels[] = {model_channel(2000), channel_of(tied)};
  for (const Channel& channel : channels) {
    const NormexpParameters moments = channel.moments();
    const double mu = moments[0];
    const NormexpParameters points[] = {moments,
                                        {mu, moments[2] - 0.5, moments[2]},
                                        {mu, moments[2] - 8.0, moments[2]},
                                        {mu, moments[2] + 3.0, moments[2]},
                                        {4.0 * mu, moments[1], moments[2] - 1.0}};
    for (const NormexpParameters& theta : points) {
      const LikelihoodPoint at = saddle_point_likelihood(channel.weighted(), theta);
      const double value = approximate_log_likelihood(channel, theta);
      EXPECT_NEAR(at.log_likelihood, value, 1e-12 * std::fabs(value));
      const NormexpParameters h = difference_steps(theta);
      for (int i = 0; i < 3; ++i) {
        NormexpParameters up = theta, down = theta;
        up[i] += h[i];
        down[i] -= h[i];
        const double slope =
            (approximate_log_likelihood(channel, up) - approximate_log_likelihood(channel, down)) /
            (2.0 * h[i]);
        // Rounding in the values, about 1e-16 of them, over the step.
        const double rounding = 1e-16 * std::fabs(value) / h[i];
        EXPECT_NEAR(at.gradient[i], slope, 1e-6 * std::fabs(slope) + 20.0 * rounding)
            << "theta " << theta[0] << " " << theta[1] << " " << theta[2] << ", i " << i;
        const LikelihoodPoint above = saddle_point_likelihood(channel.weighted(), up);
        const LikelihoodPoint below = saddle_point_likelihood(channel.weighted(), down);
        for (int j = 0; j < 3; ++j) {
          const double curvature = (above.gradient[j] - below.gradient[j]) / (2.0 * h[i]);
          EXPECT_NEAR(at.hessian[i][j], curvature,
                      1e-6 * std::fabs(curvature) + 1e-9 * std::fabs(at.hessian[j][j]) +
                          20.0 * 1e-16 * std::fabs(value) / (h[i] * h[j]))
              << "theta " << theta[0] << " " << theta[1] << " " << theta[2] << ", i " << i << ", j "
              << j;
        }
      }
    }
  }
}

// The values below the threshold stay one by one; those from it on make at most the given number
// of groups, in ascending order, each within its members' range, with the members' total weight
// and weighted sum; no more values than groups stay as they are.
TEST(GroupValues, GathersNeighboursAboveTheThresholdKeepingWeightAndSum) {
  std::vector<double> values, weights;
  double weighted_sum = 0.0;
  for (int i = 1; i <= 10000; ++i) {
    values.push_back(i * 0.5);
    weights.push_back(i % 3 == 0 ? 2.0 : 1.0);
    weighted_sum += values.back() * weights.back();
  }
  const GroupedValues grouped = group_values({values, weights}, 250.0, 2000);
  ASSERT_EQ(grouped.values.size(), 499u + 2000u);
  for (std::size_t i = 0; i < 499; ++i) {
    EXPECT_EQ(grouped.values[i], values[i]);
    EXPECT_EQ(grouped.weights[i], weights[i]);
  }
  double total = 0.0, sum = 0.0, heaviest = 0.0;
  for (std::size_t i = 0; i < grouped.values.size(); ++i) {
    total += grouped.weights[i];
    sum += grouped.weights[i] * grouped.values[i];
    if (i >= 499) heaviest = std::max(heaviest, grouped.weights[i]);
    if (i > 0) {
      EXPECT_LT(grouped.values[i - 1], grouped.values[i]) << i;
    }
  }
  EXPECT_EQ(total, 13333.0);
  EXPECT_NEAR(sum, weighted_sum, 1e-12 * weighted_sum);
  EXPECT_LE(heaviest, 12.0);  // about (13333 - 665) / 2000 each, a member more at most
  EXPECT_GE(grouped.values[499], 250.0);
  EXPECT_LE(grouped.values.back(), 5000.0);

  const GroupedValues few = group_values({values, weights}, 4000.5, 2000);
  EXPECT_EQ(few.values, values);
  EXPECT_EQ(few.weights, weights);
}

// Where the approximation has a maximum inside, Newton's method finds it (the gradient vanishes
// there) next to where limma's Nelder-Mead closes in, a little higher: limma's normexp.fit(x,
// "saddle") on the 2,000 values of the model gives mu 98.733000617339243, log sigma
// 2.7245563658990859, log alpha 5.9886136439482707 and m2loglik 28112.951622628862 after 143
// evaluations.
TEST(FindStart, NewtonReachesTheMaximumNelderMeadClosesIn) {
  const Channel channel = model_channel(2000);
  const NormexpStart start = find_start(channel.weighted(), channel.moments());
  EXPECT_FALSE(start.by_nelder_mead);
  EXPECT_LE(start.evaluations, 10);
  const double sigma = std::exp(start.theta[1]);
  EXPECT_NEAR(start.theta[0], 98.733000617339243, 0.01 * sigma);
  EXPECT_NEAR(start.theta[1], 2.7245563658990859, 0.01);
  EXPECT_NEAR(start.theta[2], 5.9886136439482707, 0.001);
  EXPECT_LT(start.m2loglik, 28112.951622628862);
  EXPECT_GT(start.m2loglik, 28112.951622628862 - 0.01);
  const LikelihoodPoint at = saddle_point_likelihood(channel.weighted(), start.theta);
  EXPECT_NEAR(-2.0 * at.log_likelihood, start.m2loglik, 1e-9);
  EXPECT_LE(std::fabs(at.gradient[0]) * sigma, 1e-6);
  EXPECT_LE(std::fabs(at.gradient[1]), 1e-6);
  EXPECT_LE(std::fabs(at.gradient[2]), 1e-6);
}

// Over 27,648 values, most of them grouped, the climb over the groups and then over all the values
// ends where a climb over all of them from the start ends.
TEST(FindStart, GroupsLeadToTheMaximumOverAllTheValues) {
  const Channel channel = model_channel(27648);
  const NormexpParameters moments = channel.moments();
  EXPECT_LT(group_values(channel.weighted(), moments[0], 2000).values.size(), 4000u);
  const NormexpStart start = find_start(channel.weighted(), moments);
  EXPECT_FALSE(start.by_nelder_mead);
  NormexpParameters theta = moments;
  LikelihoodPoint at = saddle_point_likelihood(channel.weighted(), theta);
  int passes = 1;
  const auto approximation = [&channel](const NormexpParameters& point) {
    return saddle_point_likelihood(channel.weighted(), point);
  };
  ASSERT_EQ(climb(approximation, {}, channel.count, 50, theta, at, passes),
            NormexpStatus::converged);
  EXPECT_NEAR(start.theta[0], theta[0], 1e-6 * std::exp(theta[1]));
  EXPECT_NEAR(start.theta[1], theta[1], 1e-6);
  EXPECT_NEAR(start.theta[2], theta[2], 1e-6);
}

// Where the approximation rises on towards an edge, the start is where Nelder-Mead stops, as in
// limma: towards sigma = 0 on whole numbers with a small spread, and on draws of an exponential
// alone, whose climb is seen to be bound for it (every value more than two sigmas above mu) well
// before the step limit.
TEST(FindStart, NelderMeadWhereTheApproximationRisesToAnEdge) {
  std::vector<double> exponentials;
  for (int k = 1; k <= 2000; ++k)
    exponentials.push_back(10.0 + 300.0 * exponential(k));
  int newton_passes[2];
  int i = 0;
  for (const Channel& channel : {edge_bound_channel(), channel_of(exponentials)}) {
    const NormexpParameters moments = channel.moments();
    const NormexpStart start = find_start(channel.weighted(), moments);
    const SaddlePointFit nelder_mead = fit_saddle_point(channel.weighted(), moments);
    EXPECT_TRUE(start.by_nelder_mead);
    EXPECT_EQ(start.theta, nelder_mead.theta);
    EXPECT_EQ(start.m2loglik, nelder_mead.m2loglik);
    newton_passes[i++] = start.evaluations - nelder_mead.evaluations;
  }
  EXPECT_GE(newton_passes[0], 2);
  EXPECT_LE(newton_passes[0], 21);  // the step limit at most
  EXPECT_LE(newton_passes[1], 15);
  EXPECT_EQ(
      fit_saddle_point(edge_bound_channel().weighted(), edge_bound_channel().moments()).evaluations,
      205);  // limma's fncount
}

// The climb on a concave quadratic, L = -(theta - c)' A (theta - c) / 2: steps of at most one
// sigma in mu and 1 in the others, then Newton's, which lands on c; a step limit that comes first;
// an edge that the caller's test finds ends it with that edge.
TEST(Climb, ReachesTheTopOfAQuadraticWithinItsLimits) {
  const NormexpParameters top = {5.0, -0.5, 2.0};
  const NormexpMatrix a = {{{2.0, 0.5, 0.0}, {0.5, 1.0, 0.2}, {0.0, 0.2, 3.0}}};
  int evaluations = 0;
  const auto quadratic = [&](const NormexpParameters& theta) {
    ++evaluations;
    LikelihoodPoint point{};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        point.log_likelihood -= 0.5 * (theta[i] - top[i]) * a[i][j] * (theta[j] - top[j]);
        point.gradient[i] -= a[i][j] * (theta[j] - top[j]);
        point.hessian[i][j] = -a[i][j];
      }
    return point;
  };
  NormexpParameters theta = {0.0, 0.0, 0.0};
  LikelihoodPoint at = quadratic(theta);
  int passes = 1;
  EXPECT_EQ(climb(quadratic, {}, 1.0, 50, theta, at, passes), NormexpStatus::converged);
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(theta[i], top[i], 1e-12);
  EXPECT_EQ(passes, evaluations);
  EXPECT_GE(passes, 5);  // mu moves 5 sigmas, one at a time at first
  EXPECT_LE(passes, 12);

  theta = {0.0, 0.0, 0.0};
  at = quadratic(theta);
  passes = 1;
  EXPECT_EQ(climb(quadratic, {}, 1.0, 2, theta, at, passes), NormexpStatus::not_converged);
  EXPECT_EQ(passes, 3);
  EXPECT_LT(theta[0], 2.5);

  theta = {0.0, 0.0, 0.0};
  at = quadratic(theta);
  const auto past_three = [](const NormexpParameters& point, double) {
    return point[0] > 3.0 ? std::optional(NormexpStatus::no_signal) : std::nullopt;
  };
  EXPECT_EQ(climb(quadratic, past_three, 1.0, 50, theta, at, passes), NormexpStatus::no_signal);
  EXPECT_GT(theta[0], 3.0);
  EXPECT_LT(theta[0], 4.5);
}
