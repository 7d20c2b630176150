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

#include "numeric/normexp.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Simulated channels from a hash of k, computed alike in R (the same C library gives the same
// sin, log and cos, to the bit):
//   u <- function(k, j) { v <- sin(k * 1.0 + j * 0.5) * 43758.5453; v - floor(v) }
//   normal <- function(k, a, b) sqrt(-2 * log(1 - u(k, a))) * cos(2 * pi * u(k, b))
//   k <- 1:2000; e <- -log(1 - u(k, 3))
double uniform(int k, int j) {
  const double v = std::sin(k * 1.0 + j * 0.5) * 43758.5453;
  return v - std::floor(v);
}

double normal(int k, int a, int b) {
  return std::sqrt(-2.0 * std::log(1.0 - uniform(k, a))) *
         std::cos(2.0 * std::numbers::pi * uniform(k, b));
}

double exponential(int k) {
  return -std::log(1.0 - uniform(k, 3));
}

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

// A column of a swirl array (foreground less background), or nothing without the real data.
std::vector<double> swirl_channel(const std::string& foreground, const std::string& background) {
  const std::filesystem::path file =
      std::filesystem::path(CORVANE_REALDATA) / "swirl" / "swirl.1.spot";
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
      if (i == background_column) bg = std::strtod(field.c_str(), nullptr);
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
