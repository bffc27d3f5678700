#pragma once

// The jobs of one command line: which output each FILE gets, by the window's naming rules.

#include <string>
#include <vector>

#include "engine/job_naming.h"

// One job per FILE, in the order given; a FILE given again is the same job and converts once.
// Outputs: outputPath for the one FILE when it is given; otherwise "<base>.avi" in outputDir,
// or in "converted" beside FILE when outputDir is empty, made distinct across the call by
// " (2)", " (3)", ... as the window's list does.
[[nodiscard]] std::vector<ListedJob> PlanJobs(const std::vector<std::string>& files,
                                              const std::string& outputPath, const std::string& outputDir);
