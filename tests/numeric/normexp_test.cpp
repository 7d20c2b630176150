#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/ccl4_array13_green.hpp"
#include "numeric/normexp.hpp"
#include "numeric/simulated_draws.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Simulated channels from the draws of simulated_draws.hpp, as R computes them.
// normexp <- 100 + 20 * normal(k, 1, 2) + 400 * e: the model itself.
std::vector<double> normexp_channel() {
  std::vector<double> x;
  for (int k = 1; k <= 2000; ++k)
    x.push_back(100 + 20 * normal(k, 1, 2) + 400 * exponential(k));
  return x;
}

// heavy <- 100 + 20 * normal(k, 1, 2) / sqrt((normal(k, 4, 5)^2 + normal(k, 6, 7)^2 +
//   normal(k, 8, 9)^2) / 3) + 400 * e * exp(normal(k, 8, 9)): a t background with 3 degrees of
// freedom and a log-normally scaled signal, both tails far heavier than the model's.
std::vector<double> heavy_tailed_channel() {
  std::vector<double> x;
  for (int k = 1; k <= 2000; ++k) {
    const double z2 = normal(k, 4, 5), z3 = normal(k, 6, 7), z4 = normal(k, 8, 9);
    x.push_back(100 + 20 * normal(k, 1, 2) / std::sqrt((z2 * z2 + z3 * z3 + z4 * z4) / 3) +
                400 * exponential(k) * std::exp(z4));
  }
  return x;
}

// A column of a swirl array (foreground less background, or foreground alone when background is
// empty), or nothing without the real data.
std::vector<double> swirl_channel(const std::string& foreground, const std::string& background,
                                  int array = 1) {
  const std::filesystem::path file = std::filesystem::path(CORVANE_REALDATA) / "swirl" /
                                     ("swirl." + std::to_string(array) + ".spot");
  std::ifstream in(file);
  if (std::string(CORVANE_REALDATA).empty() || !in) return {};
  std::string line, name;
  std::getline(in, line);
  std::istringstream header(line);
  std::size_t column = 0, foreground_column = 0, background_column = 0;
  while (std::getline(header, name, '\t')) {
    if (name == foreground) foreground_column = column;
    if (name == background) background_column = column;
    ++column;
  }
  std::vector<double> x;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string field;
    double fg = 0.0, bg = 0.0;
    for (std::size_t i = 0; std::getline(fields, field, '\t'); ++i) {
      if (i == foreground_column) fg = std::strtod(field.c_str(), nullptr);
      if (i == background_column && !background.empty()) bg = std::strtod(field.c_str(), nullptr);
    }
    x.push_back(fg - bg);
  }
  return x;
}

std::vector<double> corrected(const std::vector<double>& x, double offset,
                              NormexpFit* fit = nullptr) {
  std::vector<double> out(x.size());
  const NormexpFit result = normexp_correct(x.data(), nullptr, x.size(), offset, out.data());
  if (fit != nullptr) *fit = result;
  return out;
}

std::vector<double> with_background(const std::vector<double>& foreground,
                                    const std::vector<double>& background) {
  std::vector<double> out(foreground.size());
  normexp_correct(foreground.data(), background.data(), foreground.size(), 0.0, out.data());
  return out;
}

// What R gave for one channel: limma's fit (normexp.fit(x, method = "mle")$par: mu, log sigma,
// log alpha), the same made exact by one more Newton step with limma's own gradient and Hessian
// (limma:::.normexp.gm2loglik and .hm2loglik, in its parameters mu, log sigma^2, log alpha), and
// at some spots (the lowest, the highest, the second lowest, the 10% and 50% points, the first
// and the thousandth) backgroundCorrect.matrix(matrix(x), method = "normexp", normexp.method =
// "mle", offset = 0 and 50) and normexp.signal with the exact parameters.
struct LimmaChannel {
  double limma[3];
  double exact[3];
  std::vector<std::size_t> spots;
  std::vector<double> limma_offset_0, limma_offset_50, exact_offset_0;
};

double relative(double value, double reference) {
  return std::fabs(value - reference) / std::fabs(reference);
}

