#include "media/filters/splitter_byte_stream.h"

#include <algorithm>
#include <cstdio>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace media {
namespace {
constexpr int kBufferSize = 64 * 1024;
}  // namespace

std::unique_ptr<SplitterByteStream> SplitterByteStream::Open(ComPtr<IAsyncReader> reader) {
    if (!reader) return nullptr;
    LONGLONG total = 0;
    LONGLONG available = 0;
    if (FAILED(reader->Length(&total, &available)) || total < 0) return nullptr;

    std::unique_ptr<SplitterByteStream> stream(new SplitterByteStream(std::move(reader), total));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer == nullptr) return nullptr;
    stream->m_context.reset(
        avio_alloc_context(buffer, kBufferSize, 0, stream.get(), &ReadPacket, nullptr, &Seek));
    if (!stream->m_context) {
        av_free(buffer);
        return nullptr;
    }
    return stream;
}

SplitterByteStream::SplitterByteStream(ComPtr<IAsyncReader> reader, std::int64_t length)
    : m_reader(std::move(reader)), m_length(length) {}

int SplitterByteStream::ReadPacket(void* opaque, std::uint8_t* buffer, int size) {
    auto* self = static_cast<SplitterByteStream*>(opaque);
    if (size <= 0) return 0;
    if (self->m_position >= self->m_length) return AVERROR_EOF;
    const auto count = static_cast<LONG>(std::min<std::int64_t>(size, self->m_length - self->m_position));
    // S_FALSE means the file became shorter than it was when opened: as good as a read error.
    if (self->m_reader->SyncRead(self->m_position, count, buffer) != S_OK) return AVERROR(EIO);
    self->m_position += count;
    return count;
}

std::int64_t SplitterByteStream::Seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<SplitterByteStream*>(opaque);
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return self->m_length;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            base = self->m_position;
            break;
        case SEEK_END:
            base = self->m_length;
            break;
        default:
            return AVERROR(EINVAL);
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) return AVERROR(EINVAL);
    self->m_position = target;
    return target;
}

}  // namespace media
