# The analysis of corvane --normalise loess --genes in R with limma, for scale: read the slides
# with data.table, form M and A, loess normalisation within each slide, per gene the mean of its
# replicate spots on each slide, lmFit and eBayes. Prints the seconds of the whole analysis and
# the milliseconds of R's lowess per slide.
#   Rscript bench/limma-analysis.R REPLICATES QUALITY SLIDE...
suppressMessages({
  library(limma)
  library(data.table)
})
args <- commandArgs(TRUE)
replicates <- as.integer(args[1])
quality <- as.numeric(args[2])
files <- args[-(1:2)]

start <- proc.time()[["elapsed"]]
read_slide <- function(file) {
  total <- as.integer(strsplit(readLines(file, n = 22)[22], "\t")[[1]][2])
  fread(file, skip = total + 39, header = FALSE, sep = "\t", select = c(9, 10, 13, 14))
}
slides <- lapply(files, read_slide)
spots <- nrow(slides[[1]])
M <- A <- passes <- matrix(NA_real_, spots, length(files))
for (k in seq_along(slides)) {
  s <- slides[[k]]
  ch1 <- s[[1]] - s[[2]]
  ch2 <- s[[3]] - s[[4]]
  ok <- ch1 > 0 & ch2 > 0
  M[ok, k] <- log2(ch2[ok] / ch1[ok])
  A[ok, k] <- (log2(ch1[ok]) + log2(ch2[ok])) / 2
  passes[, k] <- ch1 / s[[2]] >= quality | ch2 / s[[4]] >= quality
}
normalised <- normalizeWithinArrays(new("MAList", list(M = M, A = A)), method = "loess")$M
normalised[!passes] <- NA
genes <- spots %/% replicates
gene_of <- rep(seq_len(genes), each = replicates)
used <- seq_len(genes * replicates)
slide_means <- apply(normalised[used, , drop = FALSE], 2, function(m) {
  as.vector(tapply(m, gene_of, mean, na.rm = TRUE))
})
slide_means[is.nan(slide_means)] <- NA
fit <- eBayes(lmFit(slide_means))
analysis <- proc.time()[["elapsed"]] - start

lowess_start <- proc.time()[["elapsed"]]
for (k in seq_along(slides)) {
  ok <- !is.na(M[, k])
  lowess(A[ok, k], M[ok, k], f = 0.3, iter = 3)
}
per_slide <- (proc.time()[["elapsed"]] - lowess_start) / length(slides) * 1000
cat(sprintf("%.3f %.1f\n", analysis, per_slide))
