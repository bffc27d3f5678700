#include "media/filters/avi_mux.h"

#include <algorithm>
#include <cstdio>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/wide_text.h"
#include "media/ffmpeg/avi_stream_format.h"
#include "media/registered_classes.h"

namespace media {
namespace {

std::u16string InputPinName(std::size_t index) {
    char name[16];
    std::snprintf(name, sizeof name, "Input %02zu", index);
    return ToUtf16(name);
}

constexpr DWORD kSeekingCapabilities = AM_SEEKING_CanGetDuration | AM_SEEKING_CanGetCurrentPos;

}  // namespace

// ---- pins --------------------------------------------------------------------------------------

AviMuxInputPin::AviMuxInputPin(AviMux& mux, std::u16string name)
    : InputPin(mux, std::move(name)), m_mux(mux) {}

HRESULT AviMuxInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return CanStoreInAvi(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AviMuxInputPin::CompleteConnect(IPin* peer) {
    const HRESULT hr = InputPin::CompleteConnect(peer);
    if (SUCCEEDED(hr)) m_mux.OnInputConnected();
    return hr;
}

HRESULT AviMuxInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    if (!IsAccepting()) return VFW_E_WRONG_STATE;
    return m_mux.WriteSample(*this, sample);
}

HRESULT AviMuxInputPin::EndOfStream() {
    if (!IsAccepting()) return VFW_E_WRONG_STATE;
    return m_mux.EndInput(*this);
}

AviMuxOutputPin::AviMuxOutputPin(AviMux& mux) : OutputPin(mux, u"AVI Out") {}

HRESULT AviMuxOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return type.majortype == MEDIATYPE_Stream && type.subtype == MEDIASUBTYPE_Avi ? S_OK
                                                                                  : VFW_E_TYPE_NOT_ACCEPTED;
}

std::vector<MediaType> AviMuxOutputPin::OfferedTypes() {
    MediaType type;
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_Avi;
    type.formattype = FORMAT_None;
    std::vector<MediaType> types;
    types.push_back(std::move(type));
    return types;
}

HRESULT AviMuxOutputPin::CompleteConnect(IPin* peer) {
    ComPtr<IStream> sink;
    if (FAILED(peer->QueryInterface(IStream::iid, sink.ReceiveVoid())) || !sink) return E_NOINTERFACE;
    m_sink = sink;
    return S_OK;
}

void AviMuxOutputPin::BreakConnect() {
    m_sink.Reset();
}

// ---- filter ------------------------------------------------------------------------------------

AviMux::AviMux() : FilterBase(CLSID_AviDest), m_output(std::make_unique<AviMuxOutputPin>(*this)) {
    m_inputs.push_back(std::make_unique<AviMuxInputPin>(*this, InputPinName(0)));
}

AviMux::~AviMux() = default;

void* AviMux::FindExtraInterface(REFIID riid) {
    if (riid == IConfigInterleaving::iid) return static_cast<IConfigInterleaving*>(this);
    if (riid == IMediaSeeking::iid) return static_cast<IMediaSeeking*>(this);
    if (riid == IPlayerProfile::iid) return static_cast<IPlayerProfile*>(this);
    return FilterBase::FindExtraInterface(riid);
}

std::vector<PinBase*> AviMux::Pins() {
    std::lock_guard lock(m_objectLock);
    std::vector<PinBase*> pins{m_output.get()};
    for (auto& input : m_inputs) pins.push_back(input.get());
    return pins;
}

void AviMux::OnInputConnected() {
    std::lock_guard lock(m_objectLock);
    const bool anyFree =
        std::any_of(m_inputs.begin(), m_inputs.end(), [](auto& p) { return !p->IsConnected(); });
    if (!anyFree) m_inputs.push_back(std::make_unique<AviMuxInputPin>(*this, InputPinName(m_inputs.size())));
}

HRESULT AviMux::OnActivate() {
    IStream* sink = m_output->Sink();
    if (sink == nullptr) return VFW_E_NOT_CONNECTED;
    std::vector<MediaType> types;
    std::lock_guard lock(m_muxLock);
    for (auto& input : m_inputs) {
        input->m_ended = false;
        input->m_stream = -1;
        if (!input->IsConnected()) continue;
        input->m_stream = static_cast<int>(types.size());
        types.push_back(input->ConnectionType());
    }
    if (types.empty()) return VFW_E_NOT_CONNECTED;
    m_failure = S_OK;
    m_written = 0;
    AviMuxSettings settings;
    settings.mode = m_mode.load();
    settings.interleave = m_interleave.load();
    settings.oneRiff = m_player.load() != PlayerProfile_None;
    return AviMuxSession::Start(sink, types, settings, &m_session);
}

bool AviMux::StreamFailedLocked() const {
    if (FAILED(m_failure)) return true;
    return std::any_of(m_inputs.begin(), m_inputs.end(),
                       [](auto& p) { return p->m_stream >= 0 && FAILED(p->UpstreamFailure()); });
}

void AviMux::OnDeactivate() {
    std::lock_guard lock(m_muxLock);
    // A stop before every input ended is an end too, unless the stream failed here or upstream.
    if (m_session && !m_session->Finished() && !StreamFailedLocked()) {
        // Nobody is left to tell of a failure here; an unfinished file is not committed, so the
        // writer does not keep it, and neither does it keep a file that shows nothing.
        if (SUCCEEDED(m_session->Finish()) && m_session->EveryVideoStreamHasAFrame())
            m_output->Sink()->Commit(STGC_DEFAULT);
    }
    m_session.reset();
    for (auto& input : m_inputs) input->m_stream = -1;
}

