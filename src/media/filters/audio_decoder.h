#pragma once

// The audio decoder: compressed (or non-16-bit PCM) audio from the splitter in, interleaved
// 16-bit PCM out, resampled with libswresample to the rate and channel count that the connection
// downstream settled on. It offers the stream's own rate, in stereo (mono stays mono), first.
// Synchronous on the splitter's thread, like the other transform filters.

#include <optional>

#include "media/filters/transform_filter.h"
#include "media/graph/av_ptr.h"

namespace media {

class AudioDecoder final : public TransformFilter {
public:
    AudioDecoder();
    ~AudioDecoder() override;

    // Whether the decoder may take type (a cheap test, as intelligent connect asks before creating).
    [[nodiscard]] static bool MayAcceptInput(const AM_MEDIA_TYPE& type);

protected:
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OutputTypes() override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override;
    HRESULT OnInputConnected() override;
    void OnInputDisconnected() override;
    HRESULT OnOutputConnected() override;

    HRESULT Transform(IMediaSample* sample) override;
    HRESULT Drain() override;
    void Flush() override;
    HRESULT StartStreaming() override;
    void StopStreaming() override;

private:
    // Sends packet (null: drain) and delivers every frame the decoder hands back.
    HRESULT Decode(const AVPacket* packet);
    HRESULT DeliverFrame(const AVFrame& frame);
    // A resampler from frame's format to the output's, kept while the input stays the same.
    [[nodiscard]] bool PrepareResampler(const AVFrame& frame);

    AvCodecContextPtr m_codec;
    AvPacketPtr m_packet;
    AvFramePtr m_frame;
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
