#include "media/graph/pin_base.h"

#include "media/api/uuids.h"
#include "media/com/wide_text.h"
#include "media/graph/enumerators.h"
#include "media/graph/filter_base.h"

namespace media {

PinBase::PinBase(FilterBase& filter, PIN_DIRECTION direction, std::u16string name)
    : m_filter(filter), m_direction(direction), m_name(std::move(name)) {}

ULONG PinBase::AddRef() { return m_filter.AddRef(); }
ULONG PinBase::Release() { return m_filter.Release(); }

namespace {
bool IsFullySpecified(const AM_MEDIA_TYPE* type) {
    return type != nullptr && type->majortype != GUID_NULL && type->subtype != GUID_NULL &&
           type->formattype != GUID_NULL;
}
}  // namespace

HRESULT PinBase::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (receivePin == nullptr) return E_POINTER;
    if (m_direction != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (m_peer) return VFW_E_ALREADY_CONNECTED;
    if (m_filter.IsActive()) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION otherDirection{};
    if (FAILED(receivePin->QueryDirection(&otherDirection)) || otherDirection != PINDIR_INPUT) {
        return VFW_E_INVALID_DIRECTION;
    }
    if (IsFullySpecified(type)) return AttemptConnection(receivePin, *type);

    // The last attempt's own failure says more than a generic "no acceptable types".
    HRESULT lastFailure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const MediaType& offered : OfferedTypes()) {
        if (!MatchesPartialType(offered, type)) continue;
        const HRESULT hr = AttemptConnection(receivePin, offered);
        if (SUCCEEDED(hr)) return S_OK;
        lastFailure = hr;
    }
    ComPtr<IEnumMediaTypes> theirs;
    if (SUCCEEDED(receivePin->EnumMediaTypes(theirs.Receive())) && theirs) {
        AM_MEDIA_TYPE* candidate = nullptr;
        ULONG fetched = 0;
        while (theirs->Next(1, &candidate, &fetched) == S_OK && fetched == 1) {
            const bool matches = MatchesPartialType(*candidate, type);
            const HRESULT hr = matches ? AttemptConnection(receivePin, *candidate) : VFW_E_NO_ACCEPTABLE_TYPES;
            DeleteMediaType(candidate);
            if (SUCCEEDED(hr)) return S_OK;
            if (matches) lastFailure = hr;
        }
    }
    return lastFailure;
}

HRESULT PinBase::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type) {
    if (FAILED(CheckMediaType(type))) return VFW_E_TYPE_NOT_ACCEPTED;
    m_type = MediaType(type);
    m_peer = ComPtr<IPin>(receivePin);
    HRESULT hr = receivePin->ReceiveConnection(this, &type);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(receivePin);
        if (SUCCEEDED(hr)) return S_OK;
        receivePin->Disconnect();
    }
    m_peer.Reset();
    m_type = MediaType();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PinBase::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (connector == nullptr || type == nullptr) return E_POINTER;
    if (m_direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    if (m_peer) return VFW_E_ALREADY_CONNECTED;
    if (m_filter.IsActive()) return VFW_E_NOT_STOPPED;
    const HRESULT check = CheckMediaType(*type);
    if (FAILED(check)) return VFW_E_TYPE_NOT_ACCEPTED;
    m_type = MediaType(*type);
    m_peer = ComPtr<IPin>(connector);
    const HRESULT hr = CompleteConnect(connector);
    if (FAILED(hr)) {
        BreakConnect();
        m_peer.Reset();
        m_type = MediaType();
        return hr;
    }
    return S_OK;
}

HRESULT PinBase::CompleteConnect(IPin*) { return S_OK; }

HRESULT PinBase::Disconnect() {
    if (m_filter.IsActive()) return VFW_E_NOT_STOPPED;
    if (!m_peer) return S_FALSE;
    BreakConnect();
    m_peer.Reset();
    m_type = MediaType();
    return S_OK;
}

