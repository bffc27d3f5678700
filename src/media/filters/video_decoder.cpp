#include "media/filters/video_decoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/ffmpeg/codec_packet_loop.h"
#include "media/filters/video_palette.h"
#include "media/graph/filter_registry.h"
#include "media/registered_classes.h"

namespace media {
namespace {

struct CodedSize {
    int width = 0;
    int height = 0;
};

CodedSize CodedSizeOf(const AM_MEDIA_TYPE& type) {
    if (const AVCodecParameters* parameters = CodecParametersOf(type)) {
        return {parameters->width, parameters->height};
    }
    if (type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER) ||
        type.pbFormat == nullptr) {
        return {};
    }
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    return {info->bmiHeader.biWidth,
            info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight};
}

PicturePlanes PlanesOf(const AVFrame& frame) {
    PicturePlanes planes;
    for (int i = 0; i < 4; ++i) {
        planes.data[i] = frame.data[i];
        planes.linesize[i] = frame.linesize[i];
    }
    planes.format = static_cast<AVPixelFormat>(frame.format);
    planes.width = frame.width;
    planes.height = frame.height;
    return planes;
}

}  // namespace

VideoDecoder::VideoDecoder() : DecoderFilter(CLSID_VideoDecoder) {}

bool VideoDecoder::MayAcceptInput(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Video) return false;
    if (PixelFormatFromSubtype(type.subtype) != AV_PIX_FMT_NONE) return false;  // already decoded
    return HasDecoderFor(type);
}

void* VideoDecoder::FindExtraInterface(REFIID riid) {
    if (riid == IPictureLimit::iid) return static_cast<IPictureLimit*>(this);
    if (riid == IPictureCadence::iid) return static_cast<IPictureCadence*>(this);
    return DecoderFilter::FindExtraInterface(riid);
}

HRESULT VideoDecoder::put_LargestPicture(LONG width, LONG height) {
    if (width < 0 || height < 0) return E_INVALIDARG;
    if (IsActive()) return VFW_E_NOT_STOPPED;
    const PictureShape before = OutputShape();
    m_largestWidth = width;
    m_largestHeight = height;
    return Codec() && !(OutputShape() == before) ? S_OK : S_FALSE;
}

HRESULT VideoDecoder::get_LargestPicture(LONG* width, LONG* height) {
    if (width == nullptr || height == nullptr) return E_POINTER;
    *width = m_largestWidth;
    *height = m_largestHeight;
    return S_OK;
}

HRESULT VideoDecoder::put_HighestFrameRate(LONG framesPerSecond) {
    if (framesPerSecond < 0) return E_INVALIDARG;
    if (IsActive()) return VFW_E_NOT_STOPPED;
    const REFERENCE_TIME before = OutputFrameTime();
    m_highestRate = framesPerSecond;
    return Codec() && OutputFrameTime() != before ? S_OK : S_FALSE;
}

HRESULT VideoDecoder::put_Deinterlace(BOOL deinterlace) {
    if (IsActive()) return VFW_E_NOT_STOPPED;
    m_deinterlace = deinterlace != FALSE;
    return S_OK;
}

int VideoDecoder::KeptOneIn() const {
    if (m_highestRate <= 0 || m_frameTime <= 0) return 1;
    // A rate within a thousandth of the limit keeps to it: 30 fps stored as 333,333 ticks a
    // picture is 30.00003 fps.
    constexpr int kMostDropped = 16;
    int n = 1;
    while (n < kMostDropped && m_frameTime * n * m_highestRate * 1001 < kUnitsPerSecond * 1000) ++n;
    return n;
}

PictureShape VideoDecoder::OutputShape() const {
    return FitWithin({m_width, m_height, m_sampleAspect}, m_largestWidth, m_largestHeight);
}

