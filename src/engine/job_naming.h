#pragma once

// Job naming: the rules that turn an input path into its output path. Paths are byte strings
// (UTF-8 by custom, but any bytes but '/' and NUL may stand in a name), split at '/' only.

#include <string>
#include <vector>

// The file name of path without its last extension: the text after the last '/' and before the
// name's last '.'; the whole name when it has no '.'.
[[nodiscard]] std::string BaseNameOf(const std::string& path);

// The folder that a job's output goes to: "<folder>/converted", beside the input ("converted"
// for a bare name, which lies in the current folder).
[[nodiscard]] std::string OutputFolderFor(const std::string& input);

// The output naming rule: "<folder>/converted/<base>.avi". "/v/clip.part1.mov" gives
// "/v/converted/clip.part1.avi"; "/a.avi" gives "/converted/a.avi".
[[nodiscard]] std::string OutputPathFor(const std::string& input);

// outputPath in another folder: "<folder>/<base>.avi", by the same base-name rule.
[[nodiscard]] std::string OutputPathIn(const std::string& folder, const std::string& input);

// One job already listed: its input and the output it was given.
struct ListedJob {
    std::string input;
    std::string output;
};

// The output for input as a new job beside the jobs listed: the one already listed for the same
// input, so a file listed twice keeps one output; otherwise natural, made distinct from every
// output of another input by " (2)", " (3)", ... before its extension, so that no job overwrites
// another's result.
[[nodiscard]] std::string OutputPathForJob(const std::vector<ListedJob>& listed, const std::string& input,
                                           const std::string& natural);
