#pragma once

// What the user asked of a conversion beyond which compressor makes it: the compressor's quality,
// key-frame distance and data rate (each at -1 or 0 for the compressor's own default), the largest
// picture the output may have, and what becomes of the input's audio. Set on a freshly bound
// compressor and on the graph before it runs. Every member at its default converts as the program
// always has.

#include <optional>
#include <string_view>

#include "media/api/interfaces.h"

// The largest picture, in pixels as shown; 0 x 0 leaves every picture at its own size. A larger
// picture is scaled down to fit, keeping its display aspect; a smaller one is never scaled up.
struct PictureLimit {
    int width = 0;
    int height = 0;

    [[nodiscard]] bool IsSet() const { return width > 0 && height > 0; }
    bool operator==(const PictureLimit&) const = default;
};

// What becomes of the input's audio (when it is kept at all).
enum class AudioChoice {
    Keep,           // copied byte for byte
    Mp3WhenNeeded,  // MP3 unless players commonly decode it in AVI already (MP3, MP2, AC-3, PCM)
    Mp3,            // always MP3
    Mp3OrAc3,       // MP3 unless it is MP3 or AC-3 already: what certified stand-alone players take
};

// The choice's name as typed and stored: "keep", "mp3-when-needed", "mp3", "mp3-or-ac3".
[[nodiscard]] std::string_view AudioChoiceName(AudioChoice choice);
// The choice name names; none for any other text.
[[nodiscard]] std::optional<AudioChoice> AudioChoiceNamed(std::string_view name);

// The stand-alone players a conversion is made for. Their certified playback profile limits the
// picture by its frame rate and the frame rate itself, and takes progressive pictures only: an
// output made for them has its pictures thinned to at most 30 a second, deinterlaced, and fitted
// within the largest picture the profile allows at the output's rate (besides the largest picture
// chosen).
enum class PlayerProfile {
    None,         // no player's rules: the pictures as they come
    HomeTheater,  // DVD players: 720x576 up to 25 a second, 720x480 up to 30
    Hd,           // HD media players: 1280x720 up to 30 a second
};

// The profile's name as typed and stored: "none", "home-theater", "hd".
[[nodiscard]] std::string_view PlayerProfileName(PlayerProfile profile);
[[nodiscard]] std::optional<PlayerProfile> PlayerProfileNamed(std::string_view name);

// The fastest pictures a profile takes, in pictures a second; 0 for none.
[[nodiscard]] int HighestFrameRate(PlayerProfile profile);

// The largest picture profile allows at frameTime (100-ns units per picture; 0 when unknown, taken
// as the profile's fastest), no larger than chosen where chosen is set.
[[nodiscard]] PictureLimit PlayerPictureLimit(PlayerProfile profile, LONGLONG frameTime, PictureLimit chosen);

// The profile as the media layer's filters take it (IPlayerProfile).
[[nodiscard]] constexpr LONG PlayerProfileCodeOf(PlayerProfile profile) {
    return profile == PlayerProfile::HomeTheater ? PlayerProfile_HomeTheater
           : profile == PlayerProfile::Hd        ? PlayerProfile_Hd
                                                 : PlayerProfile_None;
}

struct CompressionChoice {
    double quality = -1.0;   // 0.0 (smallest) to 1.0 (best); -1: the compressor's
    LONG keyFrameRate = -1;  // at most this many frames between key frames; -1: the compressor's
    LONGLONG dataRate = 0;   // average bits per second instead of quality; 0: quality
    PictureLimit largest;    // the largest picture; unset: each picture at its own size
    AudioChoice audio = AudioChoice::Keep;
    // The players the output is for (a preset's): their rules over the settings above, and one
    // RIFF under 2 GiB, the video rate lowered for a long input. None: as the settings say.
    PlayerProfile player = PlayerProfile::None;

    // Whether the compressor itself is left at its defaults.
    [[nodiscard]] bool IsDefault() const {
        return quality < 0 && keyFrameRate < 0 && dataRate == 0 && player == PlayerProfile::None;
    }
    bool operator==(const CompressionChoice&) const = default;
};

// Sets choice's compressor settings on filter through IAMVideoCompression, IVideoDataRate and,
// for players, IPlayerProfile. A compressor at its defaults gets nothing set; a compressor without
// the interfaces, or refusing a value, answers its failure.
[[nodiscard]] HRESULT ApplyCompressionChoice(IBaseFilter& filter, const CompressionChoice& choice);
