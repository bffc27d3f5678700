#include "media/filters/transform_pins.h"

namespace media {

// --- input pin ---

TransformInputPin::TransformInputPin(FilterBase& filter, TransformPinOwner& owner)
    : InputPin(filter, u"Input"), m_owner(owner) {}

HRESULT TransformInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return m_owner.CheckInputType(type);
}

HRESULT TransformInputPin::CompleteConnect(IPin* peer) {
    const HRESULT hr = InputPin::CompleteConnect(peer);
    return FAILED(hr) ? hr : m_owner.OnInputConnected();
}

void TransformInputPin::BreakConnect() {
    m_owner.OnInputDisconnected();
    InputPin::BreakConnect();
}

HRESULT TransformInputPin::Receive(IMediaSample* sample) {
    return m_owner.ReceiveSample(sample);
}
HRESULT TransformInputPin::ReceiveCanBlock() {
    return m_owner.ReceiveCanBlock() ? S_OK : S_FALSE;
}
HRESULT TransformInputPin::EndOfStream() {
    return m_owner.ReceiveEndOfStream();
}
HRESULT TransformInputPin::BeginFlush() {
    return m_owner.ReceiveBeginFlush();
}
HRESULT TransformInputPin::EndFlush() {
    return m_owner.ReceiveEndFlush();
}
HRESULT TransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return m_owner.ReceiveNewSegment(start, stop, rate);
}

// --- output pin ---

TransformOutputPin::TransformOutputPin(FilterBase& filter, TransformPinOwner& owner, InputPin& input)
    : PassThroughOutputPin(filter, u"Output", input), m_owner(owner), m_input(input) {}

HRESULT TransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    // What the output can carry depends on what comes in.
    if (!m_input.IsConnected()) return VFW_E_NOT_CONNECTED;
    return m_owner.CheckTransform(m_input.ConnectionType(), type);
}

std::vector<MediaType> TransformOutputPin::OfferedTypes() {
    if (!m_input.IsConnected()) return {};
    return m_owner.OutputTypes();
}

HRESULT TransformOutputPin::CompleteConnect(IPin* peer) {
    const HRESULT hr = PassThroughOutputPin::CompleteConnect(peer);
    if (FAILED(hr)) return hr;
    const HRESULT ours = m_owner.OnOutputConnected();
    if (FAILED(ours)) PassThroughOutputPin::BreakConnect();
    return ours;
}

void TransformOutputPin::BreakConnect() {
    m_owner.OnOutputDisconnected();
    PassThroughOutputPin::BreakConnect();
}

}  // namespace media