HRESULT VideoDecoder::CheckInputType(const AM_MEDIA_TYPE& type) {
    if (!MayAcceptInput(type)) return VFW_E_TYPE_NOT_ACCEPTED;
    // Without a picture size there is no output type to offer; an absurd one is a damaged header.
    const CodedSize size = CodedSizeOf(type);
    if (size.width <= 0 || size.height <= 0) return VFW_E_TYPE_NOT_ACCEPTED;
    if (av_image_check_size(static_cast<unsigned>(size.width), static_cast<unsigned>(size.height), 0,
                            nullptr) < 0) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

std::span<const BYTE> VideoDecoder::DescribeFromFormatBlock(const AM_MEDIA_TYPE& type,
                                                            AVCodecContext& codec) {
    const CodedSize size = CodedSizeOf(type);
    codec.width = size.width;
    codec.height = size.height;
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    codec.codec_tag = info->bmiHeader.biCompression;
    return {type.pbFormat + sizeof(VIDEOINFOHEADER), type.cbFormat - sizeof(VIDEOINFOHEADER)};
}

HRESULT VideoDecoder::OnCodecOpened(const AVCodecContext& codec, const AVCodecParameters* parameters) {
    // The output format: what the stream says it is, else what the opened decoder says, else the
    // most common one (frames that turn out different are converted on the way out).
    AVPixelFormat format = AV_PIX_FMT_NONE;
    if (parameters != nullptr && parameters->format > AV_PIX_FMT_NONE) {
        format = static_cast<AVPixelFormat>(parameters->format);
    }
    if (format == AV_PIX_FMT_NONE) format = codec.pix_fmt;
    if (format == AV_PIX_FMT_NONE) format = AV_PIX_FMT_YUV420P;

    const MediaType& type = InputType();
    const CodedSize size = CodedSizeOf(type);
    const VIDEOINFOHEADER* info = type.VideoInfo();
    m_orientation = PictureOrientation::FromDisplayMatrix(DisplayMatrixOf(type));
    // Pictures that can't be turned in their own format are turned as RGB24, which compressors
    // and the preview take anyway.
    if (!m_orientation.IsUpright() && !m_orientation.CanTurn(format, size.width, size.height)) {
        format = AV_PIX_FMT_BGR24;
    }
    const bool swapped = m_orientation.SwapsSides();
    m_decodedFormat = format;
    m_width = swapped ? size.height : size.width;
    m_height = swapped ? size.width : size.height;
    m_frameTime = info ? info->AvgTimePerFrame : 0;
    m_sampleAspect = info ? SampleAspectOf(*info) : AVRational{0, 1};
    if (swapped && IsAnamorphic(m_sampleAspect)) m_sampleAspect = av_inv_q(m_sampleAspect);
    return S_OK;
}

void VideoDecoder::OnCodecClosed() {
    m_decodedFormat = AV_PIX_FMT_NONE;
    m_width = 0;
    m_height = 0;
    m_frameTime = 0;
    m_sampleAspect = AVRational{0, 1};
    m_orientation = PictureOrientation{};
}

std::vector<MediaType> VideoDecoder::OutputTypes() {
    if (!Codec()) return {};
    const PictureShape shape = OutputShape();
    std::vector<MediaType> types;
    types.push_back(
        RawVideoType(m_decodedFormat, shape.width, shape.height, OutputFrameTime(), shape.sampleAspect));
    // RGB24 as well, converted (and scaled) straight from the decoded frame: cheaper than a copy
    // of the frame and a converter after it, for a consumer that takes nothing else.
    if (m_decodedFormat != AV_PIX_FMT_BGR24) {
        types.push_back(
            RawVideoType(AV_PIX_FMT_BGR24, shape.width, shape.height, OutputFrameTime(), shape.sampleAspect));
    }
    return types;
}

HRESULT VideoDecoder::CheckTransform(const AM_MEDIA_TYPE&, const AM_MEDIA_TYPE& output) {
    // Any uncompressed layout of the output picture's size that can be turned to it: frames are
    // converted when they differ.
    const RawVideoLayout layout = RawVideoLayoutOf(output);
    const PictureShape shape = OutputShape();
    if (layout.format == AV_PIX_FMT_NONE || layout.width != shape.width || layout.height != shape.height) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const bool swapped = m_orientation.SwapsSides();
    if (!m_orientation.IsUpright() &&
        !m_orientation.CanTurn(layout.format, swapped ? shape.height : shape.width,
                               swapped ? shape.width : shape.height)) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT VideoDecoder::OnOutputConnected() {
    m_outputLayout = RawVideoLayoutOf(OutputType());
    m_storedLayout = RawVideoLayout{};
    m_stored.clear();
    if (!m_orientation.IsUpright()) {
        const bool swapped = m_orientation.SwapsSides();
        const int width = m_outputLayout.width;
        const int height = m_outputLayout.height;
        m_storedLayout = RawVideoLayoutOf(RawVideoType(m_outputLayout.format, swapped ? height : width,
                                                       swapped ? width : height, OutputFrameTime()));
        m_stored.resize(static_cast<std::size_t>(m_storedLayout.imageSize));
    }
    m_pool.Reset();
    m_scaler.Reset();
    return S_OK;
}

HRESULT VideoDecoder::StartStreaming() {
    const HRESULT hr = DecoderFilter::StartStreaming();
    m_nextStart = 0;
    m_previousStart.reset();
    m_lastKept.reset();
    m_deinterlacer.reset();
    return hr;
}

void VideoDecoder::StopStreaming() {
    DecoderFilter::StopStreaming();
    m_pool.Reset();
    m_scaler.Reset();
    m_deinterlacer.reset();
}

void VideoDecoder::Flush() {
    DecoderFilter::Flush();
    m_previousStart.reset();  // after a flush the times may start anywhere
    m_lastKept.reset();
    m_deinterlacer.reset();  // the pictures it holds belong before the flush
}

bool VideoDecoder::DescribePacket(IMediaSample& sample, AVPacket& packet) {
    if (sample.IsSyncPoint() == S_OK) packet.flags |= AV_PKT_FLAG_KEY;
    // Preroll is decoded for the pictures after it; libavcodec then drops its own picture.
    if (sample.IsPreroll() == S_OK) packet.flags |= AV_PKT_FLAG_DISCARD;
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample.GetMediaType(&changed) != S_OK || changed == nullptr) return true;
    VideoPalette palette;
    const bool carried = PaletteOf(*changed, palette);
    DeleteMediaType(changed);
    if (!carried) return true;
    std::uint8_t* side = av_packet_new_side_data(&packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
    if (side == nullptr) return false;
    std::memcpy(side, palette.data(), AVPALETTE_SIZE);
    return true;
}

void VideoDecoder::FrameTimes(const AVFrame& frame, REFERENCE_TIME& start, REFERENCE_TIME& stop) {
    std::int64_t timestamp = frame.best_effort_timestamp;
    if (timestamp == AV_NOPTS_VALUE) timestamp = frame.pts;
    // Pictures come out in display order, so their times rise. A time that does not (a picture
    // whose packet had no presentation time and was stamped with its decoding time, which belongs
    // to an earlier picture) is replaced by the slot after the previous picture.
    const bool usable = timestamp != AV_NOPTS_VALUE && (!m_previousStart || timestamp > *m_previousStart);
    start = usable ? timestamp : m_nextStart;
    m_previousStart = start;

    REFERENCE_TIME duration = frame.pkt_duration > 0 ? frame.pkt_duration : m_frameTime;
    if (duration <= 0 && Codec()->framerate.num > 0 && Codec()->framerate.den > 0) {
        duration = av_rescale(kUnitsPerSecond, Codec()->framerate.den, Codec()->framerate.num);
    }
    stop = duration > 0 ? start + duration : 0;
    m_nextStart = duration > 0 ? stop : start + 1;
}

bool VideoDecoder::CopyFrame(const AVFrame& frame, const RawVideoLayout& layout, BYTE* buffer) {
    PicturePlanes source = PlanesOf(frame);
    if (source.format == layout.format && source.width == layout.width && source.height == layout.height) {
        std::uint8_t* planes[4];
        int strides[4];
        FillPlanes(layout, buffer, planes, strides);
        av_image_copy(planes, strides, source.data, source.linesize, source.format, source.width,
                      source.height);
        return true;
    }
    // The stream changed size or format in mid-stream: the connection stays, the picture adapts.
    return m_scaler.Scale(source, layout, buffer);
}

bool VideoDecoder::CopyShownFrame(const AVFrame& frame, BYTE* buffer) {
    if (m_orientation.IsUpright()) return CopyFrame(frame, m_outputLayout, buffer);
    PicturePlanes stored = PlanesOf(frame);
    if (stored.format != m_storedLayout.format || stored.width != m_storedLayout.width ||
        stored.height != m_storedLayout.height) {
        if (!CopyFrame(frame, m_storedLayout, m_stored.data())) return false;
        stored = PlanesIn(m_storedLayout, m_stored.data());
    }
    std::uint8_t* shown[4];
    int strides[4];
    FillPlanes(m_outputLayout, buffer, shown, strides);
    m_orientation.Turn(stored, shown, strides);
    return true;
}

HRESULT VideoDecoder::DeliverFrame(const AVFrame& frame) {
    if (!Output().IsConnected()) return S_OK;
    if (m_deinterlace && (m_deinterlacer || frame.interlaced_frame)) {
        if (!m_deinterlacer) m_deinterlacer = std::make_unique<Deinterlacer>();
        const HRESULT hr =
            m_deinterlacer->Push(frame, [this](AVFrame& picture) { return DeliverPicture(picture); });
        if (hr == E_OUTOFMEMORY) return AbortStreaming(hr);
        if (hr != S_FALSE) return hr;
    }
    return DeliverPicture(frame);
}

HRESULT VideoDecoder::OnDrained() {
    if (!m_deinterlacer || !Output().IsConnected()) return S_OK;
    const HRESULT hr = m_deinterlacer->Drain([this](AVFrame& picture) { return DeliverPicture(picture); });
    m_deinterlacer.reset();
    return hr == E_OUTOFMEMORY ? AbortStreaming(hr) : hr;
}

HRESULT VideoDecoder::DeliverPicture(const AVFrame& frame) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    FrameTimes(frame, start, stop);
    // Thinning by time, not by count: a picture goes out once the slot of the last one kept is
    // (all but half an input picture) over, so a stream that lost a picture stays on the slower
    // rate's grid rather than turning to the other half of its pictures.
    const int keptOneIn = KeptOneIn();
    if (keptOneIn > 1) {
        const REFERENCE_TIME outputFrameTime = OutputFrameTime();
        if (m_lastKept && start < *m_lastKept + outputFrameTime - m_frameTime / 2) return S_OK;
        m_lastKept = start;
        stop = start + outputFrameTime;
    }

    ComPtr<MediaSample> sample = m_pool.NewSample(m_outputLayout.imageSize);
    if (!sample) return AbortStreaming(E_OUTOFMEMORY);
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (!CopyShownFrame(frame, buffer)) return AbortStreaming(VFW_E_INVALIDMEDIATYPE);
    sample->SetTime(&start, stop > start ? &stop : nullptr);
    sample->SetSyncPoint(TRUE);
    sample->SetActualDataLength(m_outputLayout.imageSize);
    return DeliverOutput(sample.Get());
}

void RegisterVideoDecoder() {
    RegisterClass(CLSID_VideoDecoder, [] { return (new VideoDecoder)->Identity(); });
    RegisterIntermediateFilter(
        {CLSID_VideoDecoder, u"Video Decoder", MERIT_NORMAL, &VideoDecoder::MayAcceptInput});
}

}  // namespace media
