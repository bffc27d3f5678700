#include "cli/job_plan.h"

#include <algorithm>

std::vector<ListedJob> PlanJobs(const std::vector<std::string>& files, const std::string& outputPath,
                                const std::string& outputDir) {
    std::vector<ListedJob> jobs;
    for (const std::string& file : files) {
        if (std::any_of(jobs.begin(), jobs.end(), [&](const ListedJob& job) { return job.input == file; }))
            continue;
        std::string natural = outputPath;
        if (natural.empty())
            natural = outputDir.empty() ? OutputPathFor(file) : OutputPathIn(outputDir, file);
        std::string output = OutputPathForJob(jobs, file, natural);
        jobs.push_back({file, std::move(output)});
    }
    return jobs;
}
