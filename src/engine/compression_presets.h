#pragma once

// Named sets of compression settings for the players that still need AVI files: a preset picks
// the compressor and fills every setting, and what the user gives after it changes single ones.

#include <span>
#include <string_view>

#include "engine/compression_choice.h"

struct CompressionPreset {
    std::string_view name;        // as typed: "dvd-player"
    std::string_view compressor;  // the compressor's typed name: "xvid"
    std::string_view summary;     // one line for a list of presets, as written (ends in a zero byte)
    CompressionChoice choice;
};

// Every preset, the most common first.
[[nodiscard]] std::span<const CompressionPreset> CompressionPresets();

// The preset called name (exactly, case-insensitive); null when there is none.
[[nodiscard]] const CompressionPreset* FindCompressionPreset(std::string_view name);
