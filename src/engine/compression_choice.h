#pragma once

// What the user asked of the compressor beyond which one it is: quality, key-frame distance and
// data rate, each at -1 or 0 for the compressor's own default. Set on a freshly bound compressor
// before its graph runs.

#include "media/api/interfaces.h"

struct CompressionChoice {
    double quality = -1.0;   // 0.0 (smallest) to 1.0 (best); -1: the compressor's
    LONG keyFrameRate = -1;  // at most this many frames between key frames; -1: the compressor's
    LONGLONG dataRate = 0;   // average bits per second instead of quality; 0: quality

    [[nodiscard]] bool IsDefault() const { return quality < 0 && keyFrameRate < 0 && dataRate == 0; }
};

// Sets choice on filter through IAMVideoCompression and IVideoDataRate. A default choice sets
// nothing; a compressor without the interfaces, or refusing a value, answers its failure.
[[nodiscard]] HRESULT ApplyCompressionChoice(IBaseFilter& filter, const CompressionChoice& choice);
