# Holds corvane's normalised log ratios and moderated t-test against limma on the same slides of
# the scanner's format (the other formats, designs and real arrays are compared by
# tools/compare-with-limma-formats.R). Driven by tools/compare-with-limma, which writes the slides,
# merges them with corvane and lists the merges in a table of runs (one row each: set folder, run
# tag, method, ratio choice, swapped slides, block rows and columns, and a check of the set: "",
# "coverage" or "infinite-d0").
#
# For every run: M and A are formed here from the nets of the result files themselves, in each
# slide's orientation; limma's normalizeWithinArrays normalises them (method "total" has no limma
# counterpart and is R's own arithmetic), and the log2 of the spot table's ratio must agree
# within 1e-9. The slide means of the gene's passing spots go through lmFit and eBayes, the
# p-values through p.adjust(method = "BH"), and the gene table must agree within 1e-9 relative.
# NA must stand in the same places. Exits with status 1 when anything disagrees.
suppressMessages({
  library(limma)
  library(data.table)
})

runs <- fread(commandArgs(TRUE)[1], sep = "\t", colClasses = "character", na.strings = NULL)
absolute_tolerance <- 1e-9
relative_tolerance <- 1e-9

# The nets of a result file's spot table, which starts after TotalSpots + 39 lines (TotalSpots is
# on line 22), and the layout of lines 11 to 14.
read_slide <- function(path) {
  header <- strsplit(readLines(path, n = 22), "\t")
  value <- function(line) as.integer(header[[line]][length(header[[line]])])
  total <- value(22)
  spots <- fread(path, skip = total + 39, header = FALSE, sep = "\t", quote = "",
                 colClasses = list(character = 6))
  stopifnot(nrow(spots) == total)
  list(ch1 = spots$V9 - spots$V10, ch2 = spots$V13 - spots$V14,
       layout = c(value(11), value(12), value(13), value(14)))
}

slides_of_set <- list()
slides_in <- function(folder) {
  if (is.null(slides_of_set[[folder]])) {
    files <- sort(Sys.glob(file.path(folder, "slide*.txt")))
    slides_of_set[[folder]] <<- lapply(files, read_slide)
  }
  slides_of_set[[folder]]
}

# M and A of every spot with a ratio (both nets above 0), NA elsewhere; slide k's ratio is channel
# 2 over channel 1 for choice 1 unless the slide is swapped.
ma_of <- function(slides, ratio_choice, swapped) {
  n <- length(slides[[1]]$ch1)
  M <- A <- matrix(NA_real_, n, length(slides))
  for (k in seq_along(slides)) {
    s <- slides[[k]]
    choice <- if (k %in% swapped) 3L - ratio_choice else ratio_choice
    ok <- s$ch1 > 0 & s$ch2 > 0
    ratio <- if (choice == 1L) s$ch2 / s$ch1 else s$ch1 / s$ch2
    M[ok, k] <- log2(ratio[ok])
    A[ok, k] <- (log2(s$ch1[ok]) + log2(s$ch2[ok])) / 2
  }
  list(M = M, A = A)
}

# Channel 2 scaled by the ratio of the channel totals (sums of the non-negative nets): M moves by
# the log2 of that factor, with the sign of the slide's orientation.
total_normalised <- function(M, slides, ratio_choice, swapped) {
  for (k in seq_along(slides)) {
    s <- slides[[k]]
    choice <- if (k %in% swapped) 3L - ratio_choice else ratio_choice
    shift <- log2(sum(s$ch2[s$ch2 >= 0]) / sum(s$ch1[s$ch1 >= 0]))
    M[, k] <- M[, k] - if (choice == 1L) shift else -shift
  }
  M
}

limma_normalised <- function(run, slides, ma) {
  ratio_choice <- as.integer(run$ratio)
  swapped <- if (run$swapped == "") integer(0) else as.integer(strsplit(run$swapped, ",")[[1]])
  if (run$method == "total") return(total_normalised(ma$M, slides, ratio_choice, swapped))
  object <- new("MAList", list(M = ma$M, A = ma$A))
  if (run$method == "printtip-loess") {
    grid <- slides[[1]]$layout
    stopifnot(grid[3] == as.integer(run$block_rows), grid[4] == as.integer(run$block_cols))
    layout <- list(ngrid.r = grid[1], ngrid.c = grid[2], nspot.r = as.integer(run$block_rows),
                   nspot.c = as.integer(run$block_cols))
    return(normalizeWithinArrays(object, layout = layout, method = "printtiploess")$M)
  }
  normalizeWithinArrays(object, method = run$method)$M
}

# The largest relative difference of two vectors at the places both have a value.
relative_difference <- function(ours, theirs) {
  both <- !is.na(ours) & !is.na(theirs)
  if (!any(both)) return(0)
  a <- ours[both]
  b <- theirs[both]
  scale <- pmax(abs(a), abs(b))
  max(ifelse(a == b, 0, abs(a - b) / scale))
}

largest <- list()
na_disagreements <- list()
record <- function(value, difference, na_agree) {
  largest[[value]] <<- max(largest[[value]], difference, -Inf)
  na_disagreements[[value]] <<- sum(na_disagreements[[value]], !na_agree)
}
failures <- character(0)
set_notes <- list()

