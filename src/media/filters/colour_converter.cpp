#include "media/filters/colour_converter.h"

#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/graph/filter_registry.h"
#include "media/registered_classes.h"

namespace media {
namespace {

bool SameLayout(const RawVideoLayout& a, const RawVideoLayout& b) {
    return a.format == b.format && a.width == b.width && a.height == b.height && a.bottomUp == b.bottomUp;
}

// Copies start and stop times and the flags of one sample onto another.
void CopySampleProperties(IMediaSample& from, IMediaSample& to) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT timed = from.GetTime(&start, &stop);
    if (timed == S_OK) {
        to.SetTime(&start, &stop);
    } else if (timed == VFW_S_NO_STOP_TIME) {
        to.SetTime(&start, nullptr);
    }
    to.SetSyncPoint(from.IsSyncPoint() == S_OK ? TRUE : FALSE);
    to.SetDiscontinuity(from.IsDiscontinuity() == S_OK ? TRUE : FALSE);
    to.SetPreroll(from.IsPreroll() == S_OK ? TRUE : FALSE);
}

}  // namespace

ColourConverter::ColourConverter() : TransformFilter(CLSID_Colour) {}

bool ColourConverter::MayAcceptInput(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Video) return false;
    // A few rare packed layouts (Y411, 4-bit RGB, ...) libswscale cannot read: refused here, at the
    // connection, rather than failing at the first picture.
    const AVPixelFormat format = PixelFormatFromSubtype(type.subtype);
    return format != AV_PIX_FMT_NONE && sws_isSupportedInput(format) > 0;
}

void* ColourConverter::FindExtraInterface(REFIID riid) {
    if (riid == IPictureLimit::iid) return static_cast<IPictureLimit*>(this);
    if (riid == IPictureCadence::iid) return static_cast<IPictureCadence*>(this);
    return TransformFilter::FindExtraInterface(riid);
}

HRESULT ColourConverter::put_HighestFrameRate(LONG framesPerSecond) {
    if (framesPerSecond < 0) return E_INVALIDARG;
    if (IsActive()) return VFW_E_NOT_STOPPED;
    const REFERENCE_TIME before = m_thinning.OutputFrameTime();
    m_thinning.SetHighestRate(framesPerSecond);
    return Input().IsConnected() && m_thinning.OutputFrameTime() != before ? S_OK : S_FALSE;
}

HRESULT ColourConverter::put_LargestPicture(LONG width, LONG height) {
    if (width < 0 || height < 0) return E_INVALIDARG;
    if (IsActive()) return VFW_E_NOT_STOPPED;
    const PictureShape before = OutputShape();
    m_largestWidth = width;
    m_largestHeight = height;
    return Input().IsConnected() && !(OutputShape() == before) ? S_OK : S_FALSE;
}

HRESULT ColourConverter::get_LargestPicture(LONG* width, LONG* height) {
    if (width == nullptr || height == nullptr) return E_POINTER;
    *width = m_largestWidth;
    *height = m_largestHeight;
    return S_OK;
}

bool ColourConverter::IsScaled() const {
    return !(OutputShape() ==
             PictureShape{m_inputLayout.width, m_inputLayout.height, m_inputLayout.sampleAspect});
}

PictureShape ColourConverter::OutputShape() const {
    return FitWithin({m_inputLayout.width, m_inputLayout.height, m_inputLayout.sampleAspect}, m_largestWidth,
                     m_largestHeight);
}

