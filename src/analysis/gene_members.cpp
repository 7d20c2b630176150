// The spots of every gene: R consecutive spots, as the scanner's files print them, or the spots
// that share an ID wherever they lie on the array, as the other formats print replicates.
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "analysis/analysis.hpp"

namespace {

// A gene for every ID that is not empty, in the order of its first spot; controls belong to none.
void group_by_id(Run& run) {
  GeneMembers& members = run.genes.members;
  const Slides& slides = run.slides;
  std::unordered_map<std::string_view, int32_t> gene_of_id;
  std::vector<std::vector<int32_t>> spots_of_gene;
  for (int32_t s = 1; s <= slides.TotalSpots; ++s) {
    const std::string& id = slides.spot_id[static_cast<std::size_t>(s - 1)];
    if (id.empty() || slides.spot_control[static_cast<std::size_t>(s - 1)] != 0) continue;
    const auto [known, added] =
        gene_of_id.try_emplace(id, static_cast<int32_t>(spots_of_gene.size()) + 1);
    if (added) spots_of_gene.emplace_back();
    std::vector<int32_t>& spots = spots_of_gene[static_cast<std::size_t>(known->second - 1)];
    spots.push_back(s);
    members.gene_of_spot[static_cast<std::size_t>(s - 1)] = known->second;
    members.replicate_of_spot[static_cast<std::size_t>(s - 1)] = static_cast<int32_t>(spots.size());
  }
  members.first.assign(1, 0);
  std::size_t most = 0;
  for (const std::vector<int32_t>& spots : spots_of_gene) {
    members.spots.insert(members.spots.end(), spots.begin(), spots.end());
    members.first.push_back(static_cast<int32_t>(members.spots.size()));
    if (spots.size() != spots_of_gene.front().size()) members.equal_counts = false;
    most = std::max(most, spots.size());
  }
  run.genes.GeneNumber = static_cast<int32_t>(spots_of_gene.size());
  // With equal counts the genes' replicate columns are R per slide, as with consecutive spots.
  run.options.ReplicateCount = static_cast<int32_t>(std::max<std::size_t>(most, 1));
}

}  // namespace

void group_spots_into_genes(Run& run) {
  if (!run.formats.genes_by_id) {
    run.genes.GeneNumber = run.slides.TotalSpots / run.options.ReplicateCount;
    run.genes.members = consecutive_members(run.slides.TotalSpots, run.options.ReplicateCount);
    return;
  }
  GeneMembers& members = run.genes.members;
  const auto spots = static_cast<std::size_t>(run.slides.TotalSpots);
  members = GeneMembers();
  members.gene_of_spot.assign(spots, 0);
  members.replicate_of_spot.assign(spots, 0);
  group_by_id(run);
}