// The fit must be within `exact_tolerance` of the exact maximum (in mu / sigma, log sigma and log
// alpha) and its signal within it relatively; limma's own values, where its optimiser stops
// short of the maximum, within `limma_tolerance`.
void expect_agreement(const std::vector<double>& x, const LimmaChannel& r, double exact_tolerance,
                      double limma_tolerance) {
  NormexpFit fit;
  const std::vector<double> at_0 = corrected(x, 0.0, &fit);
  const std::vector<double> at_50 = corrected(x, 50.0);
  ASSERT_EQ(fit.status, NormexpStatus::converged);
  const double sigma = std::exp(r.exact[1]);
  EXPECT_LE(std::fabs(fit.mu - r.exact[0]) / sigma, exact_tolerance);
  EXPECT_LE(std::fabs(fit.log_sigma - r.exact[1]), exact_tolerance);
  EXPECT_LE(std::fabs(fit.log_alpha - r.exact[2]), exact_tolerance);
  EXPECT_LE(std::fabs(fit.mu - r.limma[0]) / sigma, limma_tolerance);
  EXPECT_LE(std::fabs(fit.log_sigma - r.limma[1]), limma_tolerance);
  EXPECT_LE(std::fabs(fit.log_alpha - r.limma[2]), limma_tolerance);
  for (std::size_t i = 0; i < r.spots.size(); ++i) {
    const std::size_t spot = r.spots[i];
    EXPECT_LE(relative(at_0[spot], r.exact_offset_0[i]), exact_tolerance) << "spot " << spot;
    EXPECT_LE(relative(at_0[spot], r.limma_offset_0[i]), limma_tolerance) << "spot " << spot;
    EXPECT_LE(relative(at_50[spot], r.limma_offset_50[i]), limma_tolerance) << "spot " << spot;
    EXPECT_EQ(at_50[spot], at_0[spot] + 50.0);
  }
}

}  // namespace

// log Phi(z) and phi(z) / Phi(z) from R: pnorm(z, log.p = TRUE) and exp(dnorm(z, log = TRUE) -
// pnorm(z, log.p = TRUE)), whose difference of two logarithms of size |log Phi| costs R's hazard
// a relative error of about 1e-16 |log Phi|. Across the switch to the series at -12 and far
// beyond, where erfc underflows, and above 0, where log Phi = log(1 - Q) is near 0; above 9
// both are 0.
TEST(NormalTail, AgreesWithRFromFarInTheLowerTailToPhiOfOne) {
  struct Point {
    double z, log_cdf, hazard;
  };
  const Point points[] = {
      {-1000.0, -500007.82669481216, 1000.0009999499919},
      {-60.0, -1805.013560680567, 60.016657420232093},
      {-37.5, -707.66898931750723, 37.526628874883571},
      {-36.5, -670.64200000031371, 36.527356284474159},
      {-10.0, -53.23128515051247, 10.098093233962491},
      {-2.0, -3.7831843336820317, 2.3732155328228401},
      {0.0, -0.69314718055994529, 0.79788456080286529},
      {2.0, -0.023012909328963493, 0.055247862678989949},
      {8.5, -9.4795348222033192e-18, 8.1662356316695403e-17},
  };
  for (const Point& p : points) {
    const NormalTail tail = normal_tail(p.z);
    EXPECT_LE(relative(tail.log_cdf, p.log_cdf), 2e-16 * (1.0 + p.z * p.z)) << "z = " << p.z;
    EXPECT_LE(relative(tail.hazard, p.hazard), 2e-15 + 2e-16 * std::fabs(p.log_cdf))
        << "z = " << p.z;
  }
  EXPECT_EQ(normal_tail(9.5).log_cdf, 0.0);
  EXPECT_EQ(normal_tail(9.5).hazard, 0.0);
}

