#pragma once

// The video decoder: compressed video from the splitter in, uncompressed frames out, in the
// decoder's own pixel format or in RGB24 (the colour converter turns it into anything else asked
// downstream). Pictures come out as a player shows them: turned upright as the container's
// display matrix says, and typed with their pixels' shape (the sample aspect). Under a largest
// picture (IPictureLimit) a larger one is scaled down on the way out, in the one conversion each
// frame takes anyway. For players that take progressive pictures at a limited rate
// (IPictureCadence), interlaced pictures are deinterlaced and a fast stream thinned before it.
// libavcodec decodes with its own frame threads, so decoding uses every core while the filter
// itself stays synchronous on the splitter's thread.

#include <memory>
#include <optional>
#include <span>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/deinterlacer.h"
#include "media/filters/decoder_filter.h"
#include "media/filters/frame_pool.h"
#include "media/filters/frame_scaler.h"
#include "media/filters/picture_fit.h"
#include "media/filters/picture_orientation.h"

namespace media {

class VideoDecoder final : public DecoderFilter, public IPictureLimit, public IPictureCadence {
public:
    VideoDecoder();

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return DecoderFilter::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return DecoderFilter::AddRef(); }
    ULONG Release() override { return DecoderFilter::Release(); }

    // IPictureLimit. Application thread, filter stopped.
    HRESULT put_LargestPicture(LONG width, LONG height) override;
    HRESULT get_LargestPicture(LONG* width, LONG* height) override;

    // IPictureCadence. Application thread, filter stopped.
    HRESULT put_HighestFrameRate(LONG framesPerSecond) override;
    HRESULT put_Deinterlace(BOOL deinterlace) override;

    // Whether the decoder may take type (a cheap test, as intelligent connect asks before creating).
    [[nodiscard]] static bool MayAcceptInput(const AM_MEDIA_TYPE& type);

protected:
    void* FindExtraInterface(REFIID riid) override;

    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OutputTypes() override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override;
    HRESULT OnOutputConnected() override;

    // Size, FourCC and the extradata that follows the VIDEOINFOHEADER.
    std::span<const BYTE> DescribeFromFormatBlock(const AM_MEDIA_TYPE& type, AVCodecContext& codec) override;
    // Automatic thread count: libavcodec decodes frames in parallel on every core.
    void ConfigureCodec(AVCodecContext& codec) override { codec.thread_count = 0; }
    HRESULT OnCodecOpened(const AVCodecContext& codec, const AVCodecParameters* parameters) override;
    void OnCodecClosed() override;

    // Key frame and preroll flags, and a palette that comes with the sample (as its media type).
    bool DescribePacket(IMediaSample& sample, AVPacket& packet) override;
    HRESULT DeliverFrame(const AVFrame& frame) override;
    HRESULT OnDrained() override;
    HRESULT StartStreaming() override;
    void StopStreaming() override;
    void Flush() override;

private:
    // The pictures the output carries: as shown, or fitted within the largest picture.
    [[nodiscard]] PictureShape OutputShape() const;
    // One picture in KeptOneIn() goes out: 1 unless the input is faster than the highest rate.
    [[nodiscard]] int KeptOneIn() const;
    // The time of a picture the output carries, 100-ns units; 0 when unknown.
    [[nodiscard]] REFERENCE_TIME OutputFrameTime() const { return m_frameTime * KeptOneIn(); }
    // A picture as decoded, or as deinterlaced: thinned, then converted and delivered.
    [[nodiscard]] HRESULT DeliverPicture(const AVFrame& frame);
    // Start and stop time of frame in 100-ns units; the stop is 0 when no duration is known.
    void FrameTimes(const AVFrame& frame, REFERENCE_TIME& start, REFERENCE_TIME& stop);
    // Copies frame into buffer laid out as layout, scaling when the frame changed size or format
    // in mid-stream.
    [[nodiscard]] bool CopyFrame(const AVFrame& frame, const RawVideoLayout& layout, BYTE* buffer);
    // CopyFrame into m_outputLayout, turned upright on the way.
    [[nodiscard]] bool CopyShownFrame(const AVFrame& frame, BYTE* buffer);

    AVPixelFormat m_decodedFormat = AV_PIX_FMT_NONE;  // what the decoder says it will produce
    int m_width = 0;                                  // of the pictures as shown
    int m_height = 0;
    REFERENCE_TIME m_frameTime = 0;   // AvgTimePerFrame of the input, 0 when unknown
    AVRational m_sampleAspect{0, 1};  // of the pictures as shown
    PictureOrientation m_orientation;
    LONG m_largestWidth = 0;  // the largest picture; 0: none
    LONG m_largestHeight = 0;
    LONG m_highestRate = 0;      // pictures a second at most; 0: no limit
    bool m_deinterlace = false;  // interlaced pictures come out deinterlaced

    RawVideoLayout m_storedLayout;  // m_outputLayout turned back to the stored orientation, when turned
    std::vector<BYTE> m_stored;     // a picture of m_storedLayout, when turned

    RawVideoLayout m_outputLayout;
    FramePool m_pool;
    FrameScaler m_scaler{FrameScaler::Shrinking::Smooth};  // for frames that differ from the connected layout
    REFERENCE_TIME m_nextStart = 0;                        // where a frame without a usable time goes
    std::optional<REFERENCE_TIME> m_previousStart;         // of the last frame delivered in this run
    std::optional<REFERENCE_TIME> m_lastKept;              // of the last picture kept while thinning
    // Made at the first interlaced picture of a run, when asked to deinterlace; every picture
    // after it goes through it, so that none overtakes the one it holds.
    std::unique_ptr<Deinterlacer> m_deinterlacer;
};

}  // namespace media
