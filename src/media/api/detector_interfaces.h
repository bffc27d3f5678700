#pragma once

// The media detector: the streams of a file, without a graph of the caller's.
// Unless said otherwise, an interface pointer returned through an out-parameter carries a new
// reference that the caller owns (transfer full), and one passed in is borrowed.

#include "media/api/media_type.h"
#include "media/api/unknown.h"

// Opens a file and tells its streams: the ones the splitter would offer, audio and video.
struct IMediaDet : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x65BD0710, 0x24D2, 0x4FF7, {0x93, 0x24, 0xED, 0x2E, 0x5D, 0x3A, 0xBA, 0xFA}};
    // A negative result when the file can't be opened or holds no stream.
    virtual HRESULT put_Filename(BSTR fileName) = 0;
    virtual HRESULT get_Filename(BSTR* fileName) = 0;
    virtual HRESULT get_OutputStreams(LONG* count) = 0;
    virtual HRESULT get_CurrentStream(LONG* stream) = 0;
    virtual HRESULT put_CurrentStream(LONG stream) = 0;
    virtual HRESULT get_StreamType(GUID* majorType) = 0;
    // The current stream's type as the splitter offers it; the caller frees it with FreeMediaType.
    virtual HRESULT get_StreamMediaType(AM_MEDIA_TYPE* type) = 0;
    // The file's length in seconds; 0 when it cannot be told.
    virtual HRESULT get_StreamLength(double* seconds) = 0;
};
