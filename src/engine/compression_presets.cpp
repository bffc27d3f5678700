#include "engine/compression_presets.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// DVD players with DivX/Xvid support play MPEG-4 part 2 up to PAL's picture size at a few
// megabits, with MP3, MPEG audio, AC-3 or PCM sound; the HD ones up to 720p at twice the rate.
// Their video is FFmpeg's MPEG-4 part 2 encoder's (FourCC DX50), whose rate control keeps the
// players' buffer; a long film's rate is lowered to fit one 2 GiB file.
constexpr std::array kPresets{
    CompressionPreset{
        .name = "dvd-player",
        .compressor = "mpeg4",
        .summary = "MPEG-4 part 2 (DX50) as DVD players take it: at most 720x576, 4000 kbit/s within the "
                   "Home Theater profile's peaks and buffer, one AVI 1.0 file under 2 GiB, MP3 sound "
                   "when needed",
        .choice = {.keyFrameRate = 250,
                   .dataRate = 4'000'000,
                   .largest = {720, 576},
                   .audio = AudioChoice::Mp3WhenNeeded,
                   .player = PlayerProfile_HomeTheater},
    },
    CompressionPreset{
        .name = "hd-player",
        .compressor = "mpeg4",
        .summary = "MPEG-4 part 2 (DX50) as HD media players take it: at most 1280x720, 8000 kbit/s within "
                   "the HD profile's peaks and buffer, one AVI 1.0 file under 2 GiB, MP3 sound when needed",
        .choice = {.keyFrameRate = 250,
                   .dataRate = 8'000'000,
                   .largest = {1280, 720},
                   .audio = AudioChoice::Mp3WhenNeeded,
                   .player = PlayerProfile_Hd},
    },
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::span<const CompressionPreset> CompressionPresets() {
    return kPresets;
}

const CompressionPreset* FindCompressionPreset(std::string_view name) {
    const auto found = std::ranges::find_if(
        kPresets, [name](const CompressionPreset& preset) { return SameIgnoringCase(preset.name, name); });
    return found == kPresets.end() ? nullptr : &*found;
}
