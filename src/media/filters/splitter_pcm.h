#pragma once

// Audio that an AVI file cannot hold as the demuxer delivers it but that is plain PCM underneath
// (big-endian or unsigned-16/24/32 or signed-8-bit samples, 16-bit DVD LPCM) is passed on as
// standard little-endian PCM: the same samples, only their byte order and sign convention
// changed (and the DVD packet header dropped).

#include <cstdint>
#include <optional>
#include <vector>

extern "C" {
#include <libavcodec/codec_par.h>
#include <libavutil/samplefmt.h>
}

#include "media/ffmpeg/av_ptr.h"

namespace media {

class SplitterPcmRepacker {
public:
    // A repacker for a stream that needs one, or nothing when the stream is delivered unchanged.
    [[nodiscard]] static std::optional<SplitterPcmRepacker> For(const AVCodecParameters& source);

    SplitterPcmRepacker(SplitterPcmRepacker&&) noexcept = default;
    SplitterPcmRepacker& operator=(SplitterPcmRepacker&&) noexcept = default;

    // The stream as delivered: the source's parameters with the little-endian PCM codec.
    [[nodiscard]] const AVCodecParameters& Delivered() const { return *m_delivered; }

    // The most bytes Repack can write for a packet of size bytes.
    [[nodiscard]] int MaxOutputSize(int size) const;
    // Converts one packet into out, which holds at least MaxOutputSize(size) bytes. Only whole
    // sample frames are written: a partial frame at the end of a packet is held and completed by
    // the next one. Returns the bytes written, or -1 when the packet does not fit the stream's
    // format (a DVD header announcing another layout). Streaming thread only.
    [[nodiscard]] int Repack(const std::uint8_t* data, int size, std::uint8_t* out);
    // Drops a held partial frame, as after a seek.
    void Reset() { m_held = 0; }

private:
    struct Conversion {
        AVCodecID from;
        AVCodecID to;
        int sampleBytes;
        bool swapBytes;    // big-endian source
        bool flipSignBit;  // signed <-> unsigned
        int headerBytes;   // per-packet header to drop (DVD LPCM)
        AVSampleFormat format;
    };

    SplitterPcmRepacker(const Conversion& conversion, const AVCodecParameters& source, int dvdHeaderByte);

    void ConvertFrames(const std::uint8_t* in, int frames, std::uint8_t* out) const;

    static const Conversion* Find(AVCodecID codec);

    Conversion m_conversion;
    int m_frameBytes;
    int m_dvdHeaderByte;  // the expected second header byte of DVD LPCM packets, -1 otherwise
    AvCodecParametersPtr m_delivered;
    std::vector<std::uint8_t> m_partial;  // one sample frame at most
    int m_held = 0;
};

}  // namespace media
