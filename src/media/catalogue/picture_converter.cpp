#include "media/catalogue/picture_converter.h"

#include <cstdint>

extern "C" {
#include <libswscale/swscale.h>
}

namespace media {

HRESULT PictureConverter::Create(const RawVideoLayout& input, const CodedPicture& picture,
                                 std::unique_ptr<PictureConverter>& converter) {
    converter.reset();
    // The source is the input's top-left part of the coded size: the converter reads only that
    // many rows, and that many bytes of each, from the input's planes.
    SwsContextPtr context(sws_getContext(picture.width, picture.height, input.format, picture.width,
                                         picture.height, picture.format, SWS_BILINEAR, nullptr, nullptr,
                                         nullptr));
    if (!context) return E_OUTOFMEMORY;
    converter.reset(new PictureConverter(std::move(context), input, picture));
    return S_OK;
}

PictureConverter::PictureConverter(SwsContextPtr context, const RawVideoLayout& input,
                                   const CodedPicture& picture)
    : m_context(std::move(context)), m_input(input), m_picture(picture) {}

AvFramePtr PictureConverter::Convert(const BYTE* image) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return nullptr;
    frame->format = m_picture.format;
    frame->width = m_picture.width;
    frame->height = m_picture.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    std::uint8_t* planes[4];
    int strides[4];
    FillPlanes(m_input, const_cast<BYTE*>(image), planes, strides);
    sws_scale(m_context.get(), planes, strides, 0, m_picture.height, frame->data, frame->linesize);
    return frame;
}

}  // namespace media
