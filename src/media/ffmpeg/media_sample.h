#pragma once

// The media sample: one buffer of media data with its times and flags. The buffer is FFmpeg's
// (AVBufferRef), so that packets and frames pass between libavcodec and the graph without a copy.

#include <optional>

extern "C" {
#include <libavutil/buffer.h>
}

#include "media/api/com_object.h"
#include "media/api/interfaces.h"

namespace media {

class MediaSample final : public ComObject<IMediaSample> {
public:
    // A sample with a buffer of size bytes, from pool when given (pools avoid mapping and
    // unmapping large frames for every sample). Null when memory ran out. Transfer full.
    static MediaSample* Create(int size, AVBufferPool* pool = nullptr);
    // A sample that shares an existing buffer (a new reference is taken). Transfer full.
    static MediaSample* Wrap(AVBufferRef* buffer, int size);

    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT IsSyncPoint() override { return m_syncPoint ? S_OK : S_FALSE; }
    HRESULT SetSyncPoint(BOOL sync) override;
    HRESULT IsPreroll() override { return m_preroll ? S_OK : S_FALSE; }
    HRESULT SetPreroll(BOOL preroll) override;
    LONG GetActualDataLength() override { return m_length; }
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT IsDiscontinuity() override { return m_discontinuity ? S_OK : S_FALSE; }
    HRESULT SetDiscontinuity(BOOL discontinuity) override;
    HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;
    HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override;

    // The buffer, for zero-copy hand-over to FFmpeg (no reference added).
    AVBufferRef* Buffer() const { return m_buffer; }

private:
    MediaSample(AVBufferRef* buffer, int size);
    ~MediaSample() override;

    AVBufferRef* m_buffer;
    int m_size;
    LONG m_length;
    std::optional<REFERENCE_TIME> m_start;
    std::optional<REFERENCE_TIME> m_stop;
    std::optional<LONGLONG> m_mediaStart;
    std::optional<LONGLONG> m_mediaEnd;
    bool m_syncPoint = false;
    bool m_preroll = false;
    bool m_discontinuity = false;
    AM_MEDIA_TYPE* m_type = nullptr;
};

}  // namespace media
