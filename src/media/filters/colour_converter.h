#pragma once

// The colour space converter: any uncompressed video in, the same pictures out as 24-bit RGB
// (bottom-up DIB rows, what compressors take), 32-bit RGB, or unchanged. Synchronous on the
// caller's thread.

#include "media/ffmpeg/codec_media_type.h"
#include "media/filters/frame_pool.h"
#include "media/filters/frame_scaler.h"
#include "media/filters/transform_filter.h"

namespace media {

class ColourConverter final : public TransformFilter {
public:
    ColourConverter();

    // Whether the converter may take type: uncompressed video of a pixel format libswscale reads.
    [[nodiscard]] static bool MayAcceptInput(const AM_MEDIA_TYPE& type);

protected:
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OutputTypes() override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override;
    HRESULT OnInputConnected() override;
    HRESULT OnOutputConnected() override;

    HRESULT Transform(IMediaSample* sample) override;
    void StopStreaming() override;

private:
    RawVideoLayout m_inputLayout;
    RawVideoLayout m_outputLayout;
    FramePool m_pool;
    FrameScaler m_scaler;
};

}  // namespace media
