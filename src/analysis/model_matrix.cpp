// The design of a two-colour experiment from its arrays' samples, as limma's modelMatrix with a
// reference sample. Each array measures the log ratio Cy5 / Cy3; with one coefficient per sample
// other than the reference, the log ratio of that sample over the reference, an array's
// expectation is the Cy5 sample's coefficient less the Cy3 sample's (the reference's is 0).
#include <algorithm>
#include <string_view>

#include "analysis/model_input.hpp"

namespace {

// The printable ASCII characters other than letters, in the order of R's collation.
constexpr std::string_view kPunctuationAndDigits = " _-,;:!?.'\"()[]{}@*/\\&#%`^+<=>|~$0123456789";

// A character's rank at the first level of the collation: letters by their lower-case form.
int primary_rank(unsigned char c) {
  const std::size_t at = kPunctuationAndDigits.find(static_cast<char>(c));
  if (c < 0x80 && at != std::string_view::npos) return static_cast<int>(at);
  const int letters = static_cast<int>(kPunctuationAndDigits.size());
  if (c >= 'a' && c <= 'z') return letters + (c - 'a');
  if (c >= 'A' && c <= 'Z') return letters + (c - 'A');
  return letters + 26 + c;
}

// Lexicographic comparison of two names by a rank of their characters: -1, 0 or 1.
template <typename Rank>
int compare_by(const std::string& a, const std::string& b, Rank rank) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int ra = rank(static_cast<unsigned char>(a[i]));
    const int rb = rank(static_cast<unsigned char>(b[i]));
    if (ra != rb) return ra < rb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string list_of(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : ", ") + names[i];
  return text;
}

}  // namespace

bool sorts_before(const std::string& a, const std::string& b) {
  const int primary = compare_by(a, b, primary_rank);
  if (primary != 0) return primary < 0;
  return compare_by(a, b, [](unsigned char c) { return c >= 'A' && c <= 'Z' ? 1 : 0; }) < 0;
}

bool model_matrix(const std::vector<ArraySamples>& arrays, const std::string& reference,
                  bool dye_effect, Design& design, std::string& error) {
  if (arrays.empty()) {
    error = "there are no arrays to make a design of";
    return false;
  }
  std::vector<std::string> samples;
  for (std::size_t a = 0; a < arrays.size(); ++a) {
    if (arrays[a].cy3.empty() || arrays[a].cy5.empty()) {
      error = "array " + std::to_string(a + 1) + " has no " +
              (arrays[a].cy3.empty() ? "Cy3" : "Cy5") + " sample";
      return false;
    }
    samples.push_back(arrays[a].cy3);
    samples.push_back(arrays[a].cy5);
  }
  std::sort(samples.begin(), samples.end(), sorts_before);
  samples.erase(std::unique(samples.begin(), samples.end()), samples.end());
  const auto found = std::find(samples.begin(), samples.end(), reference);
  if (found == samples.end()) {
    error = "the reference sample " + reference + " is not among the arrays' samples (" +
            list_of(samples) + ")";
    return false;
  }
  samples.erase(found);
  if (samples.empty()) {
    error = "every array holds only the reference sample " + reference +
            ": there is no other sample to compare with it";
    return false;
  }
  if (dye_effect && std::find(samples.begin(), samples.end(), "Dye") != samples.end()) {
    error = "a sample is named Dye, the name of the dye effect's coefficient";
    return false;
  }

  design = Design();
  design.arrays = static_cast<int32_t>(arrays.size());
  if (dye_effect) design.names.push_back("Dye");
  design.names.insert(design.names.end(), samples.begin(), samples.end());
  for (const ArraySamples& array : arrays) {
    if (dye_effect) design.values.push_back(1.0);
    for (const std::string& sample : samples)
      design.values.push_back((array.cy5 == sample ? 1.0 : 0.0) -
                              (array.cy3 == sample ? 1.0 : 0.0));
  }
  return true;
}
