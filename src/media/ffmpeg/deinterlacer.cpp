#include "media/ffmpeg/deinterlacer.h"

#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/mathematics.h>
}

#include "media/ffmpeg/codec_media_type.h"

namespace media {
namespace {

constexpr AVRational kReferenceTimeBase = {1, static_cast<int>(kUnitsPerSecond)};

// Weaves each picture's two fields into one progressive picture ("send_frame": one picture out
// for each picture in, the rate unchanged), only where the picture is flagged interlaced, and in
// the field order it is flagged with.
constexpr char kDeinterlacing[] = "mode=send_frame:parity=auto:deint=interlaced";

}  // namespace

Deinterlacer::Deinterlacer() : m_input(av_frame_alloc()), m_output(av_frame_alloc()) {}

Deinterlacer::~Deinterlacer() {
    Reset();
}

void Deinterlacer::Reset() {
    avfilter_graph_free(&m_graph);
    m_source = nullptr;
    m_sink = nullptr;
    m_format = -1;
}

bool Deinterlacer::Configure(const AVFrame& frame) {
    Reset();
    m_graph = avfilter_graph_alloc();
    if (m_graph == nullptr) return false;
    // The filter's own formats or none: a format it can't take is passed on by the caller, never
    // converted behind its back.
    avfilter_graph_set_auto_convert(m_graph, AVFILTER_AUTO_CONVERT_NONE);
    const AVRational aspect = frame.sample_aspect_ratio.den > 0 ? frame.sample_aspect_ratio : AVRational{0, 1};
    const std::string source = "video_size=" + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                               ":pix_fmt=" + std::to_string(frame.format) + ":time_base=1/" +
                               std::to_string(kUnitsPerSecond) + ":pixel_aspect=" + std::to_string(aspect.num) +
                               "/" + std::to_string(aspect.den > 0 ? aspect.den : 1);
    AVFilterContext* deinterlace = nullptr;
    const bool built =
        avfilter_graph_create_filter(&m_source, avfilter_get_by_name("buffer"), "in", source.c_str(), nullptr,
                                     m_graph) >= 0 &&
        avfilter_graph_create_filter(&deinterlace, avfilter_get_by_name("bwdif"), "deinterlace", kDeinterlacing,
                                     nullptr, m_graph) >= 0 &&
        avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                     m_graph) >= 0 &&
        avfilter_link(m_source, 0, deinterlace, 0) >= 0 && avfilter_link(deinterlace, 0, m_sink, 0) >= 0 &&
        avfilter_graph_config(m_graph, nullptr) >= 0;
    if (!built) {
        Reset();
        return false;
    }
    m_width = frame.width;
    m_height = frame.height;
    m_format = frame.format;
    return true;
}

HRESULT Deinterlacer::Push(const AVFrame& frame, const Deliver& deliver) {
    if (!m_input || !m_output) return E_OUTOFMEMORY;
    if (m_graph != nullptr && (frame.width != m_width || frame.height != m_height || frame.format != m_format)) {
        if (const HRESULT hr = Drain(deliver); hr != S_OK) return hr;
    }
    // A kind of frame the filter refused is not tried again for each picture.
    const bool refused = frame.width == m_refusedWidth && frame.height == m_refusedHeight &&
                         frame.format == m_refusedFormat;
    if (m_graph == nullptr && (refused || !Configure(frame))) {
        m_refusedWidth = frame.width;
        m_refusedHeight = frame.height;
        m_refusedFormat = frame.format;
        return S_FALSE;
    }
    // A reference of the source's own, stamped with the time the picture is shown at (the
    // decoder's best guess where the packet's was missing or out of order).
    if (av_frame_ref(m_input.get(), &frame) < 0) return E_OUTOFMEMORY;
    if (frame.best_effort_timestamp != AV_NOPTS_VALUE) m_input->pts = frame.best_effort_timestamp;
    const int sent = av_buffersrc_add_frame_flags(m_source, m_input.get(), 0);
    av_frame_unref(m_input.get());
    if (sent == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
    if (sent < 0) {
        Reset();
        return S_FALSE;
    }
    return TakeOutput(deliver);
}

HRESULT Deinterlacer::Drain(const Deliver& deliver) {
    if (m_graph == nullptr) return S_OK;
    HRESULT hr = S_OK;
    if (av_buffersrc_add_frame_flags(m_source, nullptr, 0) >= 0) hr = TakeOutput(deliver);
    Reset();
    return hr;
}

HRESULT Deinterlacer::TakeOutput(const Deliver& deliver) {
    // The filter counts its output in half the input's ticks (it could send fields as pictures).
    const AVRational timeBase = av_buffersink_get_time_base(m_sink);
    for (;;) {
        const int taken = av_buffersink_get_frame(m_sink, m_output.get());
        if (taken == AVERROR(EAGAIN) || taken == AVERROR_EOF) return S_OK;
        if (taken < 0) return taken == AVERROR(ENOMEM) ? E_OUTOFMEMORY : S_OK;
        AVFrame& picture = *m_output;
        if (picture.pts != AV_NOPTS_VALUE) picture.pts = av_rescale_q(picture.pts, timeBase, kReferenceTimeBase);
        picture.best_effort_timestamp = picture.pts;
        const HRESULT hr = deliver(picture);
        av_frame_unref(m_output.get());
        if (hr != S_OK) return hr;
    }
}

}  // namespace media
