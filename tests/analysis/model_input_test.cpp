#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/model_input.hpp"

namespace {

Design design_of(const std::vector<ArraySamples>& arrays, const std::string& reference,
                 bool dye_effect) {
  Design design;
  std::string error;
  EXPECT_TRUE(model_matrix(arrays, reference, dye_effect, design, error)) << error;
  return design;
}

std::string refusal(const std::vector<ArraySamples>& arrays, const std::string& reference,
                    bool dye_effect = false) {
  Design design;
  std::string error;
  EXPECT_FALSE(model_matrix(arrays, reference, dye_effect, design, error));
  return error;
}

Contrast contrast_of(const std::string& text, const std::vector<std::string>& names) {
  Contrast contrast;
  std::string error;
  EXPECT_TRUE(parse_contrast(text, names, contrast, error)) << error;
  return contrast;
}

std::string contrast_error(const std::string& text) {
  Contrast contrast;
  std::string error;
  EXPECT_FALSE(parse_contrast(text, {"A", "B", "C"}, contrast, error)) << text;
  return error;
}

}  // namespace

// limma's modelMatrix(targets, ref = "Ref") of three samples and a reference, a dye swap and a
// repeated array among them: the columns in R's order (Mut_1 before mut.2: "_" sorts before ".").
TEST(ModelMatrix, ThreeSamplesAndAReference) {
  const Design design = design_of({{"Ref", "wt"},
                                   {"Ref", "mut.2"},
                                   {"Ref", "Mut_1"},
                                   {"wt", "Ref"},
                                   {"Ref", "mut.2"},
                                   {"mut.2", "Ref"}},
                                  "Ref", false);
  EXPECT_EQ(design.names, (std::vector<std::string>{"Mut_1", "mut.2", "wt"}));
  EXPECT_EQ(design.arrays, 6);
  EXPECT_EQ(design.values,
            (std::vector<double>{0, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, -1, 0, 1, 0, 0, -1, 0}));
}

// Four samples besides the reference, arrays between them as well as with it, and names that
// differ only in case (ctl and Ctl are two samples); with a dye effect, cbind(Dye = 1, design).
TEST(ModelMatrix, FourSamplesWithADyeEffect) {
  const std::vector<ArraySamples> arrays = {
      {"RIN9.7", "Ref"}, {"ctl", "RIN5.0"}, {"RIN5.0", "RIN9.7"}, {"Ref", "ctl"},
      {"x_1", "RIN5.0"}, {"ctl", "x_1"},    {"Ctl", "Ref"}};
  const Design plain = design_of(arrays, "Ref", false);
  EXPECT_EQ(plain.names, (std::vector<std::string>{"ctl", "Ctl", "RIN5.0", "RIN9.7", "x_1"}));
  EXPECT_EQ(plain.values,
            (std::vector<double>{0, 0, 0, -1, 0, -1, 0,  1,  0, 0, 0, 0, -1, 1,  0, 1, 0, 0,
                                 0, 0, 0, 0,  1, 0,  -1, -1, 0, 0, 0, 1, 0,  -1, 0, 0, 0}));
  const Design dye = design_of(arrays, "Ref", true);
  EXPECT_EQ(dye.names, (std::vector<std::string>{"Dye", "ctl", "Ctl", "RIN5.0", "RIN9.7", "x_1"}));
  EXPECT_EQ(dye.values, (std::vector<double>{1, 0,  0, 0,  -1, 0, 1, -1, 0, 1, 0,  0, 1, 0,
                                             0, -1, 1, 0,  1,  1, 0, 0,  0, 0, 1,  0, 0, 1,
                                             0, -1, 1, -1, 0,  0, 0, 1,  1, 0, -1, 0, 0, 0}));
}

TEST(ModelMatrix, Refusals) {
  EXPECT_EQ(refusal({{"A", "B"}, {"B", "A"}}, "R"),
            "the reference sample R is not among the arrays' samples (A, B)");
  EXPECT_EQ(refusal({{"R", "R"}}, "R"),
            "every array holds only the reference sample R: there is no other sample to compare "
            "with it");
  EXPECT_EQ(refusal({{"R", "A"}, {"", "R"}}, "R"), "array 2 has no Cy3 sample");
  EXPECT_EQ(refusal({{"R", "Dye"}}, "R", true),
            "a sample is named Dye, the name of the dye effect's coefficient");
  EXPECT_EQ(refusal({}, "R"), "there are no arrays to make a design of");
}

