#pragma once

// Converts uncompressed pictures to the picture an encoder codes: its pixel format, the top-left
// part of the input it codes. Each picture gets a frame of its own, so that the sender's thread
// can convert the next pictures while the encoder still works on earlier ones; the frames' memory
// is recycled once the encoder lets go of it. RGB24 to 8-bit 4:2:0, the usual case, takes the
// conversion that gives back the pictures the decoder made; anything else goes through
// libswscale. One thread at a time.

#include <memory>

#include "media/catalogue/encoder_setup.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/codec_media_type.h"

namespace media {

class PictureConverter {
public:
    // A converter from pictures laid out as input to picture.
    [[nodiscard]] static HRESULT Create(const RawVideoLayout& input, const CodedPicture& picture,
                                        std::unique_ptr<PictureConverter>& converter);

    // The picture at image (input.imageSize bytes) converted into a new frame; null when out of memory.
    [[nodiscard]] AvFramePtr Convert(const BYTE* image);

private:
    PictureConverter(SwsContextPtr context, AvBufferPoolPtr pool, const RawVideoLayout& input,
                     const CodedPicture& picture);

    SwsContextPtr m_context;  // null when the conversion is RGB24 to 4:2:0
    AvBufferPoolPtr m_pool;   // frames of the coded picture
    RawVideoLayout m_input;
    CodedPicture m_picture;
};

}  // namespace media
