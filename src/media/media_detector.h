#pragma once

// The media detector: tells which streams a file holds without building a graph for it. It sees
// a file exactly as a graph would: through a file source and the splitter, so it counts the
// streams the splitter would offer (audio and video ones) and gives each one's major type.
//
// put_Filename opens and probes the file, notes its streams and closes it again, so the file is
// held open only during that call. Application thread only.

#include <string>
#include <vector>

#include "media/api/com_object.h"
#include "media/api/interfaces.h"

namespace media {

class MediaDetector final : public ComObject<IMediaDet> {
public:
    // Probes fileName. On failure (E_POINTER for null, the source's result for a file that can't
    // be opened, the splitter's for one without a stream it offers) the detector holds no file
    // afterwards, whatever it held before.
    HRESULT put_Filename(BSTR fileName) override;
    // The file given last that probed well (a new BSTR, transfer full), or null with S_OK.
    HRESULT get_Filename(BSTR* fileName) override;
    // The number of audio and video streams; E_INVALIDARG before a file is set.
    HRESULT get_OutputStreams(LONG* count) override;
    HRESULT get_CurrentStream(LONG* stream) override;
    // 0 to get_OutputStreams() - 1, else E_INVALIDARG and the current stream stays.
    HRESULT put_CurrentStream(LONG stream) override;
    // MEDIATYPE_Audio or MEDIATYPE_Video; E_INVALIDARG before a file is set.
    HRESULT get_StreamType(GUID* majorType) override;
    // A copy of the current stream's first offered type; E_INVALIDARG before a file is set.
    HRESULT get_StreamMediaType(AM_MEDIA_TYPE* type) override;
    // The splitter's duration of the file, 0 when it tells none; E_INVALIDARG before a file is set.
    HRESULT get_StreamLength(double* seconds) override;

private:
    std::u16string m_fileName;
    std::vector<MediaType> m_streamTypes;  // in the splitter's pin order
    REFERENCE_TIME m_duration = 0;
    bool m_loaded = false;
    LONG m_currentStream = 0;
};

}  // namespace media
