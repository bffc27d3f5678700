#include "media/ffmpeg/silent_audio_frame.h"

#include <algorithm>
#include <array>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

#include "media/ffmpeg/av_ptr.h"

namespace media {
namespace {

bool IsMpegAudio(AVCodecID codec) {
    return codec == AV_CODEC_ID_MP1 || codec == AV_CODEC_ID_MP2 || codec == AV_CODEC_ID_MP3;
}

// ISO 11172-3 and 13818-3 bit rates in kbit/s, by bit-rate index: MPEG-1 layers 1, 2, 3, then
// MPEG-2 and 2.5 layer 1, then their layers 2 and 3.
constexpr std::array<std::array<int, 15>, 5> kBitRates{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};
constexpr std::array<int, 3> kMpeg1Rates{44100, 48000, 32000};

// The header of a real frame with its CRC and padding taken away, followed by zeros: side
// information of zeros allocates no bits to any sub-band (layers 1 and 2) or codes no spectral
// value (layer 3), which every decoder plays as silence.
std::optional<SilentAudioFrame> SilentMpegAudioFrame(const std::uint8_t* packet, int size, int streamRate) {
    if (packet == nullptr || size < 4 || packet[0] != 0xFF || (packet[1] & 0xE0) != 0xE0) return std::nullopt;
    const int version = packet[1] >> 3 & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = 4 - (packet[1] >> 1 & 3);
    const int bitRateIndex = packet[2] >> 4;
    const int rateIndex = packet[2] >> 2 & 3;
    if (version == 1 || layer == 4 || bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    const int bitRate =
        kBitRates[static_cast<std::size_t>(table)][static_cast<std::size_t>(bitRateIndex)] * 1000;
    const int rate = kMpeg1Rates[static_cast<std::size_t>(rateIndex)] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);

    SilentAudioFrame frame;
    int length = 0;
    if (layer == 1) {
        frame.samples = 384;
        length = 12 * bitRate / rate * 4;
    } else {
        frame.samples = layer == 3 && !mpeg1 ? 576 : 1152;
        length = frame.samples / 8 * bitRate / rate;
    }
    // Counted at the stream's rate: recordings joined may change the rate from frame to frame.
    if (streamRate > 0 && streamRate != rate)
        frame.samples = static_cast<int>(av_rescale(frame.samples, streamRate, rate));
    frame.bytes.assign(static_cast<std::size_t>(length), 0);
    std::copy_n(packet, 4, frame.bytes.begin());
    frame.bytes[1] |= 0x01;                              // no CRC
    frame.bytes[2] &= static_cast<std::uint8_t>(~0x02);  // no padding
    return frame;
}

std::optional<SilentAudioFrame> SilentPcmFrame(const AVCodecParameters& stream) {
    const int bits = av_get_bits_per_sample(stream.codec_id);
    const int channels = stream.ch_layout.nb_channels;
    if (bits <= 0 || bits % 8 != 0 || channels <= 0) return std::nullopt;
    // Unsigned 8-bit PCM is silent at its middle value; every other PCM at zero.
    const std::uint8_t silent = stream.codec_id == AV_CODEC_ID_PCM_U8 ? 0x80 : 0x00;
    return SilentAudioFrame{std::vector<std::uint8_t>(static_cast<std::size_t>(bits / 8 * channels), silent),
                            1};
}

std::optional<SilentAudioFrame> EncodedSilentFrame(const AVCodecParameters& stream) {
    const AVCodec* encoder = avcodec_find_encoder(stream.codec_id);
    if (encoder == nullptr || stream.sample_rate <= 0 || stream.ch_layout.nb_channels <= 0)
        return std::nullopt;
    AvCodecContextPtr codec(avcodec_alloc_context3(encoder));
    if (!codec) return std::nullopt;
    codec->sample_rate = stream.sample_rate;
    // A stream that says only how many channels it has (AC-3 and DTS in AVI, whose header names no
    // layout) is coded in the usual layout of that many: mono, stereo, 5.1.
    if (stream.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&codec->ch_layout, stream.ch_layout.nb_channels);
    else if (av_channel_layout_copy(&codec->ch_layout, &stream.ch_layout) < 0)
        return std::nullopt;
    codec->bit_rate = stream.bit_rate;
    codec->time_base = AVRational{1, stream.sample_rate};
    if (encoder->sample_fmts == nullptr) return std::nullopt;
    codec->sample_fmt = encoder->sample_fmts[0];
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0 || codec->frame_size <= 0) return std::nullopt;

    AvFramePtr silence(av_frame_alloc());
    AvPacketPtr packet(av_packet_alloc());
    if (!silence || !packet) return std::nullopt;
    silence->format = codec->sample_fmt;
    silence->nb_samples = codec->frame_size;
    silence->sample_rate = codec->sample_rate;
    if (av_channel_layout_copy(&silence->ch_layout, &codec->ch_layout) < 0 ||
        av_frame_get_buffer(silence.get(), 0) < 0)
        return std::nullopt;
    av_samples_set_silence(silence->extended_data, 0, silence->nb_samples, silence->ch_layout.nb_channels,
                           codec->sample_fmt);
    // Encoders with a delay give their first packet only after a few frames.
    for (int sent = 0; sent < 8; ++sent) {
        if (avcodec_send_frame(codec.get(), silence.get()) < 0) return std::nullopt;
        if (avcodec_receive_packet(codec.get(), packet.get()) == 0) {
            return SilentAudioFrame{std::vector<std::uint8_t>(packet->data, packet->data + packet->size),
                                    codec->frame_size};
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<SilentAudioFrame> MakeSilentAudioFrame(const AVCodecParameters& stream,
                                                     const std::uint8_t* packet, int size) {
    if (IsMpegAudio(stream.codec_id)) return SilentMpegAudioFrame(packet, size, stream.sample_rate);
    if (std::string_view(avcodec_get_name(stream.codec_id)).starts_with("pcm_"))
        return SilentPcmFrame(stream);
    return EncodedSilentFrame(stream);
}

bool CanCodeSilence(const AVCodecParameters& stream) {
    if (IsMpegAudio(stream.codec_id)) return true;
    return MakeSilentAudioFrame(stream, nullptr, 0).has_value();
}

}  // namespace media
