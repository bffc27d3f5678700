#include "media/filters/video_decoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/filters/codec_packet_loop.h"
#include "media/filters/video_palette.h"
#include "media/graph/filter_registry.h"
#include "media/registered_classes.h"

namespace media {
namespace {

constexpr AVRational kReferenceTimeBase = {1, static_cast<int>(kUnitsPerSecond)};

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

// Describes the input to the codec from the format block alone, for types that carry no codec
// parameters: size, FourCC and the extradata that follows the VIDEOINFOHEADER.
[[nodiscard]] bool DescribeFromFormatBlock(const AM_MEDIA_TYPE& type, AVCodecContext& codec) {
    const CodedSize size = CodedSizeOf(type);
    codec.width = size.width;
    codec.height = size.height;
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    codec.codec_tag = info->bmiHeader.biCompression;
    const std::size_t extraSize = type.cbFormat - sizeof(VIDEOINFOHEADER);
    if (extraSize == 0) return true;
    codec.extradata = static_cast<std::uint8_t*>(av_mallocz(extraSize + AV_INPUT_BUFFER_PADDING_SIZE));
    if (codec.extradata == nullptr) return false;
    std::memcpy(codec.extradata, type.pbFormat + sizeof(VIDEOINFOHEADER), extraSize);
    codec.extradata_size = static_cast<int>(extraSize);
    return true;
}

}  // namespace

VideoDecoder::VideoDecoder()
    : TransformFilter(CLSID_VideoDecoder), m_packet(av_packet_alloc()), m_frame(av_frame_alloc()) {}

bool VideoDecoder::MayAcceptInput(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Video) return false;
    if (PixelFormatFromSubtype(type.subtype) != AV_PIX_FMT_NONE) return false;  // already decoded
    const AVCodecID codec = CodecIdOf(type);
    return codec != AV_CODEC_ID_NONE && avcodec_find_decoder(codec) != nullptr;
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

HRESULT VideoDecoder::OnInputConnected() {
    const MediaType& type = InputType();
    const AVCodec* decoder = avcodec_find_decoder(CodecIdOf(type));
    if (decoder == nullptr) return VFW_E_TYPE_NOT_ACCEPTED;
    if (!m_packet || !m_frame) return E_OUTOFMEMORY;
    AvCodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec) return E_OUTOFMEMORY;

    const AVCodecParameters* parameters = CodecParametersOf(type);
    if (parameters != nullptr) {
        if (avcodec_parameters_to_context(codec.get(), parameters) < 0) return E_OUTOFMEMORY;
    } else if (!DescribeFromFormatBlock(type, *codec)) {
        return E_OUTOFMEMORY;
    }
    // Sample times go in as packet timestamps unchanged.
    codec->pkt_timebase = kReferenceTimeBase;
    // Automatic thread count: libavcodec decodes frames in parallel on every core.
    codec->thread_count = 0;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return VFW_E_TYPE_NOT_ACCEPTED;

    // The output format: what the stream says it is, else what the opened decoder says, else the
    // most common one (frames that turn out different are converted on the way out).
    AVPixelFormat format = AV_PIX_FMT_NONE;
    if (parameters != nullptr && parameters->format > AV_PIX_FMT_NONE) {
        format = static_cast<AVPixelFormat>(parameters->format);
    }
    if (format == AV_PIX_FMT_NONE) format = codec->pix_fmt;
    if (format == AV_PIX_FMT_NONE) format = AV_PIX_FMT_YUV420P;

    const CodedSize size = CodedSizeOf(type);
    const VIDEOINFOHEADER* info = type.VideoInfo();
    m_codec = std::move(codec);
    m_decodedFormat = format;
    m_width = size.width;
    m_height = size.height;
    m_frameTime = info ? info->AvgTimePerFrame : 0;
    return S_OK;
}

void VideoDecoder::OnInputDisconnected() {
    m_codec.reset();
    m_decodedFormat = AV_PIX_FMT_NONE;
    m_width = 0;
    m_height = 0;
    m_frameTime = 0;
}

std::vector<MediaType> VideoDecoder::OutputTypes() {
    if (!m_codec) return {};
    std::vector<MediaType> types;
    types.push_back(RawVideoType(m_decodedFormat, m_width, m_height, m_frameTime));
    // RGB24 as well, converted straight from the decoded frame: cheaper than a copy of the frame
    // and a converter after it, for a consumer that takes nothing else.
    if (m_decodedFormat != AV_PIX_FMT_BGR24) {
        types.push_back(RawVideoType(AV_PIX_FMT_BGR24, m_width, m_height, m_frameTime));
    }
    return types;
}

