#include "media/filters/splitter_pcm.h"

#include <algorithm>
#include <cstring>

namespace media {
namespace {

// DVD LPCM's second header byte: bits 7-6 the sample size (0 = 16 bits), bits 5-4 the sample
// rate, bits 2-0 the channel count less one. Bit 3 carries nothing.
constexpr int kDvdLayoutMask = 0xF7;

int DvdRateCode(int sampleRate) {
    switch (sampleRate) {
        case 48000:
            return 0;
        case 96000:
            return 1;
        case 44100:
            return 2;
        case 32000:
            return 3;
        default:
            return -1;
    }
}

}  // namespace

const SplitterPcmRepacker::Conversion* SplitterPcmRepacker::Find(AVCodecID codec) {
    static constexpr Conversion kConversions[] = {
        {AV_CODEC_ID_PCM_S16BE, AV_CODEC_ID_PCM_S16LE, 2, true, false, 0, AV_SAMPLE_FMT_S16},
        {AV_CODEC_ID_PCM_S24BE, AV_CODEC_ID_PCM_S24LE, 3, true, false, 0, AV_SAMPLE_FMT_S32},
        {AV_CODEC_ID_PCM_S32BE, AV_CODEC_ID_PCM_S32LE, 4, true, false, 0, AV_SAMPLE_FMT_S32},
        {AV_CODEC_ID_PCM_S8, AV_CODEC_ID_PCM_U8, 1, false, true, 0, AV_SAMPLE_FMT_U8},
        {AV_CODEC_ID_PCM_U16LE, AV_CODEC_ID_PCM_S16LE, 2, false, true, 0, AV_SAMPLE_FMT_S16},
        {AV_CODEC_ID_PCM_U16BE, AV_CODEC_ID_PCM_S16LE, 2, true, true, 0, AV_SAMPLE_FMT_S16},
        {AV_CODEC_ID_PCM_U24LE, AV_CODEC_ID_PCM_S24LE, 3, false, true, 0, AV_SAMPLE_FMT_S32},
        {AV_CODEC_ID_PCM_U24BE, AV_CODEC_ID_PCM_S24LE, 3, true, true, 0, AV_SAMPLE_FMT_S32},
        {AV_CODEC_ID_PCM_U32LE, AV_CODEC_ID_PCM_S32LE, 4, false, true, 0, AV_SAMPLE_FMT_S32},
        {AV_CODEC_ID_PCM_U32BE, AV_CODEC_ID_PCM_S32LE, 4, true, true, 0, AV_SAMPLE_FMT_S32},
        {AV_CODEC_ID_PCM_F32BE, AV_CODEC_ID_PCM_F32LE, 4, true, false, 0, AV_SAMPLE_FMT_FLT},
        {AV_CODEC_ID_PCM_F64BE, AV_CODEC_ID_PCM_F64LE, 8, true, false, 0, AV_SAMPLE_FMT_DBL},
        // DVD LPCM at 16 bits is big-endian samples after a three-byte header. The 20- and
        // 24-bit layouts split samples across groups and are delivered as they are.
        {AV_CODEC_ID_PCM_DVD, AV_CODEC_ID_PCM_S16LE, 2, true, false, 3, AV_SAMPLE_FMT_S16},
    };
    for (const Conversion& conversion : kConversions) {
        if (conversion.from == codec) return &conversion;
    }
    return nullptr;
}

std::optional<SplitterPcmRepacker> SplitterPcmRepacker::For(const AVCodecParameters& source) {
    if (source.codec_type != AVMEDIA_TYPE_AUDIO) return std::nullopt;
    const Conversion* conversion = Find(source.codec_id);
    const int channels = source.ch_layout.nb_channels;
    if (conversion == nullptr || channels <= 0 || channels > 64 || source.sample_rate <= 0)
        return std::nullopt;

    int dvdHeaderByte = -1;
    if (conversion->headerBytes > 0) {
        const int bits =
            source.bits_per_raw_sample ? source.bits_per_raw_sample : source.bits_per_coded_sample;
        const int rateCode = DvdRateCode(source.sample_rate);
        if (bits != 16 || rateCode < 0 || channels > 8) return std::nullopt;
        dvdHeaderByte = (rateCode << 4) | (channels - 1);
    }
    SplitterPcmRepacker repacker(*conversion, source, dvdHeaderByte);
    if (!repacker.m_delivered) return std::nullopt;
    return repacker;
}

SplitterPcmRepacker::SplitterPcmRepacker(const Conversion& conversion, const AVCodecParameters& source,
                                         int dvdHeaderByte)
    : m_conversion(conversion),
      m_frameBytes(conversion.sampleBytes * source.ch_layout.nb_channels),
      m_dvdHeaderByte(dvdHeaderByte),
      m_delivered(avcodec_parameters_alloc()),
      m_partial(static_cast<std::size_t>(m_frameBytes)) {
    if (!m_delivered || avcodec_parameters_copy(m_delivered.get(), &source) < 0) {
        m_delivered.reset();
        return;
    }
    AVCodecParameters& delivered = *m_delivered;
    delivered.codec_id = conversion.to;
    delivered.codec_tag = 0;
    delivered.format = conversion.format;
    delivered.bits_per_coded_sample = conversion.sampleBytes * 8;
    delivered.bits_per_raw_sample = conversion.sampleBytes * 8;
    delivered.block_align = m_frameBytes;
    delivered.bit_rate = static_cast<std::int64_t>(source.sample_rate) * m_frameBytes * 8;
    delivered.frame_size = 0;
}

int SplitterPcmRepacker::MaxOutputSize(int size) const {
    return std::max(size, 0) + m_frameBytes;
}

void SplitterPcmRepacker::ConvertFrames(const std::uint8_t* in, int frames, std::uint8_t* out) const {
    const int bytes = m_conversion.sampleBytes;
    const int samples = frames * (m_frameBytes / bytes);
    for (int s = 0; s < samples; ++s, in += bytes, out += bytes) {
        if (m_conversion.swapBytes) {
            for (int b = 0; b < bytes; ++b) out[b] = in[bytes - 1 - b];
        } else {
            std::memcpy(out, in, static_cast<std::size_t>(bytes));
        }
        // In little-endian order the sign bit is in the last byte.
        if (m_conversion.flipSignBit) out[bytes - 1] ^= 0x80;
    }
}

int SplitterPcmRepacker::Repack(const std::uint8_t* data, int size, std::uint8_t* out) {
    if (size < 0 || (size > 0 && data == nullptr)) return -1;
    if (m_conversion.headerBytes > 0) {
        if (size < m_conversion.headerBytes || (data[1] & kDvdLayoutMask) != m_dvdHeaderByte) return -1;
        data += m_conversion.headerBytes;
        size -= m_conversion.headerBytes;
    }
    if (size == 0) return 0;
    int written = 0;
    if (m_held > 0) {
        const int take = std::min(m_frameBytes - m_held, size);
        std::memcpy(m_partial.data() + m_held, data, static_cast<std::size_t>(take));
        m_held += take;
        data += take;
        size -= take;
        if (m_held < m_frameBytes) return 0;
        ConvertFrames(m_partial.data(), 1, out);
        written = m_frameBytes;
        m_held = 0;
    }
    const int frames = size / m_frameBytes;
    ConvertFrames(data, frames, out + written);
    written += frames * m_frameBytes;
    m_held = size - frames * m_frameBytes;
    std::memcpy(m_partial.data(), data + frames * m_frameBytes, static_cast<std::size_t>(m_held));
    return written;
}

}  // namespace media
