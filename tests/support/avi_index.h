#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace testsupport {

// What a direct walk over a file's RIFF chunks finds. Readers such as libavformat rebuild a
// missing index silently by scanning the whole file, so reading back cannot tell whether a writer
// left one; the chunks can.
struct AviIndexInfo {
    bool isAvi = false;            // starts with a RIFF 'AVI ' chunk
    int riffChunks = 0;            // 1, or more for OpenDML files ('AVI ' followed by 'AVIX's)
    bool hasIdx1 = false;          // a non-empty legacy 'idx1' in the first RIFF chunk
    bool hasOpenDmlIndex = false;  // a stream header's 'indx' super index with entries in use
    // The first RIFF chunk as a reader that knows no OpenDML sees it: the data chunks of its movi
    // list, and the idx1 entries that name, at their offset, a chunk of that id in that list.
    int firstMoviChunks = 0;
    int idx1EntriesFound = 0;
    // The wFormatTag of each audio stream's format chunk, in stream order: what a player that
    // reads no further than the tag finds (0xFFFE for WAVE_FORMAT_EXTENSIBLE).
    std::vector<std::uint16_t> audioFormatTags;

    [[nodiscard]] bool HasIndex() const { return hasIdx1 || hasOpenDmlIndex; }
};

// Walks the top-level RIFF chunks of `file` and the header lists inside them. Never throws:
// unreadable files, other formats and chunk sizes that run past the end give what was found so far.
[[nodiscard]] AviIndexInfo ScanAviIndex(const std::filesystem::path& file);

}  // namespace testsupport