HRESULT VideoDecoder::CheckTransform(const AM_MEDIA_TYPE&, const AM_MEDIA_TYPE& output) {
    // Any uncompressed layout of the picture's size: frames are converted when they differ.
    const RawVideoLayout layout = RawVideoLayoutOf(output);
    if (layout.format == AV_PIX_FMT_NONE || layout.width != m_width || layout.height != m_height) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT VideoDecoder::OnOutputConnected() {
    m_outputLayout = RawVideoLayoutOf(OutputType());
    m_pool.Reset();
    m_scaler.Reset();
    return S_OK;
}

HRESULT VideoDecoder::StartStreaming() {
    // A decoder drained at the end of the previous run takes packets again only after a flush.
    if (m_codec) avcodec_flush_buffers(m_codec.get());
    m_nextStart = 0;
    m_previousStart.reset();
    return S_OK;
}

void VideoDecoder::StopStreaming() {
    // Frames still held by the decoder would only be delivered into a stopped graph.
    if (m_codec) avcodec_flush_buffers(m_codec.get());
    m_pool.Reset();
    m_scaler.Reset();
}

void VideoDecoder::Flush() {
    if (m_codec) avcodec_flush_buffers(m_codec.get());
    m_previousStart.reset();  // after a flush the times may start anywhere
}

HRESULT VideoDecoder::Transform(IMediaSample* sample) {
    if (!m_codec) return VFW_E_NOT_CONNECTED;
    BYTE* data = nullptr;
    const LONG length = sample->GetActualDataLength();
    if (FAILED(sample->GetPointer(&data)) || data == nullptr || length <= 0)
        return S_OK;  // nothing to decode

    // A copy, because libavcodec reads a little past the end of every packet.
    av_packet_unref(m_packet.get());
    if (av_new_packet(m_packet.get(), length) < 0) return AbortStreaming(E_OUTOFMEMORY);
    std::memcpy(m_packet->data, data, static_cast<std::size_t>(length));
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);
    m_packet->pts = SUCCEEDED(timed) ? start : AV_NOPTS_VALUE;
    m_packet->duration = (timed == S_OK && stop > start) ? stop - start : 0;
    if (sample->IsSyncPoint() == S_OK) m_packet->flags |= AV_PKT_FLAG_KEY;
    // Preroll is decoded for the pictures after it; libavcodec then drops its own picture.
    if (sample->IsPreroll() == S_OK) m_packet->flags |= AV_PKT_FLAG_DISCARD;
    if (!AttachPalette(*sample)) return AbortStreaming(E_OUTOFMEMORY);
    const HRESULT hr = Decode(m_packet.get());
    av_packet_unref(m_packet.get());
    return hr;
}

bool VideoDecoder::AttachPalette(IMediaSample& sample) {
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample.GetMediaType(&changed) != S_OK || changed == nullptr) return true;
    VideoPalette palette;
    const bool carried = PaletteOf(*changed, palette);
    DeleteMediaType(changed);
    if (!carried) return true;
    std::uint8_t* side = av_packet_new_side_data(m_packet.get(), AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
    if (side == nullptr) return false;
    std::memcpy(side, palette.data(), AVPALETTE_SIZE);
    return true;
}

HRESULT VideoDecoder::Drain() {
    if (!m_codec) return S_OK;
    return Decode(nullptr);
}

HRESULT VideoDecoder::Decode(const AVPacket* packet) {
    return SendPacketAndTakeFrames(
        *m_codec, *m_frame, packet, [this](AVFrame& frame) { return DeliverFrame(frame); },
        [this] { return AbortStreaming(E_OUTOFMEMORY); });
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
    if (duration <= 0 && m_codec->framerate.num > 0 && m_codec->framerate.den > 0) {
        duration = av_rescale(kUnitsPerSecond, m_codec->framerate.den, m_codec->framerate.num);
    }
    stop = duration > 0 ? start + duration : 0;
    m_nextStart = duration > 0 ? stop : start + 1;
}

bool VideoDecoder::CopyFrame(const AVFrame& frame, BYTE* buffer) {
    PicturePlanes source;
    for (int i = 0; i < 4; ++i) {
        source.data[i] = frame.data[i];
        source.linesize[i] = frame.linesize[i];
    }
    source.format = static_cast<AVPixelFormat>(frame.format);
    source.width = frame.width;
    source.height = frame.height;
    if (source.format == m_outputLayout.format && source.width == m_outputLayout.width &&
        source.height == m_outputLayout.height) {
        std::uint8_t* planes[4];
        int strides[4];
        FillPlanes(m_outputLayout, buffer, planes, strides);
        av_image_copy(planes, strides, source.data, source.linesize, source.format, source.width,
                      source.height);
        return true;
    }
    // The stream changed size or format in mid-stream: the connection stays, the picture adapts.
    return m_scaler.Scale(source, m_outputLayout, buffer);
}

HRESULT VideoDecoder::DeliverFrame(const AVFrame& frame) {
    if (!Output().IsConnected()) return S_OK;
    ComPtr<MediaSample> sample = m_pool.NewSample(m_outputLayout.imageSize);
    if (!sample) return AbortStreaming(E_OUTOFMEMORY);
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (!CopyFrame(frame, buffer)) return AbortStreaming(VFW_E_INVALIDMEDIATYPE);

    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    FrameTimes(frame, start, stop);
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
