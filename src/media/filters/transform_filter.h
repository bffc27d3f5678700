#pragma once

// The shape shared by the synchronous one-in-one-out filters (decoders, colour converter, sample
// grabber): the transform pin pair (transform_pins.h) and a streaming path that runs entirely on
// the caller's thread. The filter has no thread of its
// own: whoever calls Receive (the splitter's thread) does the work and the delivery downstream.
//
// Streaming calls (Receive, EndOfStream, EndFlush) and the state changes that touch streaming
// resources (activation, deactivation) are serialised by one streaming lock, so that a stop never
// frees what a sample in flight still uses. BeginFlush does not take it: it must reach downstream
// while a Receive may be blocked there.

#include <atomic>
#include <mutex>
#include <vector>

#include "media/filters/transform_pins.h"
#include "media/graph/filter_base.h"
#include "media/graph/pin_base.h"

namespace media {

class TransformFilter : public FilterBase, protected TransformPinOwner {
public:
    explicit TransformFilter(const CLSID& clsid);

    std::vector<PinBase*> Pins() override;

    [[nodiscard]] InputPin& Input();
    [[nodiscard]] OutputPin& Output();

protected:
    // Negotiation (application thread, filter stopped): subclasses answer TransformPinOwner's
    // CheckInputType, OutputTypes and CheckTransform, and may hook the connections.

    // --- streaming (streaming thread, streaming lock held) ---

    // Turns one input sample into zero or more output samples, each passed to DeliverOutput.
    // S_OK to go on; S_FALSE when downstream wants no more; a failure stops the stream.
    virtual HRESULT Transform(IMediaSample* sample) = 0;
    // End of stream arrived: deliver whatever is still held back. End of stream follows.
    virtual HRESULT Drain() { return S_OK; }
    // A flush ended: forget everything held back.
    virtual void Flush() {}
    // Stopped -> Paused, and Paused -> Stopped (application thread, streaming lock held).
    virtual HRESULT StartStreaming() { return S_OK; }
    virtual void StopStreaming() {}

    // Passes sample to the downstream input pin; a sample with nowhere to go is dropped (S_OK).
    // Streaming lock held.
    HRESULT DeliverOutput(IMediaSample* sample);
    // Passes end of stream downstream once; later calls (including the one from the input's own
    // end of stream) do nothing. Streaming lock held.
    HRESULT DeliverEndOfStreamOnce();
    // Reports a streaming error (EC_ERRORABORT) to the graph; later samples are refused with hr
    // until the filter is stopped or flushed. Returns hr. Streaming lock held.
    HRESULT AbortStreaming(HRESULT hr);

    // The connection types. Valid while the pin is connected.
    [[nodiscard]] const MediaType& InputType() const;
    [[nodiscard]] const MediaType& OutputType() const;

private:
    HRESULT OnActivate() final;
    void OnDeactivate() final;

    HRESULT ReceiveSample(IMediaSample* sample) override;
    HRESULT ReceiveEndOfStream() override;
    HRESULT ReceiveBeginFlush() override;
    HRESULT ReceiveEndFlush() override;
    // Passed on downstream: renderers time samples from the segment's start.
    HRESULT ReceiveNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // Clears the end-of-stream and failure marks of the previous run or segment.
    void ResetStreamMarks();

    TransformInputPin m_input;
    TransformOutputPin m_output;

    std::mutex m_streamLock;
    bool m_endOfStreamSent = false;  // guarded by m_streamLock
    bool m_endOfStreamSeen = false;  // guarded by m_streamLock
    HRESULT m_failure = S_OK;        // guarded by m_streamLock
};

}  // namespace media
