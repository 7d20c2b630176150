# Holds corvane's runs on the other formats (results files, feature-extraction text, SPOT files
# with an array list, tables of named columns, plain or gzip-compressed), its background
# corrections, its normalisations within and between slides and its linear models against limma,
# which reads the same files itself: generated sets, the real swirl SPOT files with fish.gal and
# the real CCl4 study. Driven by tools/compare-with-limma, which writes the files, runs corvane and
# lists the runs in a table (one row each: the folder of the files, a tag, the format and the
# signal, the files, the array list, the background correction and its offset, the normalisation
# within and between slides, the dye-swapped slides, the targets file, its reference and dye
# effect, the design file, the contrasts separated by ';', a check, and the gene and spot tables
# that corvane wrote).
#
# limma's side of every run: read.maimages with the source of the format (wt.fun giving weight 0
# to flagged spots: GenePix Flags < 0, SPOT badspot != 0, feature extraction IsManualFlag != 0; and
# controls, ControlType != 0, weight 0 too), readGAL for the SPOT files' names,
# backgroundCorrect (normexp by maximum likelihood), normalizeWithinArrays with the weights,
# normalizeBetweenArrays; M set to NA where the weight is 0, avereps by ID over the spots that
# belong to a gene (an ID that is not empty, no control), lmFit without weights, contrasts.fit,
# eBayes, and p.adjust(method = "BH") for the q-values. A one-sample run's design is 1 for every
# slide and -1 for the swapped ones; a targets run's is modelMatrix(targets, ref) with
# cbind(Dye = 1, ...) for the dye effect; a design file is read as it is.
#
# Compared, each with its largest difference printed:
# - the nets of a run without normalisation (background none or subtract): corvane's ch1_net and
#   ch2_net against G - Gb and R - Rb (or G and R), which must be equal;
# - every spot's normalised M (log2 of the spot table's ratio, turned round on the dye-swapped
#   slides of a one-sample run) within 1e-9 absolute;
# - a one-sample run's slide_log2_mean, mod_t, mod_p_value and mod_q_value; a design's AveExpr
#   (limma's Amean), per contrast logFC, t, p_value, q_value and B, and F with its p-value: within
#   1e-9 relative, with a floor under the reference value, |a - b| <= 1e-9 * max(|b|, 1e-6) (for
#   B, a log-odds whose terms of the order of 1 cancel near 0, max(|b|, 1)).
# A run with normexp is held to 1e-6 (absolute for M, relative for the rest), against limma's
# normexp fits carried on to the maximum of limma's own likelihood (normexp_to_maximum below:
# limma's optimiser stops short of it on many channels, by up to 1.5e-6 in the corrected signal;
# corvane's nets agree with the maximum within 1e-10), with the floor 1e-3 under the reference
# value: the nets' differences of about 1e-11 relative leave values near 0 (a logFC of 2e-6, say)
# off by about 1e-12, which is 1e-6 of such a value. NA must stand in the same places, and the
# genes must be the same IDs in the same order.
#
# Differences in what is compared, not in the analysis:
# - a net of 0 or below has no ratio in corvane, and limma's log2 gives -Inf (zero) or NaN
#   (negative); here such nets are set to NA before M is formed, so that M and A are NA for limma
#   too and the spot is left out of the fits alike;
# - limma keeps the weights of flagged spots into avereps; corvane fits each gene's per-array mean
#   of its good spots without weights, so the weights are dropped after M is set to NA there;
# - before quantile normalisation, spots that limma's loess fits differently in the last bit at
#   the same R and G are given one M (even_ties below).
#
# A run with the check "calls" prints limma's decideTests summary beside corvane's calls (q below
# 0.05, up or down by the sign of logFC) for every contrast, and they must agree; with "calls" or
# "groups" it prints how the spots were grouped into genes. Exits with status 1 when anything
# disagrees.
suppressMessages({
  library(limma)
  library(data.table)
})

runs <- fread(commandArgs(TRUE)[1], sep = "\t", colClasses = "character", na.strings = NULL)
exact_tolerance <- 1e-9
normexp_tolerance <- 1e-6
relative_floor <- 1e-6
normexp_floor <- 1e-3

# The limma source of a corvane format and signal.
limma_source <- function(run) {
  switch(run$format,
         genepix = if (run$signal == "median") "genepix.median" else "genepix",
         agilent = if (run$signal == "mean") "agilent.mean" else "agilent",
         spot = "spot",
         columns = "generic")
}