HRESULT AviMux::WriteSample(AviMuxInputPin& pin, IMediaSample* sample) {
    // Preroll is there for a decoder to prepare the samples after it; it is not part of the file.
    if (sample->IsPreroll() == S_OK) return S_OK;
    HRESULT hr = S_OK;
    {
        std::lock_guard lock(m_muxLock);
        if (FAILED(m_failure)) return m_failure;
        if (!m_session || m_session->Finished() || pin.m_stream < 0 || pin.m_ended) return VFW_E_WRONG_STATE;
        hr = m_session->Write(static_cast<std::size_t>(pin.m_stream), sample);
        if (FAILED(hr)) m_failure = hr;
    }
    if (FAILED(hr)) {
        NotifyEvent(EC_ERRORABORT, hr, reinterpret_cast<LONG_PTR>(static_cast<IPin*>(&pin)));
        return hr;
    }
    NotePosition(sample);
    return S_OK;
}

void AviMux::NotePosition(IMediaSample* sample) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT hr = sample->GetTime(&start, &stop);
    if (FAILED(hr)) return;
    const REFERENCE_TIME end = hr == S_OK ? std::max(start, stop) : start;
    REFERENCE_TIME known = m_written.load();
    while (end > known && !m_written.compare_exchange_weak(known, end)) {
    }
}

HRESULT AviMux::EndInput(AviMuxInputPin& pin) {
    HRESULT hr = S_OK;
    bool finished = false;
    IPin* failed = &pin;  // the stream the failure is about
    {
        std::lock_guard lock(m_muxLock);
        if (!m_session || pin.m_stream < 0 || pin.m_ended) return S_OK;
        pin.m_ended = true;
        if (StreamFailedLocked()) return S_OK;  // the abort was reported already; nothing is kept
        const bool allEnded = std::all_of(m_inputs.begin(), m_inputs.end(),
                                          [](auto& p) { return p->m_stream < 0 || p->m_ended; });
        if (!allEnded || m_session->Finished()) return S_OK;
        hr = m_session->Finish();
        // A video stream that ended without one picture leaves a file that plays nothing: the
        // input held no picture that could be decoded, and that is a failure, not a result.
        if (SUCCEEDED(hr) && !m_session->EveryVideoStreamHasAFrame()) {
            hr = VFW_E_INVALID_FILE_FORMAT;
            for (auto& input : m_inputs) {
                if (input->m_stream >= 0 && input->ConnectionType().majortype == MEDIATYPE_Video) {
                    failed = input.get();
                    break;
                }
            }
        }
        if (SUCCEEDED(hr)) hr = m_output->Sink()->Commit(STGC_DEFAULT);
        if (FAILED(hr)) {
            m_failure = hr;
        } else {
            finished = true;
        }
    }
    if (FAILED(hr)) {
        NotifyEvent(EC_ERRORABORT, hr, reinterpret_cast<LONG_PTR>(failed));
        return hr;
    }
    if (finished) m_output->DeliverEndOfStream();
    return S_OK;
}

// ---- IPlayerProfile ----------------------------------------------------------------------------

HRESULT AviMux::put_PlayerProfile(LONG profile) {
    if (profile != PlayerProfile_None && RulesOf(profile) == nullptr) return E_INVALIDARG;
    m_player = profile;
    return S_OK;
}

HRESULT AviMux::get_PlayerProfile(LONG* profile) {
    if (profile == nullptr) return E_POINTER;
    *profile = m_player.load();
    return S_OK;
}

// ---- IConfigInterleaving -----------------------------------------------------------------------

HRESULT AviMux::put_Mode(InterleavingMode mode) {
    if (mode < INTERLEAVE_NONE || mode > INTERLEAVE_NONE_BUFFERED) return E_INVALIDARG;
    m_mode = mode;
    return S_OK;
}

HRESULT AviMux::get_Mode(InterleavingMode* mode) {
    if (mode == nullptr) return E_POINTER;
    *mode = m_mode.load();
    return S_OK;
}

HRESULT AviMux::put_Interleaving(const REFERENCE_TIME* interleave, const REFERENCE_TIME* preroll) {
    if ((interleave && *interleave < 0) || (preroll && *preroll < 0)) return E_INVALIDARG;
    if (interleave) m_interleave = *interleave;
    if (preroll) m_preroll = *preroll;
    return S_OK;
}

HRESULT AviMux::get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) {
    if (interleave == nullptr || preroll == nullptr) return E_POINTER;
    *interleave = m_interleave.load();
    *preroll = m_preroll.load();
    return S_OK;
}

// ---- IMediaSeeking -----------------------------------------------------------------------------

HRESULT AviMux::GetCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    *capabilities = kSeekingCapabilities;
    return S_OK;
}

HRESULT AviMux::GetDuration(LONGLONG* duration) {
    if (duration == nullptr) return E_POINTER;
    std::vector<ComPtr<IPin>> upstream;
    {
        std::lock_guard lock(m_objectLock);
        for (auto& input : m_inputs) {
            if (IPin* peer = input->Peer()) upstream.emplace_back(peer);
        }
    }
    LONGLONG longest = 0;
    for (auto& peer : upstream) {
        ComPtr<IMediaSeeking> seeking;
        if (FAILED(peer->QueryInterface(IMediaSeeking::iid, seeking.ReceiveVoid())) || !seeking) continue;
        LONGLONG d = 0;
        if (SUCCEEDED(seeking->GetDuration(&d))) longest = std::max(longest, d);
    }
    *duration = longest;
    return S_OK;
}

HRESULT AviMux::GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    *current = m_written.load();
    return S_OK;
}

HRESULT AviMux::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
    if (earliest) *earliest = 0;
    if (latest) return GetCurrentPosition(latest);
    return S_OK;
}

void RegisterAviMux() {
    RegisterClass(CLSID_AviDest, [] { return static_cast<IBaseFilter*>(new AviMux); });
}

}  // namespace media