HRESULT PinBase::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    *pin = nullptr;
    if (!m_peer) return VFW_E_NOT_CONNECTED;
    return ReturnInterface(m_peer.Get(), pin);
}

HRESULT PinBase::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    if (!m_peer) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &m_type);
}

HRESULT PinBase::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = InterfaceRef<IBaseFilter>(&m_filter).Detach();
    info->dir = m_direction;
    CopyToFixed(m_name, info->achName, MAX_PIN_NAME);
    return S_OK;
}

HRESULT PinBase::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) return E_POINTER;
    *direction = m_direction;
    return S_OK;
}

HRESULT PinBase::QueryId(LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    *id = TaskMemString(m_name);
    return *id ? S_OK : E_OUTOFMEMORY;
}

HRESULT PinBase::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    return SUCCEEDED(CheckMediaType(*type)) ? S_OK : S_FALSE;
}

HRESULT PinBase::EnumMediaTypes(IEnumMediaTypes** types) {
    if (types == nullptr) return E_POINTER;
    *types = CreateMediaTypeEnumerator(OfferedTypes());
    return S_OK;
}

HRESULT PinBase::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

InputPin::InputPin(FilterBase& filter, std::u16string name) : PinBase(filter, PINDIR_INPUT, std::move(name)) {}

void* InputPin::FindExtraInterface(REFIID riid) {
    if (riid == IMemInputPin::iid) return static_cast<IMemInputPin*>(this);
    if (riid == IUpstreamFailure::iid) return static_cast<IUpstreamFailure*>(this);
    return nullptr;
}

void InputPin::StreamFailed(HRESULT hr) {
    HRESULT none = S_OK;
    m_upstreamFailure.compare_exchange_strong(none, hr);
    Filter().PassStreamFailure(hr);
}

HRESULT InputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
    if (samples == nullptr) return E_POINTER;
    LONG done = 0;
    HRESULT hr = S_OK;
    while (done < count) {
        hr = Receive(samples[done]);
        if (hr != S_OK) break;
        ++done;
    }
    if (processed) *processed = done;
    return hr;
}

HRESULT InputPin::BeginFlush() {
    m_flushing = true;
    return S_OK;
}

HRESULT InputPin::EndFlush() {
    m_flushing = false;
    return S_OK;
}

bool InputPin::IsAccepting() const { return Filter().IsActive() && !m_flushing.load(); }

OutputPin::OutputPin(FilterBase& filter, std::u16string name) : PinBase(filter, PINDIR_OUTPUT, std::move(name)) {}

HRESULT OutputPin::CompleteConnect(IPin* peer) {
    ComPtr<IMemInputPin> receiver;
    if (FAILED(peer->QueryInterface(IMemInputPin::iid, receiver.ReceiveVoid()))) return VFW_E_NO_ALLOCATOR;
    m_receiver = receiver;
    return S_OK;
}

void OutputPin::BreakConnect() { m_receiver.Reset(); }

HRESULT OutputPin::Deliver(IMediaSample* sample) {
    if (!m_receiver) return VFW_E_NOT_CONNECTED;
    return m_receiver->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream() {
    IPin* peer = Peer();
    return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

void OutputPin::DeliverStreamFailure(HRESULT hr) {
    IPin* peer = Peer();
    ComPtr<IUpstreamFailure> receiver;
    if (peer && SUCCEEDED(peer->QueryInterface(IUpstreamFailure::iid, receiver.ReceiveVoid())) && receiver)
        receiver->StreamFailed(hr);
}

HRESULT OutputPin::DeliverBeginFlush() {
    IPin* peer = Peer();
    return peer ? peer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::DeliverEndFlush() {
    IPin* peer = Peer();
    return peer ? peer->EndFlush() : VFW_E_NOT_CONNECTED;
}

bool IsVideoType(const AM_MEDIA_TYPE& type) { return type.majortype == MEDIATYPE_Video; }
bool IsAudioType(const AM_MEDIA_TYPE& type) { return type.majortype == MEDIATYPE_Audio; }

}  // namespace media
