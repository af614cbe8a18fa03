// probe_stats.h - summaries of measured round trips.
#pragma once

#include <vector>

// The p-th percentile (0 to 100) by nearest rank: the smallest sample with at least
// p percent of the samples at or below it; p = 0 gives the smallest. Reorders
// `samples`. 0 for no samples.
double Percentile(std::vector<double>& samples, double p);
