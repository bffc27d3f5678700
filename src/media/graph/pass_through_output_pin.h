#pragma once

// An output pin whose seeking interface passes every call to whatever feeds one of its filter's
// input pins, so that a question about duration or position travels up to the splitter.

#include "media/graph/pin_base.h"
#include "media/graph/upstream_seeking.h"

namespace media {

class PassThroughOutputPin : public OutputPin, public UpstreamSeeking {
public:
    PassThroughOutputPin(FilterBase& filter, std::u16string name, InputPin& upstreamOf);

    HRESULT QueryInterface(REFIID riid, void** object) override { return OutputPin::QueryInterface(riid, object); }
    ULONG AddRef() override { return OutputPin::AddRef(); }
    ULONG Release() override { return OutputPin::Release(); }

protected:
    void* FindExtraInterface(REFIID riid) override;
    IPin* UpstreamPeer() const override { return m_upstreamOf.Peer(); }

private:
    InputPin& m_upstreamOf;
};

}  // namespace media
