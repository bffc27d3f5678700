#pragma once

// The pin pair of a one-in-one-out filter: an input pin "Input" and an output pin "Output" whose
// seeking questions travel upstream. The pins negotiate through their filter's answers and pass
// every streaming call on to it; what the output may carry depends on what the input carries.
// Both the synchronous transform filters and the compressor (which queues) use them.

#include <vector>

#include "media/graph/pass_through_output_pin.h"
#include "media/graph/pin_base.h"

namespace media {

// What the pins ask of their filter. Negotiation calls come on the application's thread while the
// filter is stopped; the Receive calls on the thread that delivers to the input.
class TransformPinOwner {
public:
    // Whether the input may take type: S_OK or a failure code.
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE& type) = 0;
    // The input was connected with its ConnectionType(); a failure refuses the connection.
    virtual HRESULT OnInputConnected() { return S_OK; }
    virtual void OnInputDisconnected() {}
    // What the output offers, most preferred first. Called only while the input is connected.
    virtual std::vector<MediaType> OutputTypes() = 0;
    // Whether the output may carry output while the input carries input.
    virtual HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) = 0;
    // The output was connected with its ConnectionType(); a failure refuses the connection.
    virtual HRESULT OnOutputConnected() { return S_OK; }
    virtual void OnOutputDisconnected() {}

    // The input's streaming calls, as they arrive. For a flush the filter also does the input
    // pin's own part (InputPin::BeginFlush, InputPin::EndFlush), in the order its streaming needs.
    virtual HRESULT ReceiveSample(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveEndOfStream() = 0;
    virtual HRESULT ReceiveBeginFlush() = 0;
    virtual HRESULT ReceiveEndFlush() = 0;
    virtual HRESULT ReceiveNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
    // Whether ReceiveSample may block (a bounded queue before a thread of the filter's own).
    [[nodiscard]] virtual bool ReceiveCanBlock() const { return false; }

protected:
    ~TransformPinOwner() = default;
};

class TransformInputPin final : public InputPin {
public:
    TransformInputPin(FilterBase& filter, TransformPinOwner& owner);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    TransformPinOwner& m_owner;
};

class TransformOutputPin final : public PassThroughOutputPin {
public:
    // input is the pair's input pin, which must outlive this one.
    TransformOutputPin(FilterBase& filter, TransformPinOwner& owner, InputPin& input);

    // Refuses every type (VFW_E_NOT_CONNECTED) and offers none while the input is not connected.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OfferedTypes() override;
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;

private:
    TransformPinOwner& m_owner;
    InputPin& m_input;
};

}  // namespace media
