#pragma once

// The colour space converter: any uncompressed video in, the same pictures out as 24-bit RGB
// (bottom-up DIB rows, what compressors take), 32-bit RGB, or unchanged; under a largest picture
// (IPictureLimit), a larger one scaled down in the same conversion; under a highest frame rate
// (IPictureCadence), a faster stream thinned. Uncompressed pictures carry no word of being
// interlaced, so there is nothing to deinterlace. Synchronous on the caller's thread.

#include "media/ffmpeg/codec_media_type.h"
#include "media/filters/frame_pool.h"
#include "media/filters/frame_scaler.h"
#include "media/filters/picture_fit.h"
#include "media/filters/picture_thinning.h"
#include "media/filters/transform_filter.h"

namespace media {

class ColourConverter final : public TransformFilter, public IPictureLimit, public IPictureCadence {
public:
    ColourConverter();

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return TransformFilter::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return TransformFilter::AddRef(); }
    ULONG Release() override { return TransformFilter::Release(); }

    // IPictureLimit. Application thread, filter stopped.
    HRESULT put_LargestPicture(LONG width, LONG height) override;
    HRESULT get_LargestPicture(LONG* width, LONG* height) override;

    // IPictureCadence. Application thread, filter stopped.
    HRESULT put_HighestFrameRate(LONG framesPerSecond) override;
    HRESULT put_Deinterlace(BOOL) override { return IsActive() ? VFW_E_NOT_STOPPED : S_OK; }

    // Whether the converter may take type: uncompressed video of a pixel format libswscale reads.
    [[nodiscard]] static bool MayAcceptInput(const AM_MEDIA_TYPE& type);

protected:
    void* FindExtraInterface(REFIID riid) override;

    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OutputTypes() override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override;
    HRESULT OnInputConnected() override;
    HRESULT OnOutputConnected() override;

    HRESULT Transform(IMediaSample* sample) override;
    HRESULT StartStreaming() override;
    void Flush() override;
    void StopStreaming() override;

private:
    // The pictures the output carries: the input's, or fitted within the largest picture.
    [[nodiscard]] PictureShape OutputShape() const;
    // Whether the output's pictures differ in size or shape from the input's.
    [[nodiscard]] bool IsScaled() const;

    LONG m_largestWidth = 0;  // the largest picture; 0: none
    LONG m_largestHeight = 0;
    RawVideoLayout m_inputLayout;
    RawVideoLayout m_outputLayout;
    FramePool m_pool;
    FrameScaler m_scaler{FrameScaler::Shrinking::Smooth};
    PictureThinning m_thinning;  // above the highest rate
};

}  // namespace media
