// The linear models against R's limma. The expected numbers were printed by R 4 with limma 3.54
// (sprintf("%.17g")) from the designs and values written out in each test:
//
//   mm <- function(cy3, cy5, ref) modelMatrix(data.frame(Cy3 = cy3, Cy5 = cy5), ref = ref)
//   fit <- lmFit(M, design); eb <- eBayes(fit)       # or eBayes(contrasts.fit(fit, cm))
//   fit$coefficients, fit$stdev.unscaled, fit$sigma, fit$df.residual, eb$df.prior, eb$s2.prior,
//   eb$var.prior, eb$s2.post, eb$df.total, eb$t, eb$p.value, eb$lods, eb$F, eb$F.p.value
//
// M and the gene tables here hold one row per gene.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "numeric/linear_model.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// limma's numbers are met within this share of their size; a number that is rounding noise
// around 0 (limma's 1e-17 for a coefficient of 0) within this much.
constexpr double kAgreement = 1e-10;
constexpr double kNoise = 1e-12;

// limma's fit (or contrasts.fit) and eBayes, in the layout of LinearFit and ModeratedTests.
struct LimmaNumbers {
  std::vector<double> coefficients, stdev_unscaled, sigma, df_residual, prior, var_prior, s2_post,
      df_total, t, p_value, lods, f, f_p_value;
};

void expect_agree(const std::vector<double>& ours, const std::vector<double>& limma,
                  const std::string& what) {
  ASSERT_EQ(ours.size(), limma.size()) << what;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    if (std::isnan(limma[i]) || std::isinf(limma[i])) {
      EXPECT_TRUE(ours[i] == limma[i] || (std::isnan(ours[i]) && std::isnan(limma[i])))
          << what << "[" << i << "] is " << ours[i] << ", limma's " << limma[i];
    } else {
      EXPECT_NEAR(ours[i], limma[i], std::max(kAgreement * std::fabs(limma[i]), kNoise))
          << what << "[" << i << "]";
    }
  }
}

void expect_limma(const LinearFit& fit, const ModeratedTests& tests, const LimmaNumbers& limma) {
  expect_agree(fit.coefficients, limma.coefficients, "coefficients");
  expect_agree(fit.stdev_unscaled, limma.stdev_unscaled, "stdev_unscaled");
  expect_agree(fit.sigma, limma.sigma, "sigma");
  expect_agree(fit.df_residual, limma.df_residual, "df_residual");
  expect_agree({tests.prior.df, tests.prior.variance}, limma.prior, "prior");
  expect_agree(tests.var_prior, limma.var_prior, "var_prior");
  expect_agree(tests.s2_post, limma.s2_post, "s2_post");
  expect_agree(tests.df_total, limma.df_total, "df_total");
  expect_agree(tests.t, limma.t, "t");
  expect_agree(tests.p_value, limma.p_value, "p_value");
  expect_agree(tests.lods, limma.lods, "lods");
  expect_agree(tests.f, limma.f, "F");
  expect_agree(tests.f_p_value, limma.f_p_value, "F p-value");
}

Design design_of(int32_t arrays, std::vector<std::string> names, std::vector<double> values) {
  Design design;
  design.arrays = arrays;
  design.names = std::move(names);
  design.values = std::move(values);
  return design;
}

LinearDesign prepared(const Design& design) {
  LinearDesign result;
  std::string error;
  EXPECT_TRUE(prepare_design(design, result, error)) << error;
  return result;
}

ModeratedTests moderated(const LinearFit& fit) {
  ModeratedTests tests;
  std::string error;
  EXPECT_TRUE(moderate_tests(fit, tests, error)) << error;
  return tests;
}

// A common reference R and samples A, B, C on seven arrays:
//   mm(rep("R", 7), c("A", "B", "C", "A", "B", "C", "A"), "R")
// clang-format off
const Design kReferenceDesign = design_of(7, {"A", "B", "C"}, {1, 0, 0,
                                                               0, 1, 0,
                                                               0, 0, 1,
                                                               1, 0, 0,
                                                               0, 1, 0,
                                                               0, 0, 1,
                                                               1, 0, 0});
