#pragma once

// How a compressor codes for the players of a PlayerProfile: FFmpeg's own MPEG-4 part 2 encoder
// with a rate control that models the player's buffer. Through libavcodec, libxvid gets only an
// average rate and holds nothing else: after a cut from a still scene to a detailed one it spends
// three times the player's peak in one second and runs the buffer empty. libavcodec's encoder
// keeps a VBV in one pass, coding a frame again more coarsely when it would take too much.

#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/api/guid.h"
#include "media/api/player_profile.h"

namespace media {

// The FourCC these players were certified with.
inline constexpr DWORD kPlayerFourCC = MakeFourCC('D', 'X', '5', '0');

// The encoder that codes for the players in place of codec: libavcodec's MPEG-4 part 2 encoder
// for that family (its own and libxvid), null for any other codec, which cannot.
[[nodiscard]] const AVCodec* PlayerEncoderFor(const AVCodec& codec);

// Sets a context not yet opened to code for rules' players at the asked average: the rate control,
// the declared profile and level, key frames at most the profile's distance apart (or the asked
// distance, when shorter), no B-frames, quarter-pel, GMC or MPEG quantisation, and the
// mode decisions that are worth their time at these rates.
void ApplyPlayerProfile(const PlayerProfileRules& rules, std::int64_t askedBits, AVCodecContext& context);

}  // namespace media