// E[Y | Y > 0] for Y ~ N(c, 1) is sqrt(2 / pi) at c = 0, c itself far above 0, and 1 / |c| (1 -
// 2 / c^2 + ...) far below, where c + phi / Phi cancels to nothing: the series keeps it, and the
// switch to it at c = -12 joins it to within the 3e-12 that erfc's rounded argument leaves after
// the cancellation (about 1e-16 c^4). The mean scales with sd.
TEST(NormalTail, PositiveNormalMeanKeepsEveryDigitFarBelowZero) {
  EXPECT_NEAR(positive_normal_mean(0.0, 1.0), std::sqrt(2.0 / std::numbers::pi), 1e-15);
  EXPECT_EQ(positive_normal_mean(20.0, 1.0), 20.0);
  EXPECT_NEAR(positive_normal_mean(0.0, 3.0), 3.0 * std::sqrt(2.0 / std::numbers::pi), 1e-14);
  const double c = -1e4;
  EXPECT_LE(relative(positive_normal_mean(c, 1.0), (1.0 - 2.0 / (c * c)) / -c), 4e-15);
  const double below = positive_normal_mean(std::nextafter(-12.0, -13.0), 1.0);
  const double above = positive_normal_mean(-12.0, 1.0);
  EXPECT_LE(relative(below, above), 5e-12);
  for (double mean : {-1e6, -500.0, -40.0, -5.0, -1e-3})
    EXPECT_GT(positive_normal_mean(mean, 2.0), 0.0) << mean;
}

// The model itself, 2,000 draws. limma stops 1.2e-7 short in log sigma.
TEST(Normexp, SimulatedChannelAgreesWithLimma) {
  const LimmaChannel r = {
      {99.820078281134869, 2.822008807445004, 5.9857610197344711},
      {99.82007974598541, 2.8220089299389217, 5.9857610160688441},
      {569, 1244, 1587, 1992, 922, 0, 999},
      {5.0519305828682235, 3544.7773097911636, 7.0459656775181045, 41.361218014154893,
       266.27829129903938, 80.485058980322009, 495.05941835569064},
      {55.051930582868223, 3594.7773097911636, 57.045965677518105, 91.3612180141549,
       316.27829129903938, 130.48505898032201, 545.0594183556907},
      {5.0519315198392505, 3544.7773081496371, 7.0459667802034787, 41.361216750717588,
       266.27828965751291, 80.485057339035535, 495.05941671416417}};
  expect_agreement(normexp_channel(), r, 1e-9, 1e-6);
}

// Heavy tails on both sides, down to -783: the lowest spots' signal is tiny but positive.
TEST(Normexp, HeavyTailedChannelAgreesWithLimma) {
  const LimmaChannel r = {
      {68.816404005390837, 4.2169758446163312, 6.4574252903757987},
      {68.816404005373641, 4.2169758446165151, 6.4574252903758218},
      {247, 1664, 659, 1268, 440, 0, 999},
      {5.2917935837346022, 15170.008293358826, 27.293841583051744, 76.591123275519948,
       276.41175743456847, 54.820863817835274, 635.08439794675076},
      {55.291793583734602, 15220.008293358826, 77.293841583051744, 126.59112327551995,
       326.41175743456847, 104.82086381783527, 685.08439794675076},
      {5.2917935837352843, 15170.00829335884, 27.293841583061408, 76.591123275537115,
       276.41175743458319, 54.820863817850629, 635.08439794676542}};
  expect_agreement(heavy_tailed_channel(), r, 1e-9, 1e-9);
}

// Whole numbers with many ties: floor((100 + 20 * normal(k, 1, 2) + 400 * e) / 10), 189 distinct
// values among 2,000, each fitted once with its count as weight, and each one's signal reused.
TEST(Normexp, TiedWholeNumbersAgreeWithLimma) {
  std::vector<double> x = normexp_channel();
  for (double& value : x)
    value = std::floor(value / 10);
  const LimmaChannel r = {
      {9.5036280333741274, 0.54915787046451703, 3.6822921040853061},
      {9.5036280932529476, 0.54915792542823283, 3.6822921027462789},
      {569, 1244, 1587, 298, 1468, 0, 999},
      {0.53746662771471865, 354.42089866930507, 0.76248682928403699, 4.4476069925997548,
       26.420898669305085, 8.4209037408024514, 49.420898669305082},
      {50.537466627714721, 404.42089866930507, 50.762486829284036, 54.447606992599752,
       76.420898669305089, 58.420903740802451, 99.420898669305075},
      {0.53746667249096003, 354.42089860102863, 0.76248688224773886, 4.447606938119816,
       26.420898601028615, 8.4209036725338251, 49.420898601028618}};
  expect_agreement(x, r, 1e-9, 1e-6);
}