// Genes with one value missing (3), two (4), both of sample C's (5: C cannot be estimated), all
// (6), and values on one array of each sample only (9: no residual degrees of freedom).
const std::vector<double> kReferenceValues = {
    0.52, -0.31, 0.08, 0.61, -0.12, 0.17, 0.44,
    -0.23, 0.15, 0.92, -0.81, 0.73, 1.57, -0.05,
    1.21, 0.36, -0.48, kNaN, 0.27, -0.66, 0.98,
    0.05, kNaN, 0.19, -0.11, kNaN, 0.31, 0.22,
    -0.72, 0.41, kNaN, -0.93, 0.12, kNaN, -0.58,
    kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN,
    0.33, 0.29, -0.14, 0.34, 0.30, -0.15, 0.32,
    2.35, -0.18, 0.26, 2.61, -0.34, 0.11, 2.12,
    0.14, -0.27, 0.38, kNaN, kNaN, kNaN, kNaN,
};
// clang-format on
}  // namespace

// Each gene on its own arrays; the prior from the genes' different degrees of freedom, those
// without any left out.
TEST(LinearModel, CommonReferenceWithMissingValues) {
  const LinearFit fit = fit_linear_model(prepared(kReferenceDesign), kReferenceValues);
  const ModeratedTests tests = moderated(fit);
  // clang-format off
  const LimmaNumbers limma = {
      .coefficients = {0.52333333333333332, -0.215, 0.12499999999999999, -0.3633333333333334,
        0.43999999999999989, 1.2450000000000001, 1.0949999999999998, 0.315, -0.56999999999999995,
        0.053333333333333337, kNaN, 0.24999999999999992, -0.7433333333333334, 0.26499999999999996,
        kNaN, kNaN, kNaN, kNaN, 0.33000000000000007, 0.29499999999999993, -0.14499999999999999,
        2.3600000000000012, -0.25999999999999995, 0.185, 0.14000000000000001,
        -0.27000000000000002, 0.38},
      .stdev_unscaled = {0.57735026918962584, 0.70710678118654746, 0.70710678118654746,
        0.57735026918962584, 0.70710678118654746, 0.70710678118654746, 0.70710678118654746,
        0.70710678118654746, 0.70710678118654746, 0.57735026918962584, kNaN, 0.70710678118654746,
        0.57735026918962584, 0.70710678118654746, kNaN, kNaN, kNaN, kNaN, 0.57735026918962584,
        0.70710678118654746, 0.70710678118654746, 0.57735026918962584, 0.70710678118654746,
        0.70710678118654746, 1, 1, 1},
      .sigma = {0.095612063395089764, 0.41680830925818485, 0.12476644848141928,
        0.14337208778404378, 0.18629427139758101, kNaN, 0.0086602540378443987,
        0.18990129014832932, kNaN},
      .df_residual = {4, 4, 3, 3, 3, 0, 4, 4, 0},
      .prior = {0.96619506511101594, 0.0045564362069480894},
      .var_prior = {351.62491827297288, 173.15176724113115, 40.077935404677682},
      .s2_post = {0.0082495899390124389, 0.14081586882425051, 0.012884491392562401,
        0.016658049278890866, 0.027361002437552975, 0.0045564362069480894, 0.00094688309983677235,
        0.029932856891178757, 0.0045564362069480894},
      .df_total = {4.966195065111016, 4.966195065111016, 3.966195065111016, 3.966195065111016,
        3.966195065111016, 0.96619506511101594, 4.966195065111016, 4.966195065111016,
        0.96619506511101594},
      .t = {9.9798231242238042, -3.3476286568018891, 1.9462957306987725, -1.6770270628251966,
        1.6582189532609655, 4.6920059018406874, 13.642547581228339, 3.9245684822711668,
        -7.1016001107763973, 0.71572680758663354, kNaN, 2.7393210528412624, -7.7835592069276682,
        2.2656606890244149, kNaN, kNaN, kNaN, kNaN, 18.574895733591653, 13.557787766612554,
        -6.6639973768095615, 23.626454036250127, -2.1252707306828458, 1.5122118660627943,
        2.0740316932602378, -3.9999182655733159, 5.6295145959920738},
      .p_value = {0.00017934370942273984, 0.020593148863220362, 0.10957838148581214,
        0.15478039698742715, 0.15856901474853718, 0.0054690363288157212, 0.00017617469279599128,
        0.017463312857308289, 0.0021442740559625777, 0.51403557272977685, kNaN,
        0.052426824668733031, 0.0015211638992748279, 0.086708403420411417, kNaN, kNaN, kNaN, kNaN,
        8.8219334607593058e-06, 4.103918000888704e-05, 0.0011792346555678536,
        2.7024337794534671e-06, 0.087299702245267424, 0.19127570006907438, 0.29278113727077743,
        0.1626778892324805, 0.11801251424109387},
      .lods = {0.95759415931969372, -4.017462642343256, -5.130133998249006, -6.7391934224848864,
        -6.2105373244585937, -1.903113611526952, 1.5748935811640346, -3.610041304472384,
        -0.65265084484885794, -7.7748591548877561, kNaN, -4.2136425205793309, -1.1849170298078606,
        -5.4674846036725739, kNaN, kNaN, kNaN, kNaN, 4.4275744458183421, 3.029982348165281,
        -0.25356852371098082, 5.7348949982536581, -5.5984234642357951, -5.680310304614629,
        -5.872820639160361, -4.4472410721151281, -3.5689175207362234},
      .f = {38.197184761989895, 9.1923430831032817, 83.984688803831602, kNaN, kNaN, kNaN,
        191.08307389214511, 188.33763024453276, 17.330796060800928},
      .f_p_value = {0.00074274413930269182, 0.018010685678445264, 0.00047923815297840392, kNaN,
        kNaN, kNaN, 1.5008157963087237e-05, 1.5551762162219195e-05, 0.18227027252125488},
  };
  // clang-format on
  expect_limma(fit, tests, limma);
  EXPECT_TRUE(std::isnan(fit.coefficients[4 * 3 + 2]));  // gene 5's C
  EXPECT_EQ(fit.df_residual[5], 0.0);
  EXPECT_EQ(tests.s2_post[8], tests.prior.variance);  // gene 9: the prior alone
}