# The weight of every spot from its flags, as limma users give it.
flag_weights <- list(
  genepix = function(x) as.numeric(x$Flags >= 0),
  genepix.median = function(x) as.numeric(x$Flags >= 0),
  agilent = function(x) as.numeric(x$IsManualFlag == 0),
  agilent.mean = function(x) as.numeric(x$IsManualFlag == 0),
  spot = function(x) as.numeric(x$badspot == 0))

# The arrays of a run as limma reads them, with the ID of every spot's gene (NA for a spot of no
# gene: an empty ID, or a control) and the print-tip layout. Read once per folder, files and
# source.
arrays_read <- list()
read_arrays <- function(run) {
  source <- limma_source(run)
  files <- strsplit(run$files, ",")[[1]]
  key <- paste(run$dir, run$files, source, run$array_list, sep = "|")
  if (!is.null(arrays_read[[key]])) return(arrays_read[[key]])
  if (source == "generic") {
    RG <- read.maimages(files, source = "generic", path = run$dir, verbose = FALSE,
                        columns = list(R = "Red", G = "Green", Rb = "RedBg", Gb = "GreenBg"),
                        annotation = c("Block", "Row", "Col", "ProbeID", "Gene"))
    id <- RG$genes$ProbeID
    layout_of <- data.frame(Block = RG$genes$Block, Row = RG$genes$Row, Column = RG$genes$Col)
    RG$printer <- getLayout(layout_of)
  } else {
    RG <- read.maimages(files, source = source, path = run$dir, verbose = FALSE,
                        wt.fun = flag_weights[[source]])
    if (source == "spot") {
      RG$genes <- readGAL(run$array_list)
      RG$printer <- getLayout(RG$genes)
      id <- RG$genes$ID
    } else if (startsWith(source, "genepix")) {
      RG$printer <- getLayout(RG$genes)
      id <- RG$genes$ID
    } else {
      # Feature extraction: one block; its controls have weight 0 and belong to no gene.
      RG$printer <- structure(list(ngrid.r = 1L, ngrid.c = 1L, nspot.r = max(RG$genes$Row),
                                   nspot.c = max(RG$genes$Col)), class = "PrintLayout")
      control <- RG$genes$ControlType != 0
      RG$weights[control, ] <- 0
      id <- ifelse(control, NA, RG$genes$ProbeName)
    }
  }
  id <- as.character(id)
  id[!is.na(id) & id == ""] <- NA
  arrays <- list(RG = RG, id = id)
  arrays_read[[key]] <<- arrays
  arrays
}

# The largest difference of two vectors at the places both hold a value: absolute, or relative
# to the reference value with a floor.
largest_difference <- function(ours, theirs, relative, floor = relative_floor) {
  both <- !is.na(ours) & !is.na(theirs)
  if (!any(both)) return(0)
  a <- ours[both]
  b <- theirs[both]
  difference <- ifelse(a == b, 0, abs(a - b))
  if (relative) difference <- difference / pmax(abs(b), floor)
  max(difference)
}

results <- list()
failures <- character(0)
# record(VALUE, KIND, TOLERANCE, OURS, THEIRS, RUN): the largest difference of one value over
# the runs, by kind of comparison and tolerance.
# B, a log-odds, is a sum of terms of the order of 1 that cancel where it is near 0: its floor is 1.
record <- function(value, kind, tolerance, ours, theirs, run) {
  relative <- kind == "relative"
  floor <- if (value == "B") 1 else if (tolerance == normexp_tolerance) normexp_floor else
    relative_floor
  difference <- largest_difference(ours, theirs, relative, floor)
  na_agree <- identical(as.vector(is.na(ours)), as.vector(is.na(theirs)))
  key <- sprintf("%s|%s|%g", value, kind, tolerance)
  entry <- results[[key]]
  if (is.null(entry)) {
    entry <- list(value = value, kind = kind, tolerance = tolerance, largest = 0, worst = "",
                  runs = 0, na_differ = 0)
  }
  entry$runs <- entry$runs + 1
  if (difference >= entry$largest) {
    entry$largest <- difference
    entry$worst <- run$tag
  }
  if (!na_agree) {
    entry$na_differ <- entry$na_differ + 1
    failures <<- c(failures, sprintf("%s %s: NA in other places (%d ours, %d limma's)", run$tag,
                                     value, sum(is.na(ours)), sum(is.na(theirs))))
  }
  if (difference > tolerance) {
    both <- which(!is.na(ours) & !is.na(theirs))
    gap <- abs(ours[both] - theirs[both])
    if (relative) gap <- gap / pmax(abs(theirs[both]), floor)
    at <- both[which.max(gap)]
    failures <<- c(failures, sprintf("%s %s differs by %.3g (row %d: ours %.17g, limma's %.17g)",
                                     run$tag, value, difference, at, ours[at], theirs[at]))
  }
  results[[key]] <<- entry
}

