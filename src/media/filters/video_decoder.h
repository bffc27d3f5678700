#pragma once

// The video decoder: compressed video from the splitter in, uncompressed frames out, in the
// decoder's own pixel format or in RGB24 (the colour converter turns it into anything else asked
// downstream).
// libavcodec decodes with its own frame threads, so decoding uses every core while the filter
// itself stays synchronous on the splitter's thread.

#include <optional>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "media/filters/frame_pool.h"
#include "media/filters/frame_scaler.h"
#include "media/filters/transform_filter.h"
#include "media/graph/av_ptr.h"
#include "media/graph/codec_media_type.h"

namespace media {

class VideoDecoder final : public TransformFilter {
public:
    VideoDecoder();

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
    // Hands a palette that comes with sample (as its media type) to the decoder with the packet.
    // False when memory ran out.
    [[nodiscard]] bool AttachPalette(IMediaSample& sample);
    // Delivers every frame the decoder has ready.
    HRESULT DeliverFrame(const AVFrame& frame);
    // Start and stop time of frame in 100-ns units; the stop is 0 when no duration is known.
    void FrameTimes(const AVFrame& frame, REFERENCE_TIME& start, REFERENCE_TIME& stop);
    // Copies frame into buffer laid out as m_outputLayout, scaling when the frame changed size or
    // format in mid-stream.
    [[nodiscard]] bool CopyFrame(const AVFrame& frame, BYTE* buffer);

    AvCodecContextPtr m_codec;
    AvPacketPtr m_packet;
    AvFramePtr m_frame;
    AVPixelFormat m_decodedFormat = AV_PIX_FMT_NONE;  // what the decoder says it will produce
    int m_width = 0;
    int m_height = 0;
    REFERENCE_TIME m_frameTime = 0;  // AvgTimePerFrame of the input, 0 when unknown

    RawVideoLayout m_outputLayout;
    FramePool m_pool;
    FrameScaler m_scaler;                           // only for frames that do not match the connected layout
    REFERENCE_TIME m_nextStart = 0;                 // where a frame without a usable time goes
    std::optional<REFERENCE_TIME> m_previousStart;  // of the last frame delivered in this run
};

}  // namespace media