// The samples' coefficients are uncorrelated: sqrt(sum u_j^2 C_jc^2). A gene without C has no
// mean of the three.
TEST(LinearModel, ContrastsOfUncorrelatedCoefficients) {
  const LinearFit fit = fit_linear_model(prepared(kReferenceDesign), kReferenceValues);
  const LinearFit contrasts =
      fit_contrasts(fit, {{"AB", {1, -1, 0}}, {"mean", {1.0 / 3, 1.0 / 3, 1.0 / 3}}});
  // clang-format off
  const LimmaNumbers limma = {
      .coefficients = {0.73833333333333329, 0.14444444444444443, -0.80333333333333323,
        0.44055555555555553, 0.7799999999999998, 0.27999999999999992, kNaN, kNaN,
        -1.0083333333333333, kNaN, kNaN, kNaN, 0.035000000000000142, 0.15999999999999998,
        2.620000000000001, 0.76166666666666705, 0.41000000000000003, 0.083333333333333315},
      .stdev_unscaled = {0.91287092917527679, 0.38490017945975052, 0.91287092917527679,
        0.38490017945975052, 0.99999999999999989, 0.40824829046386296, kNaN, kNaN,
        0.91287092917527679, kNaN, kNaN, kNaN, 0.91287092917527679, 0.38490017945975052,
        0.91287092917527679, 0.38490017945975052, 1.4142135623730951, 0.57735026918962573},
      .sigma = {0.095612063395089764, 0.41680830925818485, 0.12476644848141928,
        0.14337208778404378, 0.18629427139758101, kNaN, 0.0086602540378443987,
        0.18990129014832932, kNaN},
      .df_residual = {4, 4, 3, 3, 3, 0, 4, 4, 0},
      .prior = {0.96619506511101594, 0.0045564362069480894},
      .var_prior = {432.79131595391522, 50.94407092566211},
      .s2_post = {0.0082495899390124389, 0.14081586882425051, 0.012884491392562401,
        0.016658049278890866, 0.027361002437552975, 0.0045564362069480894, 0.00094688309983677235,
        0.029932856891178757, 0.0045564362069480894},
      .df_total = {4.966195065111016, 4.966195065111016, 3.966195065111016, 3.966195065111016,
        3.966195065111016, 0.96619506511101594, 4.966195065111016, 4.966195065111016,
        0.96619506511101594},
      .t = {8.9048563510490322, 4.1317739049334223, -2.3450959213230251, 3.0501891303219741,
        6.8716489203017526, 6.0422684525130101, kNaN, kNaN, -6.6777283026827314, kNaN, kNaN, kNaN,
        1.245978317357753, 13.509015078975745, 16.58890918678911, 11.437806667972785,
        4.2949312044789574, 2.1382906364493097},
      .p_value = {0.00030782985269136519, 0.0092010125669158109, 0.066311598587781753,
        0.028668773190538847, 0.0024233625294863841, 0.003888635144479752, kNaN, kNaN,
        0.0026943241010812841, kNaN, kNaN, kNaN, 0.26832346889174741, 4.1763375866859968e-05,
        1.5350588085714417e-05, 9.3354079046525592e-05, 0.1522406797172938, 0.28529783881434051},
      .lods = {0.63346683898029177, -3.101171883355299, -5.5049726784339468, -4.3842238310114876,
        -1.3477279954021659, -1.7634911529049084, kNaN, kNaN, -1.5553980891769585, kNaN, kNaN,
        kNaN, -6.9127163481441238, 3.0126134043790609, 4.0056942241489431, 2.1331520561018467,
        -4.4191321977626341, -5.426241360530935},
      .f = {55.386125115391792, 6.4313619485821487, 49.67100188023317, kNaN, kNaN, kNaN,
        97.112142110992892, 238.98288127397274, 13.293793328053601},
      .f_p_value = {0.00040223389923158052, 0.041843643004418576, 0.0015574295470631781, kNaN,
        kNaN, kNaN, 0.0001044688434235616, 1.1586288736534609e-05, 0.19816952035513249},
  };
  // clang-format on
  expect_limma(contrasts, moderated(contrasts), limma);
  EXPECT_EQ(contrasts.names, (std::vector<std::string>{"AB", "mean"}));
}

