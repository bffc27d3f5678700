#pragma once

// The AVI writer's byte output: an AVIOContext that writes and seeks through the IStream of the
// file writer's pin. It can keep a copy of the first bytes of the file, so that fields of the
// header that the writer leaves alone can be found and patched later.

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

private:
    explicit AviMuxOutputIo(IStream* stream);
    static int WritePacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);
    void KeepCopy(const std::uint8_t* buffer, std::size_t size);
    int Fail(HRESULT hr);

    ComPtr<IStream> m_stream;
    AvIoContextPtr m_context;
    std::int64_t m_position = 0;
    HRESULT m_failure = S_OK;
    std::size_t m_headLimit = 0;
    std::vector<std::uint8_t> m_head;
};

}  // namespace media
