#include "engine/job_naming.h"

#include <algorithm>

#include "text/path_parts.h"

namespace {

constexpr char kOutputFolderName[] = "converted";
constexpr char kOutputExtension[] = ".avi";

// name in folder: the root folder's own text ends in "/" already, and a name without a folder
// stays relative.
std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return (folder == "/" ? std::string() : folder) + "/" + name;
}

bool TakenByAnotherInput(const std::vector<ListedJob>& listed, const std::string& input,
                         const std::string& candidate) {
    return std::any_of(listed.begin(), listed.end(), [&](const ListedJob& job) {
        return job.output == candidate && job.input != input;
    });
}

}  // namespace

std::string BaseNameOf(const std::string& path) {
    const std::string name = NameOf(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string OutputFolderFor(const std::string& input) {
    return Join(FolderPartOf(input), kOutputFolderName);
}

std::string OutputPathFor(const std::string& input) {
    return OutputPathIn(OutputFolderFor(input), input);
}

std::string OutputPathIn(const std::string& folder, const std::string& input) {
    return Join(folder, BaseNameOf(input) + kOutputExtension);
}

std::string OutputPathForJob(const std::vector<ListedJob>& listed, const std::string& input,
                             const std::string& natural) {
    for (const ListedJob& job : listed)
        if (job.input == input) return job.output;

    const auto dot = natural.rfind('.');
    const bool hasExtension = dot != std::string::npos && natural.find('/', dot) == std::string::npos;
    const std::string stem = hasExtension ? natural.substr(0, dot) : natural;
    const std::string extension = hasExtension ? natural.substr(dot) : std::string();
    std::string candidate = natural;
    for (int number = 2; TakenByAnotherInput(listed, input, candidate); ++number)
        candidate = stem + " (" + std::to_string(number) + ")" + extension;
    return candidate;
}