// R's sort() of these names in a UTF-8 locale.
TEST(ModelMatrix, NamesSortAsRSortsThem) {
  std::vector<std::string> names = {"b",   "B",   "a1",  "A1",    "a10",   "A",  "a",  "a b",
                                    "a-b", "a.b", "a_b", "Ab",    "aB",    "ab", "AB", "9z",
                                    "z9",  "Ref", "ref", "mut.2", "Mut_1", "wt"};
  std::sort(names.begin(), names.end(), sorts_before);
  EXPECT_EQ(names,
            (std::vector<std::string>{"9z",    "a",     "A",   "a b", "a_b", "a-b", "a.b", "a1",
                                      "A1",    "a10",   "ab",  "aB",  "Ab",  "AB",  "b",   "B",
                                      "Mut_1", "mut.2", "ref", "Ref", "wt",  "z9"}));
}

// makeContrasts(...) evaluates the expression on the coefficients' indicator vectors: (1, 1, 1)
// / 3 is exactly 1 / 3, 0.5 * (A - B) is (0.5, -0.5), and unary minus binds before "*".
TEST(ContrastExpression, WeightsComputedAsWritten) {
  const std::vector<std::string> names = {"RIN5.0", "RIN9.7", "x_1"};
  Contrast contrast = contrast_of("RIN5vs9=RIN5.0-RIN9.7", names);
  EXPECT_EQ(contrast.name, "RIN5vs9");
  EXPECT_EQ(contrast.weights, (std::vector<double>{1, -1, 0}));
  contrast = contrast_of(" mean = (RIN5.0+RIN9.7+x_1)/3", names);
  EXPECT_EQ(contrast.name, "mean");
  EXPECT_EQ(contrast.weights, (std::vector<double>(3, 1.0 / 3)));
  EXPECT_EQ(contrast_of("d=0.5*(RIN5.0-RIN9.7)", names).weights,
            (std::vector<double>{0.5, -0.5, 0}));
  EXPECT_EQ(contrast_of("e=2*RIN5.0 - RIN9.7/4", names).weights,
            (std::vector<double>{2, -0.25, 0}));
  EXPECT_EQ(contrast_of("f=-x_1*-1.5e1 + -(RIN9.7) - .25 * 4 * RIN5.0", names).weights,
            (std::vector<double>{-1, -1, 15}));
  EXPECT_EQ(contrast_of("g=1/3*x_1", names).weights, (std::vector<double>{0, 0, 1.0 / 3}));
  EXPECT_EQ(contrast_of("h=RIN5.0-x_1+(x_1)", names).weights, (std::vector<double>{1, 0, 0}));
}

// Each fault is reported with the character where it was found (counted from 1 over the whole
// text).
TEST(ContrastExpression, FaultsShowWhere) {
  EXPECT_EQ(contrast_error("AB"), "contrast \"AB\": no \"=\"; write NAME=EXPRESSION");
  EXPECT_EQ(contrast_error(" =A-B"), "contrast \" =A-B\", character 2: no name before the \"=\"");
  EXPECT_EQ(contrast_error("d= "), "contrast \"d= \", character 4: the expression is empty");
  EXPECT_EQ(contrast_error("d=A-D"),
            "contrast \"d=A-D\", character 5: no coefficient is named D (the coefficients are A, "
            "B, C)");
  EXPECT_EQ(contrast_error("d=A * B"),
            "contrast \"d=A * B\", character 7: a product of two coefficients is not a linear "
            "combination");
  EXPECT_EQ(contrast_error("d=(A+B)/C"),
            "contrast \"d=(A+B)/C\", character 9: a division by a coefficient");
  EXPECT_EQ(contrast_error("d=A/(1-1)"), "contrast \"d=A/(1-1)\", character 5: a division by zero");
  EXPECT_EQ(contrast_error("d=A+1"),
            "contrast \"d=A+1\", character 4: a number added to coefficients is not a contrast");
  EXPECT_EQ(contrast_error("d=A-A"),
            "contrast \"d=A-A\": its weights are all zero, so it compares nothing");
  EXPECT_EQ(contrast_error("d=3"),
            "contrast \"d=3\": the expression is a number, not a combination of coefficients");
  EXPECT_EQ(contrast_error("d=(A-B"),
            "contrast \"d=(A-B\", character 3: a \"(\" without its \")\"");
  EXPECT_EQ(contrast_error("d=A-B)"),
            "contrast \"d=A-B)\", character 6: a \")\" without its \"(\"");
  EXPECT_EQ(contrast_error("d=A-"),
            "contrast \"d=A-\", character 5: the expression ends where a term is expected");
  EXPECT_EQ(contrast_error("d=2A"),
            "contrast \"d=2A\", character 4: a name right after a number: write \"*\" between "
            "them");
  EXPECT_EQ(contrast_error("d=A&B"), "contrast \"d=A&B\", character 4: \"&\" unexpected");
  EXPECT_EQ(contrast_error("d=A-$B"),
            "contrast \"d=A-$B\", character 5: \"$\" where a number, a name or \"(\" is "
            "expected");
}