// A loop of arrays between A, B and C with the reference: correlated coefficients, and four
// contrasts of three coefficients, so the F has three degrees of freedom.
//   mm(c("R","A","B","R","C","A","R","B"), c("A","B","C","B","A","C","C","R"), "R")
//   cm <- makeContrasts(AvsBC = A - (B + C) / 2, third = (A + B + C) / 3, d = 0.5 * (A - B),
//                       e = 2 * A - B / 4, levels = design)
TEST(LinearModel, ContrastsWithFractionsOfCorrelatedCoefficients) {
  // clang-format off
  const Design design = design_of(8, {"A", "B", "C"}, { 1,  0,  0,
                                                       -1,  1,  0,
                                                        0, -1,  1,
                                                        0,  1,  0,
                                                        1,  0, -1,
                                                       -1,  0,  1,
                                                        0,  0,  1,
                                                        0, -1,  0});
  const std::vector<double> values = {
      0.81, 0.12, -0.33, 0.95, -0.71, -0.64, 0.05, -0.88,
      -0.15, 0.22, 0.31, 0.02, -0.27, 0.41, 0.36, -0.11,
      0.45, -0.92, 0.57, -0.38, 0.21, 0.73, 0.86, 0.47,
      1.12, kNaN, -0.24, 0.07, -1.35, 0.18, -0.21, kNaN,
      0.03, -0.18, 0.11, 0.24, -0.09, 0.15, 0.28, -0.31,
      -0.62, 0.55, kNaN, 0.49, 0.66, kNaN, 0.14, -0.52,
      0.27, 0.31, -0.42, 0.58, -0.61, -0.07, -0.19, -0.63,
  };
  // clang-format on
  const LinearFit fit = fit_linear_model(prepared(design), values);
  const std::vector<Contrast> contrasts = {{"AvsBC", {1, -0.5, -0.5}},
                                           {"third", {1.0 / 3, 1.0 / 3, 1.0 / 3}},
                                           {"d", {0.5, -0.5, 0}},
                                           {"e", {2, -0.25, 0}}};
  const LinearFit contrasted = fit_contrasts(fit, contrasts);
  const ModeratedTests tests = moderated(contrasted);
  // clang-format off
  const LimmaNumbers limma = {
      .coefficients = {-0.052083333333333259, 0.62055555555555553, -0.12124999999999991,
        0.96458333333333335, -0.27833333333333332, 0.092222222222222261, -0.07833333333333331,
        -0.20249999999999987, 0.29083333333333339, 0.25777777777777777, 0.38250000000000001,
        0.98166666666666669, -0.25115384615384617, 0.32666666666666666, -0.10884615384615384,
        0.22423076923076923, -0.054166666666666669, 0.22444444444444442, 0.0008333333333333387,
        0.32999999999999996, -0.19730769230769235, 0.016153846153846144, -0.2984615384615385,
        -0.35115384615384621, -0.27958333333333335, 0.25055555555555559, -0.23708333333333331,
        -0.0062499999999999778},
      .stdev_unscaled = {0.52041649986653316, 0.50917507721731559, 0.32274861218395134,
        1.2332207155790618, 0.52041649986653316, 0.50917507721731559, 0.32274861218395134,
        1.2332207155790618, 0.52041649986653316, 0.50917507721731559, 0.32274861218395134,
        1.2332207155790618, 0.60853599939665726, 0.59676436962775592, 0.39968063663686526,
        1.3909974255869477, 0.52041649986653316, 0.50917507721731559, 0.32274861218395134,
        1.2332207155790618, 0.55869366048258662, 0.56892218994955979, 0.34253075421816126,
        1.2968307598857725, 0.52041649986653316, 0.50917507721731559, 0.32274861218395134,
        1.2332207155790618},
      .sigma = {0.49288098631075911, 0.084340579398847704, 0.37425481515495118,
        0.94604168607671413, 0.12431143685652313, 0.4751679864896366, 0.3146717866815093},
      .df_residual = {5, 5, 5, 3, 5, 3, 5},
      .prior = {1.5759745224832382, 0.058366904736505784},
      .var_prior = {6.1243612101179847, 1.4131568428750565, 1.5817473566246656, 1.5368579206202582},
      .s2_post = {0.19869953627205578, 0.019396580849197039, 0.1204867940782525,
        0.60685857330748005, 0.025737846293189835, 0.16812563033180739, 0.089275957423556498},
      .df_total = {6.5759745224832384, 6.5759745224832384, 6.5759745224832384, 4.5759745224832384,
        6.5759745224832384, 4.5759745224832384, 6.5759745224832384},
      .t = {-0.22451702921948027, 2.7341044598678663, -0.84278915217419348, 1.7546904624372093,
        -3.8401799235382881, 1.3004865187051873, -1.7426879714253094, -1.1790212310988022,
        1.6099908174515831, 1.4585073200479073, 3.414265829624092, 2.2932611229589543,
        -0.529797387467416, 0.70268096624132304, -0.34958777190535101, 0.2069307990225536,
        -0.64877626277416478, 2.747613367512737, 0.016094158312194521, 1.6679653599622255,
        -0.86129774646425861, 0.069247820105915237, -2.1250631463638099, -0.6603849445371518,
        -1.7980135603398264, 1.6469091432174223, -2.458495303584832, -0.016961800379683478},
      .p_value = {0.82917046606765255, 0.031011604475025017, 0.42893052154911626,
        0.12550199513610344, 0.007180690622980151, 0.23715100481330792, 0.12767250365405314,
        0.27928262777715906, 0.15418775765955056, 0.19074905287960142, 0.012355023910640778,
        0.057900802996430981, 0.62093032453759167, 0.51637157127460176, 0.74215482554139478,
        0.84495263117386687, 0.53846946094102888, 0.030432600137137736, 0.98763659604235321,
        0.14201652607350151, 0.43187895666467246, 0.94771514246193878, 0.092071937020737654,
        0.5407846602988351, 0.11795987646248898, 0.14632802923544708, 0.045734866276106914,
        0.9869701520824814},
      .lods = {-6.1483226383602281, -3.2658474955099104, -5.6238225361597527, -4.2825870883580626,
        -2.0636531590604585, -4.8083237779566588, -4.6554816636946175, -4.5966015766007633,
        -4.97997707960499, -4.6509060846724761, -2.5177937869957399, -3.9868680681209878,
        -5.871072049317366, -5.1708627370164555, -5.7229196396293922, -4.8759600651021966,
        -5.9512578287728033, -3.2515545440621296, -5.9870153475440171, -4.3312565561294152,
        -5.7112275207694756, -5.4327864064364766, -4.20123222304401, -4.8013666481411041,
        -4.7394096977471678, -4.4538820124643497, -3.7270989093726969, -4.9442374096749333},
      .f = {3.6199407862267496, 8.8423373399962628, 6.5162512475210477, 0.29127261042598102,
        2.9895447959374875, 2.9333822120613604, 3.7214511129224492},
      .f_p_value = {0.077432547343889199, 0.01028262978268119, 0.021847566526578432,
        0.83057097273253189, 0.11006598852367817, 0.14758961211351693, 0.073406246461780927},
  };
  // clang-format on
  expect_limma(contrasted, tests, limma);
  // clang-format off
  const std::vector<double> cov = {0.27083333333333326, 0.027777777777777742, 0.14583333333333331,
    0.43749999999999989, 0.027777777777777742, 0.25925925925925924, 0.027777777777777783,
    0.49999999999999989, 0.14583333333333331, 0.027777777777777783, 0.10416666666666666,
    0.27083333333333331, 0.43749999999999989, 0.49999999999999989, 0.27083333333333331,
    1.520833333333333};
  // clang-format on
  expect_agree(contrasted.cov_coefficients, cov, "cov.coefficients");
  EXPECT_EQ(tests.f_df1, 3);
}

