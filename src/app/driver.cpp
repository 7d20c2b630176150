#include "app/driver.hpp"

#include <cstdio>

#include "analysis/analysis.hpp"
#include "run/console.hpp"
#include "app/dialogue.hpp"
#include "run/run.hpp"
#include "input/input.hpp"
#include "numeric/numeric.hpp"
#include "reports/reports.hpp"

// Where to send bug reports; printed in the closing message.
constexpr const char* kContactAddress = "corvane-bugs@users.noreply.example";

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
