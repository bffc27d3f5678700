#include "media/filters/frame_pool.h"

namespace media {
namespace {

// libswscale writes RGB24 rows in whole blocks of several pixels: a row whose bytes are not a
// multiple of its block (266 pixels, 798 bytes) is written a few bytes past its end, which for the
// last row in memory is past the picture. Each buffer has room for that beyond its sample.
constexpr std::size_t kConverterOverrun = 64;

}  // namespace

ComPtr<MediaSample> FramePool::NewSample(int size) {
    if (size <= 0) return {};
    if (!m_pool || size != m_size) {
        // av_buffer_pool_uninit frees the old pool only once its last buffer comes back.
        m_pool.reset(av_buffer_pool_init(static_cast<size_t>(size) + kConverterOverrun, av_buffer_allocz));
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