// Dye swaps with a dye effect: cbind(Dye = 1, mm(c("wt","mu","wt","mu","wt"),
// c("mu","wt","mu","wt","mu"), "wt")); three arrays one way and two the other correlate the
// coefficients.
TEST(LinearModel, DyeEffectAndDyeSwaps) {
  const Design design = design_of(5, {"Dye", "mu"}, {1, 1, 1, -1, 1, 1, 1, -1, 1, 1});
  // clang-format off
  const std::vector<double> values = {
      0.91, -0.42, 1.13, -0.38, 0.87,
      0.12, 0.08, -0.05, 0.21, 0.17,
      -0.33, 0.61, -0.48, 0.52, kNaN,
      0.41, 0.38, 0.40, 0.39, 0.40,
      -1.02, 1.31, -0.58, 0.77, -1.35,
      0.06, -0.14, 0.22, kNaN, kNaN,
  };
  // clang-format on
  const LinearFit fit = fit_linear_model(prepared(design), values);
  // clang-format off
  const LimmaNumbers limma = {
      .coefficients = {0.28499999999999975, 0.68500000000000005, 0.11249999999999999,
        -0.032499999999999994, 0.080000000000000016, -0.48499999999999993, 0.39416666666666667,
        0.0091666666666666511, 0.028333333333333328, -1.0116666666666672, -1.6024689053196368e-17,
        0.14000000000000001},
      .stdev_unscaled = {0.4564354645876384, 0.45643546458763845, 0.4564354645876384,
        0.45643546458763845, 0.5, 0.5, 0.4564354645876384, 0.45643546458763845,
        0.4564354645876384, 0.45643546458763845, 0.61237243569579458, 0.61237243569579447},
      .sigma = {0.11547005383792512, 0.10808946911393975, 0.087464278422679467,
        0.0062360956446231878, 0.38482319172431512, 0.11313708498984762},
      .df_residual = {3, 3, 2, 3, 3, 1},
      .prior = {0.88265791042043074, 0.0026734972059222185},
      .var_prior = {441.15616826669219, 77.412735715209507},
      .s2_post = {0.010909996305264826, 0.0096350964520701948, 0.0061262154602030119,
        0.00063782341403666686, 0.11503111024159184, 0.0080523303641014225},
      .df_total = {3.8826579104204306, 3.8826579104204306, 2.8826579104204306, 3.8826579104204306,
        3.8826579104204306, 1.8826579104204306},
      .t = {5.9779623702716025, 14.368084995214215, 2.5109907211939837, -0.72539731945603969,
        2.0442021897829941, -12.392975775559398, 34.194029691018066, 0.79520999281437221,
        0.18302509204849168, -6.5350724043196777, -2.9161723311964067e-16, 2.5477194909193108},
      .p_value = {0.0043247878800225696, 0.00016465133622551442, 0.067860872294812344,
        0.50951140136371975, 0.13720963273229161, 0.0013716767144958317, 5.8246412003490077e-06,
        0.47226919652739724, 0.86393625442883071, 0.0031408564648943327, 0.99999999999999978,
        0.13331546030430999},
      .lods = {-2.7642739875146018, 1.8650844915463782, -6.0711709777526419, -7.2459519358352154,
        -6.5955413800176972, -0.017808439652544195, 5.1933425627148004, -7.1880445999861102,
        -8.4034007143456542, -1.5600112877981207, -8.1306587835668331, -5.1352587386708342},
      .f = {144.02846307488798, 3.1784840091995039, 76.891204103638103, 614.96906202336049,
        22.011581574313674, 3.3806638564636202},
      .f_p_value = {0.00022790233744636812, 0.15219475104485397, 0.0031552674653735021,
        1.3885331781612712e-05, 0.0076121439912625669, 0.238173940947185},
  };
  // clang-format on
  expect_limma(fit, moderated(fit), limma);
}