# The contrasts of a run, NAME=EXPRESSION separated by ';', as limma's contrast matrix.
contrast_matrix <- function(texts, design) {
  texts <- strsplit(texts, ";", fixed = TRUE)[[1]]
  names <- sub("=.*$", "", texts)
  expressions <- sub("^[^=]*=", "", texts)
  matrix <- makeContrasts(contrasts = expressions, levels = design)
  colnames(matrix) <- names
  matrix
}

# limma's normexp fit of each channel (backgroundCorrect's, by nlminb from its saddle-point
# start) carried on to the maximum of its own likelihood by Newton's method with its own gradient
# and Hessian (.normexp.gm2loglik, .normexp.hm2loglik): nlminb stops on some channels while the
# gradient is still far from 0 (up to about 3e-3 on the CCl4 arrays), which moves the corrected
# signal by up to about 1e-6 relative. The Newton steps are taken only while they shrink the
# gradient and leave -2 log-likelihood no higher (to its rounding, 1e-12 relative). Returns the
# corrected RGList and, per channel, the gradient at limma's stop and at the maximum, and the
# largest relative change of the signal.
normexp_to_maximum <- function(RG, corrected, offset) {
  m2loglik <- limma:::.normexp.m2loglik
  gradient <- limma:::.normexp.gm2loglik
  hessian <- limma:::.normexp.hm2loglik
  steps <- list()
  for (channel in c("R", "G")) {
    for (j in seq_len(ncol(RG[[channel]]))) {
      x <- RG[[channel]][, j] - RG[[paste0(channel, "b")]][, j]
      fit <- normexp.fit(x, method = "mle")
      limma_signal <- normexp.signal(fit$par, x) + offset
      stopifnot(identical(limma_signal, corrected[[channel]][, j]))
      if (!all(is.finite(fit$par))) next
      par <- fit$par
      par[2] <- 2 * par[2]  # the likelihood's parameters hold log sigma^2
      start_gradient <- max(abs(gradient(par, x)))
      for (k in 1:20) {
        step <- tryCatch(solve(hessian(par, x), gradient(par, x)), error = function(e) NULL)
        if (is.null(step) || !all(is.finite(step))) break
        next_par <- par - step
        if (!(m2loglik(next_par, x) <= m2loglik(par, x) * (1 + 1e-12) &&
              max(abs(gradient(next_par, x))) < max(abs(gradient(par, x))))) break
        par <- next_par
      }
      par[2] <- par[2] / 2
      signal <- normexp.signal(par, x) + offset
      corrected[[channel]][, j] <- signal
      steps[[length(steps) + 1]] <- c(start_gradient, max(abs(gradient(c(par[1], 2 * par[2],
                                                                          par[3]), x))),
                                      max(abs(signal - limma_signal) / abs(signal)))
    }
  }
  list(corrected = corrected, steps = do.call(rbind, steps))
}
normexp_steps <- NULL

# limma's loess gives spots of the same R and G (and print-tip group) fitted values that may
# differ in the last bit; quantile normalisation between arrays then ranks them apart and gives
# them values far apart where the values are few (0.12 in log2 seen), where corvane's equal fits
# keep them tied. Before the quantile method the M of such spots is made that of the first of
# them; the largest change is returned, and must stay below 1e-12.
even_ties <- function(MA, corrected, by_block) {
  block <- if (by_block) rep(seq_len(MA$printer$ngrid.r * MA$printer$ngrid.c),
                             each = MA$printer$nspot.r * MA$printer$nspot.c) else 0
  change <- 0
  for (j in seq_len(ncol(MA$M))) {
    key <- paste(corrected$R[, j], corrected$G[, j], block)
    first <- match(key, key)
    evened <- MA$M[first, j]
    change <- max(change, abs(evened - MA$M[, j]), na.rm = TRUE)
    MA$M[, j] <- evened
  }
  list(MA = MA, change = change)
}

calls_printed <- character(0)
summaries <- character(0)