HRESULT ColourConverter::CheckInputType(const AM_MEDIA_TYPE& type) {
    if (!MayAcceptInput(type)) return VFW_E_TYPE_NOT_ACCEPTED;
    const RawVideoLayout layout = RawVideoLayoutOf(type);
    if (layout.format == AV_PIX_FMT_NONE) return VFW_E_TYPE_NOT_ACCEPTED;
    // A size whose frame would not fit in memory (or in a sample) is a damaged header.
    const bool sane = av_image_check_size(static_cast<unsigned>(layout.width),
                                          static_cast<unsigned>(layout.height), 0, nullptr) >= 0;
    return sane && layout.imageSize > 0 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ColourConverter::OnInputConnected() {
    m_inputLayout = RawVideoLayoutOf(InputType());
    m_thinning.SetInputFrameTime(m_inputLayout.frameTime);
    return S_OK;
}

std::vector<MediaType> ColourConverter::OutputTypes() {
    const PictureShape out = OutputShape();
    std::vector<MediaType> types;
    const REFERENCE_TIME frameTime = m_thinning.OutputFrameTime();
    types.push_back(RawVideoType(AV_PIX_FMT_BGR24, out.width, out.height, frameTime, out.sampleAspect));
    types.push_back(RawVideoType(AV_PIX_FMT_BGRA, out.width, out.height, frameTime, out.sampleAspect));
    // The input's own type says the input's rate: not offered while thinning.
    if (InputType().subtype != MEDIASUBTYPE_RGB24 && InputType().subtype != MEDIASUBTYPE_RGB32 &&
        !IsScaled() && m_thinning.KeptOneIn() == 1) {
        types.emplace_back(InputType());
    }
    return types;
}

HRESULT ColourConverter::CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) {
    if (output.subtype != MEDIASUBTYPE_RGB24 && output.subtype != MEDIASUBTYPE_RGB32 &&
        output.subtype != input.subtype) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    // The input's own layout is passed on only at its own size (a palette or packed layout
    // libswscale may not write); otherwise the converter changes colours, and the frame only
    // under a largest picture.
    const bool unchanged = output.subtype == input.subtype && output.subtype != MEDIASUBTYPE_RGB24 &&
                           output.subtype != MEDIASUBTYPE_RGB32;
    const RawVideoLayout out = RawVideoLayoutOf(output);
    const PictureShape shape = OutputShape();
    if (out.format == AV_PIX_FMT_NONE || out.width != shape.width || out.height != shape.height ||
        (unchanged && IsScaled())) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
}

HRESULT ColourConverter::OnOutputConnected() {
    m_outputLayout = RawVideoLayoutOf(OutputType());
    m_pool.Reset();
    m_scaler.Reset();
    return S_OK;
}

HRESULT ColourConverter::StartStreaming() {
    m_thinning.Restart();
    return S_OK;
}

void ColourConverter::Flush() {
    m_thinning.Restart();
}

void ColourConverter::StopStreaming() {
    m_pool.Reset();
    m_scaler.Reset();
}

HRESULT ColourConverter::Transform(IMediaSample* sample) {
    if (!Output().IsConnected()) return S_OK;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || data == nullptr) return AbortStreaming(E_POINTER);
    // A sample shorter than one picture would have us read past its end.
    if (sample->GetActualDataLength() < m_inputLayout.imageSize) return AbortStreaming(VFW_E_BUFFER_OVERFLOW);
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (timed && !m_thinning.Keeps(start)) return S_OK;

    ComPtr<MediaSample> converted = m_pool.NewSample(m_outputLayout.imageSize);
    if (!converted) return AbortStreaming(E_OUTOFMEMORY);
    BYTE* target = nullptr;
    converted->GetPointer(&target);
    if (SameLayout(m_inputLayout, m_outputLayout)) {
        std::memcpy(target, data, static_cast<std::size_t>(m_outputLayout.imageSize));
    } else {
        if (!m_scaler.Scale(PlanesIn(m_inputLayout, data), m_outputLayout, target))
            return AbortStreaming(VFW_E_INVALIDMEDIATYPE);
    }
    converted->SetActualDataLength(m_outputLayout.imageSize);
    CopySampleProperties(*sample, *converted.Get());
    if (timed && m_thinning.KeptOneIn() > 1) {
        stop = start + m_thinning.OutputFrameTime();
        converted->SetTime(&start, &stop);
    }
    return DeliverOutput(converted.Get());
}

void RegisterColourConverter() {
    RegisterClass(CLSID_Colour, [] { return (new ColourConverter)->Identity(); });
    RegisterIntermediateFilter(
        {CLSID_Colour, u"Colour Space Converter", MERIT_NORMAL - 0x1000, &ColourConverter::MayAcceptInput});
}

}  // namespace media
