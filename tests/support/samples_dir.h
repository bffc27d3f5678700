#pragma once

#include <filesystem>
#include <string_view>

namespace testsupport {

// The folder tests/fixtures/make_samples.sh fills for this build tree (<build>/samples).
[[nodiscard]] std::filesystem::path SamplesDir();

// SamplesDir() / name, e.g. SamplePath("vfr.mov"). Does not check that the file exists.
[[nodiscard]] std::filesystem::path SamplePath(std::string_view name);

}  // namespace testsupport
