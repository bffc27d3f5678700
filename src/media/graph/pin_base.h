#pragma once

// Pins: connection negotiation shared by every filter, and the input and output sides of the
// streaming contract. A pin lives exactly as long as its filter, and its references are the
// filter's references.

#include <atomic>
#include <string>
#include <vector>

#include "media/api/com_object.h"
#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"

namespace media {

class FilterBase;

class PinBase : public ComObject<IPin> {
public:
    PinBase(FilterBase& filter, PIN_DIRECTION direction, std::u16string name);

    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPWSTR* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override { return E_UNEXPECTED; }
    HRESULT EndFlush() override { return E_UNEXPECTED; }
    HRESULT NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // Whether this pin can carry type: S_OK, or a failure code.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;
    // The types this pin offers, most preferred first.
    virtual std::vector<MediaType> OfferedTypes() { return {}; }
    // Called once both sides agreed on ConnectionType(); a failure undoes the connection.
    virtual HRESULT CompleteConnect(IPin* peer);
    // Called when the connection is broken.
    virtual void BreakConnect() {}

    [[nodiscard]] bool IsConnected() const { return static_cast<bool>(m_peer); }
    // The connected pin, or null. No reference is added.
    [[nodiscard]] IPin* Peer() const { return m_peer.Get(); }
    [[nodiscard]] const MediaType& ConnectionType() const { return m_type; }
    [[nodiscard]] FilterBase& Filter() const { return m_filter; }
    [[nodiscard]] PIN_DIRECTION Direction() const { return m_direction; }
    [[nodiscard]] const std::u16string& Name() const { return m_name; }

protected:
    // Tries one fully specified type against receivePin.
    HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);

private:
    FilterBase& m_filter;
    PIN_DIRECTION m_direction;
    std::u16string m_name;
    ComPtr<IPin> m_peer;
    MediaType m_type;
};

// How a failed stream ends inside this layer. The filter whose streaming failed tells its output
// pins' peers through this first, then reports EC_ERRORABORT to the graph (FilterBase::
// AbortStream); each filter on the way passes it on to its own outputs, so that a sink learns it
// with the stream itself, before anyone can stop the graph because of it, and never has to ask
// the graph how the run ended. Not part of the application's face.
struct IUpstreamFailure : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x2D1F7A40, 0x5C3B, 0x4E8A, {0x9B, 0x61, 0x7E, 0x0C, 0x44, 0xA2, 0x19, 0xD5}};
    // The stream this pin receives failed upstream with hr: what it carried so far is not a
    // whole stream. Streaming threads; MT safe.
    virtual void StreamFailed(HRESULT hr) = 0;
};

// The receiving side. Subclasses implement Receive and the end-of-stream and flush handling.
class InputPin : public PinBase, public IMemInputPin, public IUpstreamFailure {
public:
    InputPin(FilterBase& filter, std::u16string name);

    HRESULT QueryInterface(REFIID riid, void** object) override { return PinBase::QueryInterface(riid, object); }
    ULONG AddRef() override { return PinBase::AddRef(); }
    ULONG Release() override { return PinBase::Release(); }

    HRESULT GetAllocator(IMemAllocator**) override { return VFW_E_NO_ALLOCATOR; }
    HRESULT NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    HRESULT ReceiveCanBlock() override { return S_FALSE; }

    HRESULT EndOfStream() override { return S_OK; }
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    // Whether samples are accepted now: the filter is active and no flush is in progress.
    [[nodiscard]] bool IsAccepting() const;

    // Keeps the first failure and passes it on to the filter's outputs (FilterBase::
    // PassStreamFailure).
    void StreamFailed(HRESULT hr) override;
    // The first failure upstream since the filter last left Stopped, S_OK while there was none. A
    // flush does not clear it: a run that failed stays failed. MT safe.
    [[nodiscard]] HRESULT UpstreamFailure() const { return m_upstreamFailure.load(); }
    // Stopped -> Paused: a new run. Application thread.
    void ForgetUpstreamFailure() { m_upstreamFailure = S_OK; }

protected:
    void* FindExtraInterface(REFIID riid) override;

private:
    std::atomic<bool> m_flushing{false};
    std::atomic<HRESULT> m_upstreamFailure{S_OK};
};

// The sending side: delivers to the connected input pin.
class OutputPin : public PinBase {
public:
    OutputPin(FilterBase& filter, std::u16string name);

    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;

    // Streaming thread only. The failure of the receiver tells the caller to stop.
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    // Tells the connected input pin that the stream failed upstream (IUpstreamFailure); nothing
    // when it is not connected or not of this layer.
    void DeliverStreamFailure(HRESULT hr);
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();

private:
    ComPtr<IMemInputPin> m_receiver;
};

// Helpers for the pins of a filter.
[[nodiscard]] bool IsVideoType(const AM_MEDIA_TYPE& type);
[[nodiscard]] bool IsAudioType(const AM_MEDIA_TYPE& type);

}  // namespace media
