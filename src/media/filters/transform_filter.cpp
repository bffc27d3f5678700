#include "media/filters/transform_filter.h"

namespace media {

TransformFilter::TransformFilter(const CLSID& clsid)
    : FilterBase(clsid), m_input(*this, *this), m_output(*this, *this, m_input) {}

std::vector<PinBase*> TransformFilter::Pins() {
    return {&m_input, &m_output};
}

InputPin& TransformFilter::Input() {
    return m_input;
}
OutputPin& TransformFilter::Output() {
    return m_output;
}

const MediaType& TransformFilter::InputType() const {
    return m_input.ConnectionType();
}
const MediaType& TransformFilter::OutputType() const {
    return m_output.ConnectionType();
}

HRESULT TransformFilter::OnActivate() {
    std::lock_guard lock(m_streamLock);
    ResetStreamMarks();
    return StartStreaming();
}

void TransformFilter::OnDeactivate() {
    // Waits for a sample in flight: the state is already Stopped, so none starts after it.
    std::lock_guard lock(m_streamLock);
    StopStreaming();
}

void TransformFilter::ResetStreamMarks() {
    m_endOfStreamSent = false;
    m_endOfStreamSeen = false;
    m_failure = S_OK;
}

HRESULT TransformFilter::DeliverOutput(IMediaSample* sample) {
    if (!m_output.IsConnected()) return S_OK;
    return m_output.Deliver(sample);
}

HRESULT TransformFilter::DeliverEndOfStreamOnce() {
    if (m_endOfStreamSent) return S_OK;
    m_endOfStreamSent = true;
    if (!m_output.IsConnected()) return S_OK;
    return m_output.DeliverEndOfStream();
}

HRESULT TransformFilter::AbortStreaming(HRESULT hr) {
    if (SUCCEEDED(m_failure)) {
        m_failure = hr;
        AbortStream(hr, &m_input);
    }
    return hr;
}

HRESULT TransformFilter::ReceiveSample(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    std::lock_guard lock(m_streamLock);
    // Checked under the lock: a stop that already ran has freed what Transform would use.
    if (!m_input.IsAccepting() || m_endOfStreamSeen) return VFW_E_WRONG_STATE;
    if (FAILED(m_failure)) return m_failure;
    return Transform(sample);
}

HRESULT TransformFilter::ReceiveEndOfStream() {
    std::lock_guard lock(m_streamLock);
    if (!IsActive()) return VFW_E_WRONG_STATE;
    if (!m_input.IsAccepting()) return S_FALSE;  // flushing: the end belongs to the discarded data
    if (m_endOfStreamSeen) return S_OK;
    m_endOfStreamSeen = true;
    // After a failure nothing more is produced, but downstream still learns where the stream ends.
    if (SUCCEEDED(m_failure)) {
        const HRESULT hr = Drain();
        if (FAILED(hr)) AbortStreaming(hr);
    }
    return DeliverEndOfStreamOnce();
}

HRESULT TransformFilter::ReceiveBeginFlush() {
    // Not under the streaming lock: a Receive may be blocked downstream until the flush gets there.
    m_input.InputPin::BeginFlush();
    return m_output.IsConnected() ? m_output.DeliverBeginFlush() : S_OK;
}

HRESULT TransformFilter::ReceiveEndFlush() {
    {
        std::lock_guard lock(m_streamLock);
        Flush();
        ResetStreamMarks();
        m_input.InputPin::EndFlush();
    }
    return m_output.IsConnected() ? m_output.DeliverEndFlush() : S_OK;
}

HRESULT TransformFilter::ReceiveNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* downstream = m_output.Peer();
    return downstream ? downstream->NewSegment(start, stop, rate) : S_OK;
}

}  // namespace media