// A real array: swirl.1.spot's Rmean - morphR, read in R with read.delim. limma stops 7.5e-7
// short in log sigma, which moves the signal of the lowest spot by 1.2e-6 of itself.
TEST(Normexp, RealArrayAgreesWithLimma) {
  const std::vector<double> x = swirl_channel("Rmean", "morphR");
  if (x.empty()) GTEST_SKIP() << "the real arrays (shared/realdata) are not here";
  ASSERT_EQ(x.size(), 8448u);
  const LimmaChannel r = {
      {74.28844396926776, 1.6733774459592898, 8.6657438775047577},
      {74.288443185796069, 1.6733781956529257, 8.6657438776274009},
      {7929, 5429, 5742, 5109, 6945, 0, 999},
      {2.2854367744190451, 57739.276658327864, 3.0382034848236481, 321.20665832786108,
       3536.4986583278605, 19290.176658327862, 225.23045832786107},
      {52.285436774419047, 57789.276658327864, 53.038203484823647, 371.20665832786108,
       3586.4986583278605, 19340.176658327862, 275.23045832786107},
      {2.2854395019592744, 57739.276659103991, 3.0382066487429906, 321.20665910398981,
       3536.4986591039897, 19290.176659103992, 225.23045910398977}};
  expect_agreement(x, r, 1e-9, 1.5e-6);
}

// swirl.1.spot's Gmean - morphG: the likelihood keeps rising as sigma falls to 0 with mu just
// below the lowest value (63.0556, 3.2 below the next), towards that of an exponential shifted
// to it. limma's optimiser ends there with "singular convergence" at sigma = 2e-6, mu =
// 63.05559042, alpha = 8571.97 (-2 log L = 169914.57304); the edge itself has alpha = mean -
// lowest and -2 log L = 169914.57252. The signal is then x - lowest: limma's is larger by its mu's
// shortfall, 9.6e-6, which at offset 50 is 2e-7 of the value.
TEST(Normexp, RealArrayWithoutBackgroundSpread) {
  const std::vector<double> x = swirl_channel("Gmean", "morphG");
  if (x.empty()) GTEST_SKIP() << "the real arrays (shared/realdata) are not here";
  NormexpFit fit;
  const std::vector<double> at_50 = corrected(x, 50.0, &fit);
  EXPECT_EQ(fit.status, NormexpStatus::no_background_spread);
  EXPECT_EQ(fit.mu, 63.055599999999998);
  EXPECT_TRUE(std::isinf(fit.log_sigma) && fit.log_sigma < 0);
  EXPECT_NEAR(fit.log_alpha, std::log(8637.1182420336172 - 63.055599999999998), 1e-12);
  EXPECT_NEAR(-2.0 * fit.log_likelihood, 169914.5725208731, 1e-7);
  const std::size_t spots[] = {5496, 5682, 2819, 5301, 2366, 0, 999};
  const double limma_offset_50[] = {50.000009577005393, 55580.934409576999, 53.19630957700047,
                                    412.46440957700042, 5539.0414095770002, 21833.204409577,
                                    358.80150957700045};
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(at_50[spots[i]], x[spots[i]] - fit.mu + 50.0);
    EXPECT_LE(relative(at_50[spots[i]], limma_offset_50[i]), 2e-7) << "spot " << spots[i];
  }
  EXPECT_EQ(at_50[5496], 50.0);
}

