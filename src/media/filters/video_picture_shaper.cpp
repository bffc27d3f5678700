#include "media/filters/video_picture_shaper.h"

#include "media/filters/picture_fit.h"

namespace media {

void PictureShaper::SetInput(const RawVideoLayout& input) {
    m_input = input;
    m_shown = RawVideoLayout{};
    m_shown.format = AV_PIX_FMT_BGRA;
    m_shown.width = ShownWidth(m_input.width, m_input.height, m_input.sampleAspect);
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
