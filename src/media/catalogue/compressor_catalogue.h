#pragma once

// The installed video compressors: FFmpeg's software video encoders that an AVI file can hold
// and that can be fed from RGB24, in FFmpeg's own (stable) order. Tests of the layers above may
// put a catalogue of their own in its place.

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec.h>
}

#include "media/api/types.h"

namespace media {

struct CompressorEntry {
    std::string friendlyName;     // UTF-8, the name the catalogue shows
    std::string encoderName;      // the FFmpeg encoder that binding the entry gives a filter for
    bool nameUnreadable = false;  // reading its friendly name fails (for tests)
    DWORD fourcc = 0;             // the AVI FourCC it writes; 0 when unknown
};

// The entries of the video compressor category, in catalogue order. MT safe.
[[nodiscard]] std::vector<CompressorEntry> InstalledCompressors();

// Whether codec belongs in the catalogue (software, AVI FourCC, RGB24-fed, not experimental).
[[nodiscard]] bool IsInstalledCompressor(const AVCodec& codec);

// Replaces the installed compressors with entries until the reset. MT safe; tests only.
void SetCompressorCatalogueForTesting(std::vector<CompressorEntry> entries);
void ResetCompressorCatalogueForTesting();

}  // namespace media