// Draws of an exponential alone, shifted by 10: no normal part, so the fit is the edge, with mu
// the lowest value and alpha the mean less it.
TEST(Normexp, ExponentialDrawsHaveNoBackgroundSpread) {
  std::vector<double> x;
  double lowest = 1e300, sum = 0.0;
  for (int k = 1; k <= 2000; ++k) {
    x.push_back(10.0 + 300.0 * exponential(k));
    lowest = std::min(lowest, x.back());
    sum += x.back();
  }
  NormexpFit fit;
  const std::vector<double> signal = corrected(x, 0.0, &fit);
  EXPECT_EQ(fit.status, NormexpStatus::no_background_spread);
  EXPECT_EQ(fit.mu, lowest);
  EXPECT_NEAR(fit.log_alpha, std::log(sum / 2000 - lowest), 1e-12);
  for (std::size_t i = 0; i < x.size(); ++i)
    EXPECT_EQ(signal[i], x[i] - lowest);
}

// Normal draws alone, 100 + 20 * normal(k, 1, 2): no signal, so the likelihood is highest as
// alpha goes to 0, at that of the normal distribution of the values' mean and variance (-2 log L
// = 17603.387723862). limma's optimiser stops on the way, at alpha = exp(-1.585) = 0.2 (-2 log L
// = 17603.387802442), where it leaves every spot a signal near 0.2 (50.20 at offset 50); here
// every signal is 0.
TEST(Normexp, NormalDrawsHaveNoSignal) {
  std::vector<double> x;
  for (int k = 1; k <= 2000; ++k)
    x.push_back(100 + 20 * normal(k, 1, 2));
  NormexpFit fit;
  const std::vector<double> signal = corrected(x, 50.0, &fit);
  EXPECT_EQ(fit.status, NormexpStatus::no_signal);
  EXPECT_NEAR(fit.mu, 99.891649405184964, 1e-12);
  EXPECT_NEAR(2.0 * fit.log_sigma, std::log(389.09237975782543), 1e-12);
  EXPECT_TRUE(std::isinf(fit.log_alpha) && fit.log_alpha < 0);
  EXPECT_NEAR(-2.0 * fit.log_likelihood, 17603.38772386219, 1e-8);
  for (double value : signal)
    EXPECT_EQ(value, 50.0);
}

// Foreground alone (background null) is the same as foreground less a background of 0, as limma
// does nothing special; a background is subtracted before the fit.
TEST(Normexp, ForegroundAloneAndWithBackground) {
  const std::vector<double> x = normexp_channel();
  const std::vector<double> alone = corrected(x, 0.0);
  EXPECT_EQ(with_background(x, std::vector<double>(x.size(), 0.0)), alone);
  std::vector<double> plus_ten = x;
  for (double& value : plus_ten)
    value += 10.0;
  const std::vector<double> less_ten =
      with_background(plus_ten, std::vector<double>(x.size(), 10.0));
  for (std::size_t i = 0; i < x.size(); ++i)
    EXPECT_NEAR(less_ten[i], alone[i], 1e-9 * alone[i]);
}

// Missing values (not a number, and infinities too) are left out of the fit, as limma's
// normexp.fit drops NA, and stay missing; the other spots are corrected as if they were absent.
TEST(Normexp, MissingValuesAreLeftOut) {
  const std::vector<double> x = normexp_channel();
  std::vector<double> holes;
  const double inf = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (i % 100 == 7) holes.push_back(kNaN);
    if (i % 250 == 3) holes.push_back(i % 500 == 3 ? inf : -inf);
    holes.push_back(x[i]);
  }
  NormexpFit plain, holed;
  const std::vector<double> expected = corrected(x, 50.0, &plain);
  const std::vector<double> got = corrected(holes, 50.0, &holed);
  EXPECT_EQ(holed.mu, plain.mu);
  EXPECT_EQ(holed.log_sigma, plain.log_sigma);
  EXPECT_EQ(holed.log_alpha, plain.log_alpha);
  std::size_t next = 0;
  for (std::size_t i = 0; i < holes.size(); ++i) {
    if (std::isfinite(holes[i]))
      EXPECT_EQ(got[i], expected[next++]);
    else
      EXPECT_TRUE(std::isnan(got[i])) << i;
  }
  EXPECT_EQ(next, x.size());
}

