#pragma once

// libavformat's view of a file source: an AVIOContext whose reads and seeks go to the
// IAsyncReader of the pin the splitter is connected to.

#include <cstdint>
#include <memory>

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/ffmpeg/av_ptr.h"

namespace media {

class SplitterByteStream {
public:
    // A stream over reader, positioned at its start; null when memory ran out or the reader
    // cannot tell its length.
    [[nodiscard]] static std::unique_ptr<SplitterByteStream> Open(ComPtr<IAsyncReader> reader);

    SplitterByteStream(const SplitterByteStream&) = delete;
    SplitterByteStream& operator=(const SplitterByteStream&) = delete;

    // Owned by this object; valid while it lives. Used by one thread at a time.
    [[nodiscard]] AVIOContext* Context() const { return m_context.get(); }

private:
    SplitterByteStream(ComPtr<IAsyncReader> reader, std::int64_t length);

    static int ReadPacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

    ComPtr<IAsyncReader> m_reader;
    std::int64_t m_length;
    std::int64_t m_position = 0;
    AvIoContextPtr m_context;
};

}  // namespace media
