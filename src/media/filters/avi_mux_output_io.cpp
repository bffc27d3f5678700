#include "media/filters/avi_mux_output_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace media {
namespace {
// Large enough that frames and the index go out in few writes.
constexpr int kBufferSize = 64 * 1024;
}  // namespace

AviMuxOutputIo::AviMuxOutputIo(IStream* stream) : m_stream(stream) {}

AviMuxOutputIo::~AviMuxOutputIo() = default;

std::unique_ptr<AviMuxOutputIo> AviMuxOutputIo::Create(IStream* stream) {
    if (stream == nullptr) return nullptr;
    std::unique_ptr<AviMuxOutputIo> io(new AviMuxOutputIo(stream));
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer == nullptr) return nullptr;
    io->m_context.reset(avio_alloc_context(buffer, kBufferSize, 1, io.get(), nullptr, &WritePacket, &Seek));
    if (!io->m_context) {
        av_free(buffer);
        return nullptr;
    }
    io->m_context->seekable = AVIO_SEEKABLE_NORMAL;
    return io;
}

int AviMuxOutputIo::Fail(HRESULT hr) {
    if (SUCCEEDED(m_failure)) m_failure = hr;
    return AVERROR(EIO);
}

int AviMuxOutputIo::WritePacket(void* opaque, std::uint8_t* buffer, int size) {
    auto* self = static_cast<AviMuxOutputIo*>(opaque);
    if (FAILED(self->m_failure)) return AVERROR(EIO);
    if (size <= 0) return 0;
    ULONG written = 0;
    const HRESULT hr = self->m_stream->Write(buffer, static_cast<ULONG>(size), &written);
    if (FAILED(hr)) return self->Fail(hr);
    if (written != static_cast<ULONG>(size)) return self->Fail(E_FAIL);
    self->KeepCopy(buffer, static_cast<std::size_t>(size));
    self->NoteChunks(buffer, static_cast<std::size_t>(size));
    self->m_position += size;
    return size;
}

std::int64_t AviMuxOutputIo::Seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<AviMuxOutputIo*>(opaque);
    if (FAILED(self->m_failure)) return AVERROR(EIO);
    DWORD origin = STREAM_SEEK_SET;
    switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            origin = STREAM_SEEK_CUR;
            break;
        case SEEK_END:
            origin = STREAM_SEEK_END;
            break;
        case AVSEEK_SIZE: {
            LONGLONG end = 0;
            LONGLONG back = 0;
            HRESULT hr = self->m_stream->Seek(0, STREAM_SEEK_END, &end);
            if (SUCCEEDED(hr)) hr = self->m_stream->Seek(self->m_position, STREAM_SEEK_SET, &back);
            return FAILED(hr) ? self->Fail(hr) : end;
        }
        default:
            return AVERROR(EINVAL);
    }
    LONGLONG now = 0;
    const HRESULT hr = self->m_stream->Seek(offset, origin, &now);
    if (FAILED(hr)) return self->Fail(hr);
    if (now != self->m_position) self->StopNotingChunks();
    self->m_position = now;
    return now;
}

void AviMuxOutputIo::KeepHead(std::size_t limit) {
    m_headLimit = limit;
    m_head.clear();
}

std::vector<std::uint8_t> AviMuxOutputIo::TakeHead() {
    m_headLimit = 0;
    return std::exchange(m_head, {});
}

void AviMuxOutputIo::NoteChunksFrom(std::int64_t offset) {
    m_nextChunk = offset;
    m_chunkHeaderBytes = 0;
    m_chunks.clear();
}

void AviMuxOutputIo::NoteChunks(const std::uint8_t* buffer, std::size_t size) {
    const std::int64_t end = m_position + static_cast<std::int64_t>(size);
    while (m_nextChunk >= 0) {
        const std::int64_t at = m_nextChunk + static_cast<std::int64_t>(m_chunkHeaderBytes);
        if (at < m_position || at >= end) return;
        const std::size_t take =
            std::min(sizeof m_chunkHeader - m_chunkHeaderBytes, static_cast<std::size_t>(end - at));
        std::memcpy(m_chunkHeader + m_chunkHeaderBytes, buffer + (at - m_position), take);
        m_chunkHeaderBytes += take;
        if (m_chunkHeaderBytes < sizeof m_chunkHeader) return;
        const auto little = [this](int from) {
            return static_cast<std::uint32_t>(m_chunkHeader[from]) | m_chunkHeader[from + 1] << 8 |
                   m_chunkHeader[from + 2] << 16 | static_cast<std::uint32_t>(m_chunkHeader[from + 3]) << 24;
        };
        const WrittenChunk chunk{.id = little(0), .offset = m_nextChunk, .size = little(4)};
        m_chunks.push_back(chunk);
        // A chunk's body is padded to an even size.
        m_nextChunk += 8 + static_cast<std::int64_t>(chunk.size) + (chunk.size & 1);
        m_chunkHeaderBytes = 0;
    }
}

void AviMuxOutputIo::KeepCopy(const std::uint8_t* buffer, std::size_t size) {
    if (m_position < 0 || static_cast<std::uint64_t>(m_position) >= m_headLimit) return;
    const auto begin = static_cast<std::size_t>(m_position);
    const std::size_t end = std::min(begin + size, m_headLimit);
    if (m_head.size() < end) m_head.resize(end);
    std::memcpy(m_head.data() + begin, buffer, end - begin);
}

}  // namespace media