for (i in seq_len(nrow(runs))) {
  run <- runs[i]
  arrays <- read_arrays(run)
  RG <- arrays$RG
  id <- arrays$id
  narrays <- ncol(RG$R)
  normexp <- run$background == "normexp"
  tolerance <- if (normexp) normexp_tolerance else exact_tolerance

  spots <- fread(run$spots_path, sep = "\t", quote = "", na.strings = "NA",
                 colClasses = list(character = c("file", "name")))
  nspots <- nrow(RG$R)
  if (nrow(spots) != nspots * narrays) {
    failures <- c(failures, sprintf("%s: %d spot rows for %d spots on %d arrays", run$tag,
                                    nrow(spots), nspots, narrays))
    next
  }

  corrected <- backgroundCorrect(RG, method = run$background, offset = as.numeric(run$offset),
                                 normexp.method = "mle", verbose = FALSE)
  if (normexp) {
    completed <- normexp_to_maximum(RG, corrected, as.numeric(run$offset))
    corrected <- completed$corrected
    normexp_steps <- rbind(normexp_steps, completed$steps)
  }
  # The values read: the nets of a run that normalises nothing.
  if (!normexp && run$within == "none" && run$between == "none") {
    record("G net (ch1_net)", "equal", 0, spots$ch1_net, as.vector(corrected$G), run)
    record("R net (ch2_net)", "equal", 0, spots$ch2_net, as.vector(corrected$R), run)
  }
  if (normexp && run$within == "none" && run$between == "none") {
    record("normexp G net", "relative", tolerance, spots$ch1_net, as.vector(corrected$G), run)
    record("normexp R net", "relative", tolerance, spots$ch2_net, as.vector(corrected$R), run)
  }
  # A net of 0 or below has no ratio: NA rather than -Inf or NaN (see the opening comment).
  corrected$R[!is.na(corrected$R) & corrected$R <= 0] <- NA
  corrected$G[!is.na(corrected$G) & corrected$G <= 0] <- NA

  MA <- normalizeWithinArrays(corrected, method = sub("-", "", run$within),
                              weights = corrected$weights)
  if (run$between == "quantile" && run$within %in% c("loess", "printtip-loess")) {
    evened <- even_ties(MA, corrected, run$within == "printtip-loess")
    record("M evened at ties", "absolute", 1e-12, 0, evened$change, run)
    MA <- evened$MA
  }
  if (run$between != "none") MA <- normalizeBetweenArrays(MA, method = run$between)

  # A one-sample run turns the swapped slides round in its ratios.
  one_sample <- run$targets == "" && run$design == "" ||
    run$targets != "" && run$reference == "" && run$dye_effect == ""
  sign <- rep(1, narrays)
  swapped <- if (run$swapped == "") integer(0) else as.integer(strsplit(run$swapped, ",")[[1]])
  if (one_sample && run$targets != "") {
    targets <- readTargets(file.path(run$dir, run$targets))
    swapped <- which(targets$Cy3 != targets$Cy3[1])
  }
  sign[swapped] <- -1
  ours_m <- log2(spots$ratio) * rep(sign, each = nspots)
  record("normalised M", "absolute", tolerance, ours_m, as.vector(MA$M), run)

  # The genes: the per-array mean of each ID's spots of weight above 0, without weights.
  M <- MA$M
  if (!is.null(MA$weights)) M[MA$weights == 0] <- NA
  gene_spot <- !is.na(id)
  MAg <- new("MAList", list(M = M[gene_spot, , drop = FALSE], A = MA$A[gene_spot, , drop = FALSE]))
  MAa <- avereps(MAg, ID = id[gene_spot])
  MAa$weights <- NULL

  if (run$check %in% c("calls", "groups")) {
    control_name <- grepl("^\\([+-]\\)|Corner$|^EMPTY$", id)
    several <- table(id[!is.na(id)])
    calls_printed <- c(calls_printed, sprintf(paste0(
      "%s: %d spots per array, %d without an ID (no gene), %d of %d genes named as controls ",
      "(their %d spots grouped by ID like the rest), %d IDs printed more than once"), run$tag,
      nspots, sum(is.na(id)), sum(grepl("^\\([+-]\\)|Corner$|^EMPTY$", names(several))),
      length(several), sum(control_name), sum(several > 1)))
  }

  genes <- fread(run$genes_path, sep = "\t", quote = "", na.strings = "NA",
                 colClasses = list(character = c("id", "name")))
  if (!identical(genes$id, rownames(MAa$M))) {
    failures <- c(failures, sprintf("%s: the genes differ (%d ours, %d limma's)", run$tag,
                                    nrow(genes), nrow(MAa$M)))
    next
  }

  if (one_sample) {
    fit <- eBayes(suppressWarnings(lmFit(MAa, design = matrix(sign, ncol = 1))))
    p <- fit$p.value[, 1]
    record("slide_log2_mean", "relative", tolerance, genes$slide_log2_mean, fit$coefficients[, 1],
           run)
    record("mod_t", "relative", tolerance, genes$mod_t, fit$t[, 1], run)
    record("mod_p_value", "relative", tolerance, genes$mod_p_value, p, run)
    record("mod_q_value", "relative", tolerance, genes$mod_q_value, p.adjust(p, method = "BH"),
           run)
    next
  }

  if (run$design != "") {
    # A first column of row names has an empty heading.
    table <- read.delim(file.path(run$dir, run$design), check.names = FALSE)
    if (names(table)[1] %in% c("", "X")) table <- table[-1]
    design <- as.matrix(table)
  } else {
    targets <- readTargets(file.path(run$dir, run$targets))
    invisible(capture.output(design <- modelMatrix(targets, ref = run$reference)))
    if (run$dye_effect != "") design <- cbind(Dye = 1, design)
  }
  fit <- suppressWarnings(lmFit(MAa, design))
  if (run$contrasts != "") fit <- contrasts.fit(fit, contrast_matrix(run$contrasts, design))
  fit <- eBayes(fit)
  record("AveExpr", "relative", tolerance, genes$AveExpr, fit$Amean, run)
  for (name in colnames(fit$coefficients)) {
    p <- fit$p.value[, name]
    record("logFC", "relative", tolerance, genes[[paste0(name, ".logFC")]],
           fit$coefficients[, name], run)
    record("t", "relative", tolerance, genes[[paste0(name, ".t")]], fit$t[, name], run)
    record("p_value", "relative", tolerance, genes[[paste0(name, ".p_value")]], p, run)
    record("q_value", "relative", tolerance, genes[[paste0(name, ".q_value")]],
           p.adjust(p, method = "BH"), run)
    record("B", "relative", tolerance, genes[[paste0(name, ".B")]], fit$lods[, name], run)
  }
  record("F", "relative", tolerance, genes$F, fit$F, run)
  record("F.p_value", "relative", tolerance, genes$F.p_value, fit$F.p.value, run)

  if (run$check == "calls") {
    limma_calls <- summary(decideTests(fit, p.value = 0.05))
    lines <- sprintf("  %-24s %10s %10s", "contrast", "corvane", "limma")
    for (name in colnames(fit$coefficients)) {
      q <- genes[[paste0(name, ".q_value")]]
      logfc <- genes[[paste0(name, ".logFC")]]
      down <- sum(q < 0.05 & logfc < 0, na.rm = TRUE)
      up <- sum(q < 0.05 & logfc > 0, na.rm = TRUE)
      lines <- c(lines, sprintf("  %-24s %10s %10s", name, sprintf("%d/%d", down, up),
                                sprintf("%d/%d", limma_calls["Down", name],
                                        limma_calls["Up", name])))
      if (down != limma_calls["Down", name] || up != limma_calls["Up", name]) {
        failures <- c(failures, sprintf("%s %s: the calls differ", run$tag, name))
      }
    }
    calls_printed <- c(calls_printed, sprintf("%s: genes called down/up at q < 0.05", run$tag),
                       lines)
  }
}

