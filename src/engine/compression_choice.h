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
};

// The players' name as typed and stored, the preset's: "dvd-player", "hd-player"; "" for none.
[[nodiscard]] std::string_view PlayerProfileName(PlayerProfile player);
// The players name names; none for any other text.
[[nodiscard]] std::optional<PlayerProfile> PlayerProfileNamed(std::string_view name);

// The choice's name as typed and stored: "keep", "mp3-when-needed", "mp3".
[[nodiscard]] std::string_view AudioChoiceName(AudioChoice choice);
// The choice name names; none for any other text.
[[nodiscard]] std::optional<AudioChoice> AudioChoiceNamed(std::string_view name);

struct CompressionChoice {
    double quality = -1.0;   // 0.0 (smallest) to 1.0 (best); -1: the compressor's
    LONG keyFrameRate = -1;  // at most this many frames between key frames; -1: the compressor's
    LONGLONG dataRate = 0;   // average bits per second instead of quality; 0: quality
    PictureLimit largest;    // the largest picture; unset: each picture at its own size
    AudioChoice audio = AudioChoice::Keep;
    // The players the output is for (a preset's): their rules over the settings above, and one
    // RIFF under 2 GiB, the video rate lowered for a long input. None: as the settings say.
    PlayerProfile player = PlayerProfile_None;

    // Whether the compressor itself is left at its defaults.
    [[nodiscard]] bool IsDefault() const {
        return quality < 0 && keyFrameRate < 0 && dataRate == 0 && player == PlayerProfile_None;
    }
    bool operator==(const CompressionChoice&) const = default;
};

// Sets choice's compressor settings on filter through IAMVideoCompression, IVideoDataRate and,
// for players, IPlayerProfile. A compressor at its defaults gets nothing set; a compressor without
// the interfaces, or refusing a value, answers its failure.
[[nodiscard]] HRESULT ApplyCompressionChoice(IBaseFilter& filter, const CompressionChoice& choice);