// Genes that differ only by multiples of the design's column have one residual variance: d0 is
// infinite, every gene's variance is s0^2 on the genes' degrees of freedom together, the
// log-odds take their limit and F is chi-square.
//   mm(c("wt","mu","wt","mu"), c("mu","wt","mu","wt"), "wt")
TEST(LinearModel, InfinitePriorDegreesOfFreedom) {
  const Design design = design_of(4, {"mu"}, {1, -1, 1, -1});
  // clang-format off
  const std::vector<double> values = {
      0.3, -0.5, 0.1, 0.4,
      1.3, -1.5, 1.1, -0.6,
      -1.7, 1.5, -1.9, 2.4,
      0.8, -1.0, 0.6, -0.1,
      0.33, -0.55, 0.11, 0.44,
      0.07, -0.25, -0.11, 0.56,
  };
  // clang-format on
  const LinearFit fit = fit_linear_model(prepared(design), values);
  const ModeratedTests tests = moderated(fit);
  // clang-format off
  const LimmaNumbers limma = {
      .coefficients = {0.12500000000000003, 1.125, -1.875, 0.62499999999999989,
        0.13749999999999998, -0.087500000000000008},
      .stdev_unscaled = {0.5, 0.5, 0.5, 0.5, 0.5, 0.5},
      .sigma = {0.38622100754188227, 0.38622100754188227, 0.38622100754188216,
        0.38622100754188221, 0.42484310829607053, 0.34759890678769406},
      .df_residual = {3, 3, 3, 3, 3, 3},
      .prior = {kInf, 0.14966388888888887},
      .var_prior = {49.323469587014728},
      .s2_post = {0.14966388888888887, 0.14966388888888887, 0.14966388888888887,
        0.14966388888888887, 0.14966388888888887, 0.14966388888888887},
      .df_total = {18, 18, 18, 18, 18, 18},
      .t = {0.64622163797713805, 5.815994741794241, -9.6933245696570687, 3.2311081898856888,
        0.71084380177485162, -0.45235514658399656},
      .p_value = {0.52629001532472386, 1.6463721643165263e-05, 1.4392227700048356e-08,
        0.0046342546542919947, 0.48629070235481309, 0.6564173996926268},
      .lods = {-7.0322467182812494, 9.5876104055429394, 39.503353228426477, -2.046289581133995,
        -6.9886195933312107, -7.1381983074456281},
      .f = {0.41760240538985527, 33.825794836578261, 93.960541212717402, 10.440060134746373,
        0.5052989105217246, 0.20462517864102903},
      .f_p_value = {0.51813582823920734, 6.0274360970817515e-09, 3.2187696732381159e-22,
        0.0012331125540523396, 0.47718103411542673, 0.65101315402171567},
  };
  // clang-format on
  expect_limma(fit, tests, limma);
  EXPECT_EQ(tests.f_df2[0], kInf);
}

