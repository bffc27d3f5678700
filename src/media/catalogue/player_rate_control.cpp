#include "media/catalogue/player_rate_control.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace media {
namespace {

// The pixel shapes MPEG-4 part 2 has a code for (ITU-R BT.601's, on a 704-wide active picture),
// the only ones these players read; any other is written as an "extended PAR" they ignore.
constexpr AVRational kCodedAspects[] = {{1, 1}, {12, 11}, {10, 11}, {16, 11}, {40, 33}};
// A DVD's pixels are these shapes as measured on its 720-wide picture: 8:9 is 10:11, 64:45 is
// 16:11, and so on, a 2.3 % difference that is the picture's overscan.
constexpr double kLargestAspectDifference = 0.03;

// The coded shape nearest to aspect when it is near enough; aspect itself otherwise.
AVRational CodedAspect(AVRational aspect) {
    if (aspect.num <= 0 || aspect.den <= 0) return AVRational{1, 1};
    AVRational nearest = aspect;
    double difference = kLargestAspectDifference;
    for (AVRational coded : kCodedAspects) {
        const double d = std::abs(av_q2d(aspect) / av_q2d(coded) - 1);
        if (d <= difference) {
            nearest = coded;
            difference = d;
        }
    }
    return nearest;
}

}  // namespace

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
    context.gop_size =
        context.gop_size > 0 ? std::min(context.gop_size, rules.keyFrameDistance) : rules.keyFrameDistance;
    context.max_b_frames = 0;
    context.profile = rules.profileAndLevel >> 4;
    context.level = rules.profileAndLevel & 0x0F;
    context.codec_tag = kPlayerFourCC;
    context.sample_aspect_ratio = CodedAspect(context.sample_aspect_ratio);
    // Rate-distortion mode decision and four vectors per macroblock: a few hundredths of a dB for
    // half again the time on a film; trellis quantisation would add 0.3 dB at ten times the time.
    context.mb_decision = FF_MB_DECISION_RD;
    context.flags |= AV_CODEC_FLAG_4MV;
}

}  // namespace media
