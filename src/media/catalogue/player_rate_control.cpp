#include "media/catalogue/player_rate_control.h"

#include <algorithm>
#include <string_view>

namespace media {
namespace {

// A tenth of the peak is left over: the encoder's buffer is counted a frame at a time, the
// player's second need not start on a frame's boundary.
constexpr std::int64_t kPeakShareUsed = 90;
// The buffer takes at most a fifth of the peak, leaving the rest to the fill rate, which must
// stay above the average.
constexpr std::int64_t kPeakShareBuffered = 5;

}  // namespace

const AVCodec* PlayerEncoderFor(const AVCodec& codec) {
    const std::string_view name = codec.name;
    if (name != "mpeg4" && name != "libxvid") return nullptr;
    return avcodec_find_encoder_by_name("mpeg4");
}

PlayerRateControl PlayerRateControlFor(const PlayerProfileRules& rules, std::int64_t askedBits) {
    const std::int64_t peak = std::min(rules.peakBits, rules.levelPeakBits) * kPeakShareUsed / 100;
    const std::int64_t buffer =
        std::min({rules.levelBufferBits, rules.bufferBytes * 8, peak / kPeakShareBuffered});
    PlayerRateControl control;
    control.bufferBits = static_cast<int>(buffer);
    control.fillBits = peak - buffer;
    const std::int64_t ceiling = std::min(rules.averageBits, control.fillBits);
    control.averageBits = askedBits > 0 ? std::min(askedBits, ceiling) : ceiling;
    return control;
}

void ApplyPlayerProfile(const PlayerProfileRules& rules, std::int64_t askedBits, AVCodecContext& context) {
    const PlayerRateControl control = PlayerRateControlFor(rules, askedBits);
    context.flags &= ~AV_CODEC_FLAG_QSCALE;
    context.global_quality = 0;
    context.bit_rate = control.averageBits;
    context.rc_max_rate = control.fillBits;
    context.rc_buffer_size = control.bufferBits;
    // The player's buffer starts three quarters full; the encoder's starts no fuller.
    context.rc_initial_buffer_occupancy = control.bufferBits / 4 * 3;
    context.gop_size = context.gop_size > 0 ? std::min(context.gop_size, rules.keyFrameDistance)
                                            : rules.keyFrameDistance;
    context.max_b_frames = 0;
    context.profile = rules.profileAndLevel >> 4;
    context.level = rules.profileAndLevel & 0x0F;
    context.codec_tag = kPlayerFourCC;
    // Rate-distortion mode decision and four vectors per macroblock: about 0.1 dB at half again
    // the time. Trellis quantisation would add 0.3 dB at ten times the time.
    context.mb_decision = FF_MB_DECISION_RD;
    context.flags |= AV_CODEC_FLAG_4MV;
}

}  // namespace media