// fit_gene writes only its gene's row and leaves nothing behind in the scratch: genes fitted in
// reverse order with one scratch, after a gene with values missing, give the same bits.
TEST(LinearModel, GenesFittedInAnyOrderWithOneScratch) {
  const LinearDesign design = prepared(kReferenceDesign);
  const LinearFit forward = fit_linear_model(design, kReferenceValues);
  LinearFit backward = empty_fit(design, 9);
  GeneFitScratch scratch;
  for (int32_t g = 8; g >= 0; --g)
    fit_gene(design, std::span<const double>(kReferenceValues).subspan(g * 7, 7), scratch, backward,
             g);
  for (const auto& [ours, theirs] : {std::pair{&forward.coefficients, &backward.coefficients},
                                     std::pair{&forward.stdev_unscaled, &backward.stdev_unscaled},
                                     std::pair{&forward.sigma, &backward.sigma}}) {
    for (std::size_t i = 0; i < ours->size(); ++i)
      EXPECT_TRUE((*ours)[i] == (*theirs)[i] ||
                  (std::isnan((*ours)[i]) && std::isnan((*theirs)[i])));
  }
  EXPECT_EQ(forward.df_residual, backward.df_residual);
}

// limma would leave the coefficients of dependent columns out; here the design is refused, with
// the dependence written out.
TEST(LinearModel, DesignsThatCannotBeFitted) {
  LinearDesign design;
  std::string error;
  EXPECT_FALSE(prepare_design(design_of(4, {"A", "B", "C"}, {1, 1, 2, 0, 1, 2, 1, 0, 0, 1, 0, 0}),
                              design, error));
  EXPECT_EQ(error,
            "the design's columns are linearly dependent, so their coefficients cannot be "
            "estimated apart: C = 2 B");
  EXPECT_FALSE(prepare_design(
      design_of(5, {"Dye", "mu", "wt"}, {1, 1, 0, 1, 1, 0, 1, 0.5, 0.5, 1, 0, 1, 1, 0.25, 0.75}),
      design, error));
  EXPECT_EQ(error,
            "the design's columns are linearly dependent, so their coefficients cannot be "
            "estimated apart: wt = Dye - mu");
  EXPECT_FALSE(prepare_design(design_of(3, {"A", "B"}, {1, 0, 1, 0, -1, 0}), design, error));
  EXPECT_EQ(error,
            "the design's columns are linearly dependent, so their coefficients cannot be "
            "estimated apart: B = 0 on every array");
  EXPECT_FALSE(prepare_design(design_of(2, {"A", "B"}, {1, 0, 0, 1}), design, error));
  EXPECT_EQ(error,
            "the design has 2 arrays for 2 coefficients: a linear model needs more arrays than "
            "coefficients, or no gene is left residual degrees of freedom to estimate its "
            "variance");
  EXPECT_FALSE(prepare_design(design_of(3, {"A", "A"}, {1, 0, 0, 1, 1, 1}), design, error));
  EXPECT_EQ(error, "two coefficients of the design are named A");
  EXPECT_FALSE(prepare_design(design_of(2, {"A"}, {1, kNaN}), design, error));
  EXPECT_EQ(error, "the design's value of coefficient A on array 2 is not a number");
}