// limma stops with fewer than 4 values and cannot correct values that are all the same: no
// parameters, and every corrected value missing.
TEST(Normexp, TooFewValuesOrNoSpread) {
  const std::vector<double> three = {1.0, kNaN, 5.0, 2.0};
  NormexpFit fit;
  std::vector<double> out = corrected(three, 0.0, &fit);
  EXPECT_EQ(fit.status, NormexpStatus::too_few_values);
  EXPECT_FALSE(usable(fit));
  for (double value : out)
    EXPECT_TRUE(std::isnan(value));
  out = corrected({7.0, 7.0, 7.0, 7.0, kNaN}, 0.0, &fit);
  EXPECT_EQ(fit.status, NormexpStatus::all_equal);
  EXPECT_FALSE(usable(fit));
  for (double value : out)
    EXPECT_TRUE(std::isnan(value));
}

// The start of the fit alone, limma's normexp.fit(x, method = "saddle") on the simulated channel:
// the same 143 evaluations of the saddle-point approximation to the same point, and its minus twice
// log-likelihood to rounding.
TEST(NormexpStart, SaddlePointFitAgreesWithLimma) {
  const std::vector<double> x = normexp_channel();
  const NormexpFit fit = fit_normexp_saddle(x.data(), x.size());
  EXPECT_EQ(fit.status, NormexpStatus::converged);
  EXPECT_EQ(fit.start_evaluations, 143);
  EXPECT_NEAR(fit.mu, 98.733000617339243, 1e-9);
  EXPECT_NEAR(fit.log_sigma, 2.7245563658990859, 1e-11);
  EXPECT_NEAR(fit.log_alpha, 5.9886136439482707, 1e-11);
  EXPECT_LE(relative(-2.0 * fit.log_likelihood, 28112.951622628862), 1e-13);
}

// Where the likelihood has more than one maximum the fit must climb to limma's, from limma's
// start. Each case gives limma's saddle-point start (normexp.fit(x, "saddle"): par, m2loglik and
// fncount), its "mle" fit (par) and backgroundCorrect.matrix(matrix(x), method = "normexp",
// normexp.method = "mle", offset = 0 and 50) at some spots.
struct LimmaClimb {
  double saddle[3];
  double saddle_m2loglik;
  int saddle_evaluations;
  double mle[3];
  std::vector<double> spot_x, offset_0, offset_50;
};

// limma's optimiser stops a little short of the maximum: the parameters agree to within
// `tolerance` (mu in sigmas), the signals relatively to within `offset_0_tolerance` at offset 0
// (the lowest spots, whose signal is small, move most) and `offset_50_tolerance` at offset 50;
// the start to rounding.
void expect_limmas_climb(const std::vector<double>& x, const LimmaClimb& r, double tolerance,
                         double offset_0_tolerance, double offset_50_tolerance) {
  const NormexpFit start = fit_normexp_saddle(x.data(), x.size());
  EXPECT_EQ(start.start_evaluations, r.saddle_evaluations);
  EXPECT_NEAR(start.mu, r.saddle[0], 1e-9 * std::exp(r.saddle[1]));
  EXPECT_NEAR(start.log_sigma, r.saddle[1], 1e-9);
  EXPECT_NEAR(start.log_alpha, r.saddle[2], 1e-9);
  EXPECT_LE(relative(-2.0 * start.log_likelihood, r.saddle_m2loglik), 1e-12);
  const NormexpFit fit = fit_normexp(x.data(), x.size());
  ASSERT_EQ(fit.status, NormexpStatus::converged);
  EXPECT_NEAR(fit.mu, r.mle[0], tolerance * std::exp(r.mle[1]));
  EXPECT_NEAR(fit.log_sigma, r.mle[1], tolerance);
  EXPECT_NEAR(fit.log_alpha, r.mle[2], tolerance);
  std::vector<double> at_0(r.spot_x.size()), at_50(r.spot_x.size());
  normexp_signal(fit, r.spot_x.data(), r.spot_x.size(), 0.0, at_0.data());
  normexp_signal(fit, r.spot_x.data(), r.spot_x.size(), 50.0, at_50.data());
  for (std::size_t i = 0; i < r.spot_x.size(); ++i) {
    EXPECT_LE(relative(at_0[i], r.offset_0[i]), offset_0_tolerance) << "x = " << r.spot_x[i];
    EXPECT_LE(relative(at_50[i], r.offset_50[i]), offset_50_tolerance) << "x = " << r.spot_x[i];
  }
}

