#pragma once

// The AVI writer's byte output: an AVIOContext that writes and seeks through the IStream of the
// file writer's pin. It can keep a copy of the first bytes of the file, so that fields of the
// header that the writer leaves alone can be found and patched later, and it can note the chunks
// written one after another from some offset on (a list's body), for an index of one's own.

#include <cstdint>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
}

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/ffmpeg/av_ptr.h"

namespace media {

// A chunk as it went out: its id, where its header starts and its body's size.
struct WrittenChunk {
    std::uint32_t id = 0;
    std::int64_t offset = 0;
    std::uint32_t size = 0;
};

class AviMuxOutputIo {
public:
    // A seekable output over stream (a reference is kept). Null when memory ran out.
    [[nodiscard]] static std::unique_ptr<AviMuxOutputIo> Create(IStream* stream);
    ~AviMuxOutputIo();
    AviMuxOutputIo(const AviMuxOutputIo&) = delete;
    AviMuxOutputIo& operator=(const AviMuxOutputIo&) = delete;

    // Owned by this object; valid while it lives.
    [[nodiscard]] AVIOContext* Context() const { return m_context.get(); }
    // The first failure the stream reported, S_OK while there was none.
    [[nodiscard]] HRESULT Failure() const { return m_failure; }

    // Starts keeping a copy of whatever is written below `limit` bytes into the file.
    void KeepHead(std::size_t limit);
    // The copy so far (bytes never written read as zero), and the end of keeping it.
    [[nodiscard]] std::vector<std::uint8_t> TakeHead();

    // Notes every chunk written from offset on, as long as bytes follow each other without a
    // seek (a seek ends the noting), until StopNotingChunks.
    void NoteChunksFrom(std::int64_t offset);
    void StopNotingChunks() { m_nextChunk = -1; }
    // The chunks noted, in the order they were written.
    [[nodiscard]] const std::vector<WrittenChunk>& Chunks() const { return m_chunks; }

private:
    explicit AviMuxOutputIo(IStream* stream);
    static int WritePacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);
    void KeepCopy(const std::uint8_t* buffer, std::size_t size);
    void NoteChunks(const std::uint8_t* buffer, std::size_t size);
    int Fail(HRESULT hr);

    ComPtr<IStream> m_stream;
    AvIoContextPtr m_context;
    std::int64_t m_position = 0;
    HRESULT m_failure = S_OK;
    std::size_t m_headLimit = 0;
    std::vector<std::uint8_t> m_head;
    std::int64_t m_nextChunk = -1;  // where the next chunk's header starts; -1: not noting
    std::uint8_t m_chunkHeader[8] = {};
    std::size_t m_chunkHeaderBytes = 0;  // of m_chunkHeader, read so far
    std::vector<WrittenChunk> m_chunks;
};

}  // namespace media