// Without any gene on more arrays than coefficients, no variance can be estimated.
TEST(LinearModel, TestsNeedAResidualVariance) {
  const LinearFit fit = fit_linear_model(prepared(kReferenceDesign),
                                         std::vector<double>{1, 2, 3, kNaN, kNaN, kNaN, kNaN});
  ModeratedTests tests;
  std::string error;
  EXPECT_FALSE(moderate_tests(fit, tests, error));
  EXPECT_NE(error, "");
}

// R's pf(f, d1, d2, lower.tail = FALSE), which is 2 * pt(-sqrt(f), d2) for d1 = 1: small and
// large degrees of freedom, tails far out, and infinite d2 (chi-square).
TEST(FDistribution, UpperTailAgreesWithR) {
  // clang-format off
  const double cases[][4] = {
      {0.5, 1, 2.5, 0.53965620034780859},
      {4, 1, 2.5, 0.15739149575796599},
      {2.89, 1, 17.2, 0.1071414652555386},
      {144, 1, 17.2, 8.7479873450526211e-10},
      {1e-06, 1, 8, 0.99922660210308933},
      {3.2, 3, 7.4, 0.088856981441813518},
      {40, 3, 12.6, 1.0432963726656387e-06},
      {0.7, 10, 5, 0.70539499371397185},
      {2, 1, 10000, 0.15733033937747418},
      {2.89, 1, 1e+05, 0.089134035248662966},
      {144, 1, 1e+05, 3.7445058119563968e-33},
      {2.89, 3, 1e+07, 0.0340159847969604},
      {6.25, 1, 1e+09, 0.012419330810402517},
      {5, 3, kInf, 0.0018166489665723236},
      {9, 1, kInf, 0.0026997960632601922},
      {0.2, 2, kInf, 0.81873075307798193},
  };
  // clang-format on
  for (const auto& [f, d1, d2, p] : cases)
    EXPECT_NEAR(f_upper_tail(f, d1, d2), p, 1e-12 * p) << f << " " << d1 << " " << d2;
  EXPECT_EQ(f_upper_tail(0.0, 3, 4), 1.0);
  EXPECT_EQ(f_upper_tail(kInf, 3, 4), 0.0);
  EXPECT_TRUE(std::isnan(f_upper_tail(kNaN, 3, 4)));
  EXPECT_TRUE(std::isnan(f_upper_tail(1.0, 3, 0)));
}

// p.adjust(c(0.01, NA, 0.04, 0.03, 0.04, NA, 0.5), "BH"): m = 5, not 7.
TEST(FalseDiscovery, NotANumberIsLeftOut) {
  const std::vector<double> q = benjamini_hochberg({0.01, kNaN, 0.04, 0.03, 0.04, kNaN, 0.5});
  for (std::size_t i : {0, 2, 3, 4})
    EXPECT_DOUBLE_EQ(q[i], 0.05);
  EXPECT_TRUE(std::isnan(q[1]) && std::isnan(q[5]));
  EXPECT_EQ(q[6], 0.5);
}
