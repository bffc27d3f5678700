#include "media/catalogue/player_rate_control.h"

#include <algorithm>
#include <string_view>

namespace media {
const AVCodec* PlayerEncoderFor(const AVCodec& codec) {
    const std::string_view name = codec.name;
    if (name != "mpeg4" && name != "libxvid") return nullptr;
    return avcodec_find_encoder_by_name("mpeg4");
}

void ApplyPlayerProfile(const PlayerProfileRules& rules, std::int64_t askedBits, AVCodecContext& context) {
    const PlayerRateControl control = PlayerRateControlFor(rules, askedBits);
    context.flags &= ~AV_CODEC_FLAG_QSCALE;
    context.global_quality = 0;
    context.bit_rate = control.averageBits;
    context.rc_max_rate = control.fillBits;
    context.rc_buffer_size = static_cast<int>(control.bufferBits);
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
