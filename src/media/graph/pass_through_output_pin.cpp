#include "media/graph/pass_through_output_pin.h"

namespace media {

PassThroughOutputPin::PassThroughOutputPin(FilterBase& filter, std::u16string name, InputPin& upstreamOf)
    : OutputPin(filter, std::move(name)), m_upstreamOf(upstreamOf) {}

void* PassThroughOutputPin::FindExtraInterface(REFIID riid) {
    if (riid == IMediaSeeking::iid) return static_cast<IMediaSeeking*>(this);
    return OutputPin::FindExtraInterface(riid);
}

}  // namespace media