for (i in seq_len(nrow(runs))) {
  run <- runs[i]
  slides <- slides_in(run$set)
  ratio_choice <- as.integer(run$ratio)
  swapped <- if (run$swapped == "") integer(0) else as.integer(strsplit(run$swapped, ",")[[1]])
  ma <- ma_of(slides, ratio_choice, swapped)
  theirs_m <- limma_normalised(run, slides, ma)

  spots <- fread(file.path(run$set, sprintf("spots-%s.tsv", run$tag)), sep = "\t", quote = "",
                 na.strings = "NA", colClasses = list(character = c("file", "name")))
  n <- length(slides[[1]]$ch1)
  stopifnot(nrow(spots) == n * length(slides))
  ours_m <- matrix(log2(spots$ratio), n, length(slides))
  na_agree <- identical(is.na(ours_m), is.na(theirs_m))
  m_difference <- max(abs(ours_m - theirs_m), na.rm = TRUE)
  record("normalised M", m_difference, na_agree)

  # The moderated test on the slide means of the passing spots with a ratio.
  genes <- fread(file.path(run$set, sprintf("genes-%s.tsv", run$tag)), sep = "\t", quote = "",
                 na.strings = "NA", colClasses = list(character = "name"))
  use <- spots[!is.na(gene) & quality == "pass" & !is.na(ratio)]
  use[, m := log2(ratio)]
  means <- use[, .(m = mean(m)), by = .(gene, file)]
  files <- unique(spots$file)
  Y <- matrix(NA_real_, nrow(genes), length(files))
  Y[cbind(means$gene, match(means$file, files))] <- means$m
  fit <- suppressWarnings(eBayes(lmFit(Y)))
  p <- fit$p.value[, 1]
  q <- p.adjust(p, method = "BH")
  seen <- rowSums(!is.na(Y))

  record("slides_used", max(abs(genes$slides_used - seen)), TRUE)
  record("slide_log2_mean", relative_difference(genes$slide_log2_mean, fit$coefficients[, 1]),
         identical(is.na(genes$slide_log2_mean), is.na(fit$coefficients[, 1])))
  record("mod_t", relative_difference(genes$mod_t, fit$t[, 1]),
         identical(is.na(genes$mod_t), is.na(fit$t[, 1])))
  # limma gives a gene without a slide value the prior's degrees of freedom; ours is NA there.
  record("mod_df", relative_difference(genes$mod_df[seen > 0], fit$df.total[seen > 0]),
         identical(is.na(genes$mod_df), seen == 0))
  record("mod_p_value", relative_difference(genes$mod_p_value, p),
         identical(is.na(genes$mod_p_value), is.na(p)))
  record("mod_q_value", relative_difference(genes$mod_q_value, q),
         identical(is.na(genes$mod_q_value), is.na(q)))

  # What the set is there for.
  set <- basename(run$set)
  if (is.null(set_notes[[set]])) {
    set_notes[[set]] <- list(merges = 0, genes = nrow(genes), slides = length(files), d0 = c(),
                             counts = "")
  }
  set_notes[[set]]$merges <- set_notes[[set]]$merges + 1
  set_notes[[set]]$d0 <- c(set_notes[[set]]$d0, fit$df.prior)
  if (run$check == "infinite-d0" && !is.infinite(fit$df.prior)) {
    failures <- c(failures, sprintf("%s %s: limma's df.prior is %g, not Inf (if the slides have
    changed, find another seed that gives Inf)", set, run$tag, fit$df.prior))
  }
  if (run$check == "coverage") {
    counts <- c(sum(seen == 0), sum(seen == 1), sum(seen == length(files)))
    set_notes[[set]]$counts <- sprintf("; genes on 0, 1, all slides: %d, %d, %d", counts[1],
                                       counts[2], counts[3])
    if (any(counts == 0)) {
      failures <- c(failures, sprintf("%s %s: no gene on 0, 1 or all slides", set, run$tag))
    }
  }
}

cat(sprintf("%d merges of %d slide sets compared with limma %s\n", nrow(runs),
            length(slides_of_set), packageVersion("limma")))
for (set in names(set_notes)) {
  note <- set_notes[[set]]
  d0 <- range(note$d0)
  cat(sprintf("  %-14s %2d merges, %d slides, %4d genes, limma's d0 %s to %s%s\n", set,
              note$merges, note$slides, note$genes, format(d0[1], digits = 3),
              format(d0[2], digits = 3), note$counts))
}
cat(sprintf("\n%-16s %-22s %-10s %s\n", "value", "largest difference", "tolerance", "NA places"))
for (value in names(largest)) {
  tolerance <- if (value == "normalised M") absolute_tolerance else relative_tolerance
  kind <- if (value == "normalised M") "absolute" else "relative"
  if (value == "slides_used") {
    tolerance <- 0
    kind <- "count"
  }
  agree <- na_disagreements[[value]] == 0
  cat(sprintf("%-16s %-22s %-10s %s\n", value, sprintf("%.3g (%s)", largest[[value]], kind),
              format(tolerance), if (agree) "agree" else
                sprintf("DIFFER in %d merges", na_disagreements[[value]])))
  if (largest[[value]] > tolerance) {
    failures <- c(failures, sprintf("%s differs by %g", value, largest[[value]]))
  }
  if (!agree) failures <- c(failures, sprintf("%s: NA in other places", value))
}
if (length(failures) > 0) {
  cat("\nFAILED:\n", paste0("  ", failures, "\n"), sep = "")
  quit(status = 1)
}
cat("\nAll agree within the tolerances.\n")
