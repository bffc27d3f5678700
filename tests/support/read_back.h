#pragma once

#include <filesystem>

#include "support/media_summary.h"

namespace testsupport {

// Opens `file` with libavformat alone (never anything of ours), reads every packet and summarises
// each stream as a player sees it: packets the container marks as discarded are left out, and the
// video is decoded to count the pictures shown. Also scans the RIFF chunks for an AVI index.
// Never throws: a file that cannot be opened gives a summary with `error` set and no streams; a
// read error part-way keeps what was read before it and sets `error` as well.
[[nodiscard]] MediaSummary ReadBack(const std::filesystem::path& file);

}  // namespace testsupport
