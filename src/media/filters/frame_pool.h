#pragma once

// Buffers for uncompressed frames, recycled: mapping and unmapping a fresh frame-sized block for
// every sample costs more than decoding small frames does.

#include "media/com/com_ptr.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/media_sample.h"

namespace media {

class FramePool {
public:
    // A sample of size bytes, zeroed the first time its buffer is used (so padding bytes that no
    // frame writes stay zero). The pool is remade when size changes; buffers still held by
    // samples downstream stay valid. Empty when memory ran out. Streaming thread only.
    [[nodiscard]] ComPtr<MediaSample> NewSample(int size);
    // Lets go of the pool (samples in flight keep their buffers).
    void Reset();

private:
    AvBufferPoolPtr m_pool;
    int m_size = 0;
};

}  // namespace media