// The CCl4 arrays, array 13, green channel (foreground less background): the likelihood has a
// maximum at sigma = 0.863 (-2 log L = 563422.63), which limma reaches from its start at sigma
// 0.894, and a higher one at sigma = 2.907 (-2 log L = 563221.37), which a climb from the moment
// estimates reaches. limma stops 1.3e-6 short in log sigma (its gradient 8.7e-5 against 3e-9
// here), which moves the signal of the lowest spot by 2.1e-6 of itself. Spots with x = -4, -1,
// 9, 15, 38, 1000 and 64468.
TEST(NormexpStart, Ccl4ArrayClimbsToLimmasMaximum) {
  std::vector<double> x;
  for (std::size_t i = 0; i < std::size(kCcl4Array13GreenCounts); i += 2)
    x.insert(x.end(), static_cast<std::size_t>(kCcl4Array13GreenCounts[i + 1]),
             kCcl4Array13GreenCounts[i]);
  ASSERT_EQ(x.size(), 44290u);
  const LimmaClimb r = {
      {-0.76385271623167439, -0.1120631119547032, 5.3568833629294499},
      563636.30104640836,
      122,
      {-0.82150602656398897, -0.14735045558721907, 5.3569449629970585},
      {-4, -1, 9, 15, 38, 1000, 64468},
      {0.20809494281913965, 0.62645981292447028, 9.8179942944173941, 15.817994294417394,
       38.817994294417389, 1000.8179942944173, 64468.817994294419},
      {50.208094942819137, 50.626459812924473, 59.817994294417396, 65.817994294417389,
       88.817994294417389, 1050.8179942944173, 64518.817994294419}};
  expect_limmas_climb(x, r, 2e-6, 2.5e-6, 1e-7);
  const NormexpFit fit = fit_normexp(x.data(), x.size());
  EXPECT_NEAR(-2.0 * fit.log_likelihood, 563422.62518588116, 1e-6);
}

// swirl.4.spot's Rmean alone (no background subtracted): limma climbs from sigma 1.389 to a
// maximum at sigma 1.342 (-2 log L = 161321.9067), although the likelihood is higher at the edge
// sigma -> 0 (161321.2805) and has another maximum at sigma 4.40. limma stops 1.8e-5 short in
// log sigma (its gradient 2.9e-5 against 1e-9 here), 1.7e-5 of the lowest spot's signal. Spots
// 6774, 6020, 820, 0 and 999 (the lowest, the highest, the second lowest).
TEST(NormexpStart, RealArrayStaysAtTheMaximumInsideBelowTheEdge) {
  const std::vector<double> x = swirl_channel("Rmean", "", 4);
  if (x.empty()) GTEST_SKIP() << "the real arrays (shared/realdata) are not here";
  ASSERT_EQ(x.size(), 8448u);
  const LimmaClimb r = {{108.85433019222521, 0.32859307581254654, 8.5476700291278291},
                        161360.54776815255,
                        185,
                        {108.77453106242841, 0.29412034414967564, 8.5476996450074729},
                        {x[6774], x[6020], x[820], x[0], x[999]},
                        {0.77318521882175917, 51082.955119595499, 1.6558282328515201,
                         13945.765119595497, 274.79651959549602},
                        {50.773185218821759, 51132.955119595499, 51.655828232851519,
                         13995.765119595497, 324.79651959549602}};
  EXPECT_EQ(r.spot_x[0], 107.7532);
  expect_limmas_climb(x, r, 2.5e-5, 2e-5, 3e-7);
}

