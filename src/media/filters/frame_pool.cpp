#include "media/filters/frame_pool.h"

namespace media {

ComPtr<MediaSample> FramePool::NewSample(int size) {
    if (size <= 0) return {};
    if (!m_pool || size != m_size) {
        // av_buffer_pool_uninit frees the old pool only once its last buffer comes back.
        m_pool.reset(av_buffer_pool_init(static_cast<size_t>(size), av_buffer_allocz));
        m_size = m_pool ? size : 0;
        if (!m_pool) return {};
    }
    return ComPtr<MediaSample>::Adopt(MediaSample::Create(size, m_pool.get()));
}

void FramePool::Reset() {
    m_pool.reset();
    m_size = 0;
}

}  // namespace media
