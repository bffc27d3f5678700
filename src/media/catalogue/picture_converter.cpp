#include "media/catalogue/picture_converter.h"

#include <cstdint>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "media/filters/yuv420_rgb24.h"

namespace media {
namespace {

// Row alignment of the frames: what libavcodec's widest SIMD loads like.
constexpr int kFrameAlignment = 64;
// Frames hold rows up to the next multiple of this, as av_frame_get_buffer makes them: encoders
// that work in blocks of rows (CineForm's) read that far past the last one.
constexpr int kHeightAlignment = 32;

int AllocatedHeight(const CodedPicture& picture) {
    return (picture.height + kHeightAlignment - 1) / kHeightAlignment * kHeightAlignment;
}

bool TakesYuv420Path(const RawVideoLayout& input, const CodedPicture& picture) {
    return input.format == AV_PIX_FMT_BGR24 && IsYuv420(picture.format);
}

}  // namespace

HRESULT PictureConverter::Create(const RawVideoLayout& input, const CodedPicture& picture,
                                 std::unique_ptr<PictureConverter>& converter) {
    converter.reset();
    const int frameSize =
        av_image_get_buffer_size(picture.format, picture.width, AllocatedHeight(picture), kFrameAlignment);
    if (frameSize <= 0) return E_INVALIDARG;
    // Zeroed when first made: the padding at the end of each row and below the last, which no
    // conversion writes, stays zero for encoders that read it.
    AvBufferPoolPtr pool(av_buffer_pool_init(static_cast<std::size_t>(frameSize), av_buffer_allocz));
    if (!pool) return E_OUTOFMEMORY;
    SwsContextPtr context;
    if (!TakesYuv420Path(input, picture)) {
        // The source is the input's top-left part of the coded size: the converter reads only
        // that many rows, and that many bytes of each, from the input's planes.
        context.reset(sws_getContext(picture.width, picture.height, input.format, picture.width,
                                     picture.height, picture.format, SWS_BILINEAR, nullptr, nullptr,
                                     nullptr));
        if (!context) return E_OUTOFMEMORY;
    }
    converter.reset(new PictureConverter(std::move(context), std::move(pool), input, picture));
    return S_OK;
}

PictureConverter::PictureConverter(SwsContextPtr context, AvBufferPoolPtr pool, const RawVideoLayout& input,
                                   const CodedPicture& picture)
    : m_context(std::move(context)), m_pool(std::move(pool)), m_input(input), m_picture(picture) {}

AvFramePtr PictureConverter::Convert(const BYTE* image) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return nullptr;
    frame->format = m_picture.format;
    frame->width = m_picture.width;
    frame->height = m_picture.height;
    frame->buf[0] = av_buffer_pool_get(m_pool.get());
    if (frame->buf[0] == nullptr) return nullptr;
    if (av_image_fill_arrays(frame->data, frame->linesize, frame->buf[0]->data, m_picture.format,
                             m_picture.width, AllocatedHeight(m_picture), kFrameAlignment) < 0) {
        return nullptr;
    }
    std::uint8_t* planes[4];
    int strides[4];
    FillPlanes(m_input, const_cast<BYTE*>(image), planes, strides);
    if (!m_context) {
        const Yuv420Planes target{{frame->data[0], frame->data[1], frame->data[2]},
                                  {frame->linesize[0], frame->linesize[1], frame->linesize[2]}};
        Bgr24ToYuv420(planes[0], strides[0], m_picture.width, m_picture.height, target, m_picture.format);
        return frame;
    }
    sws_scale(m_context.get(), planes, strides, 0, m_picture.height, frame->data, frame->linesize);
    return frame;
}

}  // namespace media