// Whole numbers with a background spread of about 1, floor(3.3 + 0.5 normal(k, 1, 2) + 1500 e):
// limma climbs to a maximum at sigma 1.807 (-2 log L = 33232.1846), below the edge sigma -> 0
// with mu the lowest value (33231.5112), where a climb from the moment estimates goes. Spots 570,
// 1245, 890, 1 and 1000 (in R's numbering: the lowest, the highest, the third lowest).
TEST(NormexpStart, WholeNumbersStayAtTheMaximumInsideBelowTheEdge) {
  std::vector<double> x;
  for (int k = 1; k <= 2000; ++k)
    x.push_back(std::floor(3.3 + 0.5 * normal(k, 1, 2) + 1500 * exponential(k)));
  const LimmaClimb r = {{3.2144104666932334, 0.48710863327296361, 7.3076057017571596},
                        33241.67499029691,
                        139,
                        {3.3829530555643834, 0.59148022450438809, 7.3069504701395074},
                        {2, 13337, 6, 475, 1978},
                        {1.0387280747453738, 13333.614857242881, 2.887911370675746,
                         471.61485724288156, 1974.6148572428815},
                        {51.038728074745372, 13383.614857242881, 52.887911370675745,
                         521.6148572428815, 2024.6148572428815}};
  expect_limmas_climb(x, r, 1e-6, 1e-6, 1e-7);
  const NormexpFit fit = fit_normexp(x.data(), x.size());
  EXPECT_NEAR(-2.0 * fit.log_likelihood, 33232.184572519465, 1e-6);
}

// Whole numbers with a background spread of 0.2, floor(7.7 + 0.2 normal(k, 1, 2) + 1000 e): the
// saddle-point approximation has no maximum inside, and rises on towards sigma = 0; limma's
// Nelder-Mead stops on the way, at sigma 0.72 after 205 evaluations, and its climb from there ends
// at a maximum inside at sigma 1.026 (-2 log L = 31609.5693), below the edge sigma -> 0
// (31608.3148), where a climb from further down the approximation's slope goes. The start must
// then be Nelder-Mead's. limma stops 2.8e-6 short in log sigma (its gradient 2e-5 against 2e-13
// here), 3.6e-6 of the lowest spot's signal. Spots 570, 1245, 890, 1 and 1000 (in R's numbering).
//   x <- floor(7.7 + 0.2 * normal(k, 1, 2) + 1000 * e)
//   normexp.fit(x, "saddle"); normexp.fit(x, "mle")
//   backgroundCorrect.matrix(matrix(x), method = "normexp", normexp.method = "mle",
//                            offset = 0 and 50)[c(570, 1245, 890, 1, 1000)]
TEST(NormexpStart, WholeNumbersWhoseApproximationRisesToTheEdgeStartAsLimmas) {
  std::vector<double> x;
  for (int k = 1; k <= 2000; ++k)
    x.push_back(std::floor(7.7 + 0.2 * normal(k, 1, 2) + 1000 * exponential(k)));
  const LimmaClimb r = {{7.3010827655928363, -0.33344194443474895, 6.9027466883413595},
                        31618.895068869817,
                        205,
                        {7.6066373311221973, 0.02547447578674595, 6.9014684248029603},
                        {7, 8897, 9, 322, 1324},
                        {0.6328664325222908, 8889.3923037634013, 1.5708022156649917,
                         314.39230376340083, 1316.3923037634008},
                        {50.632866432522292, 8939.3923037634013, 51.57080221566499,
                         364.39230376340083, 1366.3923037634008}};
  expect_limmas_climb(x, r, 3e-6, 4e-6, 1e-7);
  const NormexpFit fit = fit_normexp(x.data(), x.size());
  EXPECT_NEAR(-2.0 * fit.log_likelihood, 31609.569340504855, 1e-6);
  EXPECT_GT(fit.start_evaluations, 205);  // Newton's steps, then Nelder-Mead's 205
}

// A channel of 27,648 continuous values, as the scanners write: the start takes a handful of
// passes over the values with the gradient and Hessian (Nelder-Mead would take over a hundred
// evaluations), and the climb from it a few more.
TEST(NormexpStart, ContinuousChannelStartsInAFewPasses) {
  std::vector<double> x;
  for (int k = 1; k <= 27648; ++k)
    x.push_back(100 + 20 * normal(k, 1, 2) + 400 * exponential(k));
  const NormexpFit fit = fit_normexp(x.data(), x.size());
  EXPECT_EQ(fit.status, NormexpStatus::converged);
  EXPECT_LE(fit.start_evaluations, 12);
  EXPECT_LE(fit.passes, 6);
}
