#include "support/samples_dir.h"

namespace testsupport {

std::filesystem::path SamplesDir() {
    return std::filesystem::path(TESSAREL_SAMPLES_DIR);
}

std::filesystem::path SamplePath(std::string_view name) {
    return SamplesDir() / name;
}

}  // namespace testsupport
