#include "media/filters/video_picture_shaper.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
}

namespace media {
namespace {

int ShownWidth(const RawVideoLayout& layout) {
    const AVRational aspect = layout.sampleAspect;
    if (!IsAnamorphic(aspect) || av_cmp_q(aspect, AVRational{8, 1}) > 0 ||
        av_cmp_q(aspect, AVRational{1, 8}) < 0) {
        return layout.width;
    }
    const auto width = static_cast<int>(av_rescale(layout.width, aspect.num, aspect.den));
    const bool fits = width > 0 && av_image_check_size(static_cast<unsigned>(width),
                                                       static_cast<unsigned>(layout.height), 0, nullptr) >= 0;
    return fits ? width : layout.width;
}

}  // namespace

void PictureShaper::SetInput(const RawVideoLayout& input) {
    m_input = input;
    m_shown = RawVideoLayout{};
    m_shown.format = AV_PIX_FMT_BGRA;
    m_shown.width = ShownWidth(m_input);
    m_shown.height = m_input.height;
    m_shown.bottomUp = false;
    m_shown.imageSize = m_shown.width * 4 * m_shown.height;
    m_shown.frameTime = m_input.frameTime;
}

void PictureShaper::Clear() {
    m_input = RawVideoLayout{};
    m_shown = RawVideoLayout{};
}

const std::uint8_t* PictureShaper::Shape(IMediaSample& sample) {
    BYTE* data = nullptr;
    if (FAILED(sample.GetPointer(&data)) || data == nullptr) return nullptr;
    // A sample shorter than one picture would have us read past its end.
    if (sample.GetActualDataLength() < m_input.imageSize) return nullptr;
    if (m_input.format == AV_PIX_FMT_BGRA && !m_input.bottomUp && m_input.width == m_shown.width) {
        return data;
    }

    const PicturePlanes source = PlanesIn(m_input, data);
    m_converted.resize(static_cast<std::size_t>(m_shown.imageSize));
    if (!m_scaler.Scale(source, m_shown, m_converted.data())) return nullptr;
    return m_converted.data();
}

}  // namespace media
