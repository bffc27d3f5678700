#pragma once

// The audio decoder: compressed (or non-16-bit PCM) audio from the splitter in, interleaved
// 16-bit PCM out, resampled with libswresample to the rate and channel count that the connection
// downstream settled on. It offers the stream's own rate, in stereo (mono stays mono), first.
// Synchronous on the splitter's thread, like the other transform filters.

#include <optional>
#include <span>

#include "media/ffmpeg/av_ptr.h"
#include "media/filters/decoder_filter.h"

namespace media {

class AudioDecoder final : public DecoderFilter {
public:
    AudioDecoder();
    ~AudioDecoder() override;

    // Whether the decoder may take type (a cheap test, as intelligent connect asks before creating).
    [[nodiscard]] static bool MayAcceptInput(const AM_MEDIA_TYPE& type);

protected:
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OutputTypes() override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override;
    HRESULT OnOutputConnected() override;

    // Rate, channels, block size and extradata from the WAVEFORMATEX.
    std::span<const BYTE> DescribeFromFormatBlock(const AM_MEDIA_TYPE& type, AVCodecContext& codec) override;
    HRESULT OnCodecOpened(const AVCodecContext& codec, const AVCodecParameters* parameters) override;
    void OnCodecClosed() override;

    HRESULT DeliverFrame(const AVFrame& frame) override;
    HRESULT StartStreaming() override;
    void StopStreaming() override;
    void Flush() override;

private:
    // A resampler from frame's format to the output's, kept while the input stays the same.
    [[nodiscard]] bool PrepareResampler(const AVFrame& frame);

    int m_sourceRate = 0;
    int m_sourceChannels = 0;

    int m_outputRate = 0;  // of the output connection
    int m_outputChannels = 0;

    SwrContextPtr m_resampler;
    struct ResamplerInput {
        int format = -1;
        int rate = 0;
        AVChannelLayout layout{};
    } m_resamplerInput;
    std::optional<REFERENCE_TIME> m_nextStart;  // where a frame without a time goes
};

}  // namespace media
