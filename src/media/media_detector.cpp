#include "media/media_detector.h"

#include "media/api/bstr.h"
#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/com_ptr.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/filters/file_source.h"
#include "media/filters/media_splitter.h"
#include "media/registered_classes.h"

namespace media {
namespace {

// A file source connected to a splitter, as a graph would build them for the file; the two are
// disconnected again when it goes, which breaks the reference cycle their pins form.
class ProbeChain {
public:
    ProbeChain()
        : m_source(ComPtr<FileSource>::Adopt(new FileSource)),
          m_splitter(ComPtr<MediaSplitter>::Adopt(new MediaSplitter)) {}
    ProbeChain(const ProbeChain&) = delete;
    ProbeChain& operator=(const ProbeChain&) = delete;
    ~ProbeChain() {
        SplitterInput().Disconnect();
        SourceOutput().Disconnect();
    }

    // Opens the file and lets the splitter probe it.
    HRESULT Open(LPCOLESTR file) {
        const HRESULT hr = m_source->Load(file, nullptr);
        if (FAILED(hr)) return hr;
        return SourceOutput().Connect(&SplitterInput(), nullptr);
    }

    // The type of each stream the splitter offers, in its pin order.
    [[nodiscard]] std::vector<MediaType> StreamTypes() const {
        std::vector<MediaType> types;
        for (PinBase* pin : m_splitter->Pins()) {
            if (pin->Direction() != PINDIR_OUTPUT) continue;
            std::vector<MediaType> offered = pin->OfferedTypes();
            if (!offered.empty()) types.push_back(std::move(offered.front()));
        }
        return types;
    }
    // The file's duration as the splitter's pins answer seeking; 0 when it tells none.
    [[nodiscard]] REFERENCE_TIME Duration() const {
        for (PinBase* pin : m_splitter->Pins()) {
            IMediaSeeking* seeking = nullptr;
            if (pin->Direction() != PINDIR_OUTPUT ||
                FAILED(pin->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking))) ||
                seeking == nullptr)
                continue;
            LONGLONG duration = 0;
            const HRESULT hr = seeking->GetDuration(&duration);
            seeking->Release();
            return SUCCEEDED(hr) ? duration : 0;
        }
        return 0;
    }

private:
    [[nodiscard]] PinBase& SourceOutput() const { return *m_source->Pins().front(); }
    [[nodiscard]] PinBase& SplitterInput() const { return *m_splitter->Pins().front(); }

    ComPtr<FileSource> m_source;
    ComPtr<MediaSplitter> m_splitter;
};

}  // namespace

HRESULT MediaDetector::put_Filename(BSTR fileName) {
    m_loaded = false;
    m_fileName.clear();
    m_streamTypes.clear();
    m_duration = 0;
    m_currentStream = 0;
    if (fileName == nullptr) return E_POINTER;

    std::vector<MediaType> types;
    REFERENCE_TIME duration = 0;
    {
        ProbeChain chain;
        const HRESULT hr = chain.Open(fileName);
        if (FAILED(hr)) return hr;
        types = chain.StreamTypes();
        duration = chain.Duration();
    }
    if (types.empty()) return VFW_E_UNKNOWN_FILE_TYPE;
    m_fileName = fileName;
    m_streamTypes = std::move(types);
    m_duration = duration;
    m_loaded = true;
    return S_OK;
}

HRESULT MediaDetector::get_Filename(BSTR* fileName) {
    if (fileName == nullptr) return E_POINTER;
    *fileName = nullptr;
    if (!m_loaded) return S_OK;
    *fileName = SysAllocString(m_fileName.c_str());
    return *fileName != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaDetector::get_OutputStreams(LONG* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (!m_loaded) return E_INVALIDARG;
    *count = static_cast<LONG>(m_streamTypes.size());
    return S_OK;
}

HRESULT MediaDetector::get_CurrentStream(LONG* stream) {
    if (stream == nullptr) return E_POINTER;
    *stream = m_currentStream;
    return S_OK;
}

HRESULT MediaDetector::put_CurrentStream(LONG stream) {
    if (!m_loaded || stream < 0 || static_cast<std::size_t>(stream) >= m_streamTypes.size())
        return E_INVALIDARG;
    m_currentStream = stream;
    return S_OK;
}

HRESULT MediaDetector::get_StreamType(GUID* majorType) {
    if (majorType == nullptr) return E_POINTER;
    *majorType = GUID_NULL;
    if (!m_loaded) return E_INVALIDARG;
    *majorType = m_streamTypes[static_cast<std::size_t>(m_currentStream)].majortype;
    return S_OK;
}

HRESULT MediaDetector::get_StreamMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    if (!m_loaded) return E_INVALIDARG;
    return CopyMediaType(type, &m_streamTypes[static_cast<std::size_t>(m_currentStream)]);
}

HRESULT MediaDetector::get_StreamLength(double* seconds) {
    if (seconds == nullptr) return E_POINTER;
    *seconds = 0;
    if (!m_loaded) return E_INVALIDARG;
    *seconds = static_cast<double>(m_duration) / kUnitsPerSecond;
    return S_OK;
}

void RegisterMediaDetector() {
    RegisterClass(CLSID_MediaDet, [] { return (new MediaDetector)->Identity(); });
}

}  // namespace media