cat(sprintf("%d runs of the other formats, designs and real data compared with limma %s\n",
            nrow(runs), packageVersion("limma")))
cat(sprintf("\n%-18s %-10s %-10s %-12s %-5s %-9s %s\n", "value", "kind", "tolerance", "largest",
            "runs", "NA places", "(largest in)"))
for (entry in results) {
  cat(sprintf("%-18s %-10s %-10s %-12s %-5d %-9s %s\n", entry$value, entry$kind,
              format(entry$tolerance), sprintf("%.3g", entry$largest), entry$runs,
              if (entry$na_differ == 0) "agree" else sprintf("DIFFER %d", entry$na_differ),
              entry$worst))
}
if (!is.null(normexp_steps)) {
  cat(sprintf(paste0("\nnormexp: limma's fits of %d channels stopped with a gradient of -2 log-",
                     "likelihood up to %.3g;\ncarried on to its maximum (gradient up to %.3g), ",
                     "which moved limma's corrected signal by up to %.3g relative\n"),
              nrow(normexp_steps), max(normexp_steps[, 1]), max(normexp_steps[, 2]),
              max(normexp_steps[, 3])))
}
if (length(calls_printed) > 0) cat("\n", paste0(calls_printed, "\n"), sep = "")
if (length(failures) > 0) {
  cat("\nFAILED:\n", paste0("  ", failures, "\n"), sep = "")
  quit(status = 1)
}
cat("\nAll agree within the tolerances.\n")
