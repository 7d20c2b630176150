#include "app/driver.hpp"

#include <cstdio>

#include "analysis/analysis.hpp"
#include "app/console.hpp"
#include "app/dialogue.hpp"
#include "app/run.hpp"
#include "input/input.hpp"
#include "numeric/numeric.hpp"
#include "reports/reports.hpp"

namespace {

// Where to send bug reports; printed in the closing message.
constexpr const char* kContactAddress = "corvane-bugs@users.noreply.example";

void create_spot_arrays(Run& run) {
  const int32_t n = run.FileCount;
  const int32_t spots = run.TotalSpots;
  run.spot_name = cmatrix(1, spots, 0, 500);
  run.ch1_net = dmatrix(1, n, 1, spots);
  run.ch2_net = dmatrix(1, n, 1, spots);
  run.ch1_bg = dmatrix(1, n, 1, spots);
  run.ch2_bg = dmatrix(1, n, 1, spots);
  run.spot_qc = dmatrix(1, n, 1, spots);
  run.spot_array_row = ivector(1, spots);
  run.spot_array_col = ivector(1, spots);
  run.spot_row = ivector(1, spots);
  run.spot_col = ivector(1, spots);
  for (int32_t f = 1; f <= n; ++f) {
    for (int32_t s = 1; s <= spots; ++s)
      run.spot_qc[f][s] = QC_PASS;
  }
}

// Releases what is still held at the normal end of a run.
void release_run_arrays(Run& run) {
  const int32_t n = run.FileCount;
  const int32_t spots = run.TotalSpots;
  const int32_t genes = run.GeneNumber;
  const int64_t columns = replicate_columns(run);
  release_dvector(run.log2_values, 1, columns);
  release_dvector(run.kept_values, 1, columns);
  release_dvector(run.sorted_values, 1, columns);
  release_dvector(run.gene_values, 1, columns);
  release_dvector(run.ratio_cv, 1, genes);
  release_dvector(run.p_value, 1, genes);
  release_dvector(run.ratio_median, 1, genes);
  release_dvector(run.log_mean, 1, genes);
  release_dvector(run.ratio_mean, 1, genes);
  release_ivector(run.spots_used, 1, genes);
  release_ivector(run.zero_count, 1, genes);
  release_ivector(run.file_zero_spots, 1, n);
  release_ivector(run.outliers_found, 1, genes);
  release_ivector(run.file_outliers, 1, n);
  release_dvector(run.log_sd, 1, genes);
  release_dvector(run.ratio_sd, 1, genes);
  release_dmatrix(run.file_gene_mean, 1, n, 1, genes);
  release_dmatrix(run.gene_qc, 1, genes, 1, columns);
  release_dmatrix(run.gene_ratio, 1, genes, 1, columns);
  release_ivector(run.spot_col, 1, spots);
  release_ivector(run.spot_row, 1, spots);
  release_ivector(run.spot_array_col, 1, spots);
  release_ivector(run.spot_array_row, 1, spots);
  release_dmatrix(run.spot_qc, 1, n, 1, spots);
  release_cmatrix(run.spot_name, 1, spots, 0, 500);
  release_cmatrix(run.channel_fields[1], 1, 3, 0, 100);
  release_cmatrix(run.channel_fields[0], 1, 3, 0, 100);
  release_cmatrix(run.FileNames, 1, n, 0, MAX_NAME_LENGTH);
}

}  // namespace

int run_corvane() {
  Run run;
  std::fputs("You are using Corvane 2.0 released on Jan. 30, 2002.\n -----------------------\n",
             stdout);

  ask_file_count(run);
  ask_replicate_count(run);
  run.FileNames = cmatrix(1, run.FileCount, 0, MAX_NAME_LENGTH);
  ask_file_names(run);
  list_file_names(run);

  run.first_file = open_result_file(run.FileNames[1].block(), 1);
  read_result_header(run);
  ask_ratio_choice(run);
  ask_quality_constant(run);
  seek_spot_table(run);

  create_spot_arrays(run);
  run.GeneNumber = run.TotalSpots / run.ReplicateCount;
  std::printf("GeneNumber = %d\n", run.GeneNumber);
  std::fputs("\nProgram running...\n", stdout);

  read_spot_tables(run);
  release_dmatrix(run.ch1_bg, 1, run.FileCount, 1, run.TotalSpots);
  release_dmatrix(run.ch2_bg, 1, run.FileCount, 1, run.TotalSpots);

  normalise_channels(run);
  compute_spot_ratios(run);
  group_by_gene(run);

  write_spot_report(run);
  release_dmatrix(run.ch1_net, 1, run.FileCount, 1, run.TotalSpots);
  release_dmatrix(run.ch2_net, 1, run.FileCount, 1, run.TotalSpots);
  release_dmatrix(run.channel_totals, 1, run.FileCount, 1, 2);
  release_dvector(run.norm_factor, 1, run.FileCount);
  release_dmatrix(run.spot_ratio, 1, run.FileCount, 1, run.TotalSpots);

  compute_file_gene_means(run);
  zero_failed_ratios(run);
  compute_gene_statistics(run);
  write_merge_report(run);

  std::fputs(
      "\nOK!\n Check output files <merge.txt> and <data.txt> for results\n\n"
      " Please send bug reports to  ",
      stdout);
  std::printf("%s\n\n", kContactAddress);
  std::fputs("\n\nPress Any Key to Continue\n", stdout);
  wait_for_key();
  release_run_arrays(run);
  return 0;
}
