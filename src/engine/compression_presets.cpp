#include "engine/compression_presets.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "text/message_catalogue.h"

namespace {

// DVD players with DivX/Xvid support, certified against the consumer MPEG-4 ASP profiles, play
// MPEG-4 part 2 up to PAL's picture size (NTSC's above 25 fps) at a few megabits and at most 30
// progressive pictures a second, with MP3 or AC-3 sound; the HD ones up to 720p at twice the rate.
// Their video is FFmpeg's MPEG-4 part 2 encoder's as DX50, whose rate control keeps the players'
// buffer and peaks, in one AVI 1.0 file under 2 GiB: a long film's rate is lowered to fit.
constexpr std::array kPresets{
    CompressionPreset{
        .name = "dvd-player",
        .compressor = "mpeg4",
        .summary = TranslatableText(
            "MPEG-4 part 2 (DX50), at most 720x576 (720x480 above 25 fps) and 30 fps, deinterlaced, "
            "4000 kbit/s within the Home Theater profile's peaks and buffer (less for a film too long "
            "for one 2 GiB AVI 1.0 file), a key frame every 250 frames, MP3 or AC-3 sound"),
        .choice = {.keyFrameRate = 250,
                   .dataRate = 4'000'000,
                   .largest = {720, 576},
                   .audio = AudioChoice::Mp3OrAc3,
                   .player = PlayerProfile::HomeTheater},
    },
    CompressionPreset{
        .name = "hd-player",
        .compressor = "mpeg4",
        .summary = TranslatableText(
            "MPEG-4 part 2 (DX50), at most 1280x720 and 30 fps, deinterlaced, 8000 kbit/s within the "
            "HD profile's peaks and buffer (less for a film too long for one 2 GiB AVI 1.0 file), a key "
            "frame every 250 frames, MP3 or AC-3 sound"),
        .choice = {.keyFrameRate = 250,
                   .dataRate = 8'000'000,
                   .largest = {1280, 720},
                   .audio = AudioChoice::Mp3OrAc3,
                   .player = PlayerProfile::Hd},
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
