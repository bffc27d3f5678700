#include "media/graph/graph_seeking.h"

#include <algorithm>
#include <optional>

#include "media/graph/graph_topology.h"

namespace media {
namespace {

enum class Pick { Smallest, Largest };

// One of the sinks' answers to ask, as pick says; nothing when none of them answers.
std::optional<LONGLONG> Combine(const std::vector<ComPtr<IMediaSeeking>>& sinks,
                                HRESULT (IMediaSeeking::*ask)(LONGLONG*), Pick pick) {
    std::optional<LONGLONG> combined;
    for (auto& s : sinks) {
        LONGLONG value = 0;
        if (FAILED((s.Get()->*ask)(&value))) continue;
        if (!combined) {
            combined = value;
        } else {
            combined = pick == Pick::Largest ? std::max(*combined, value) : std::min(*combined, value);
        }
    }
    return combined;
}

}  // namespace

GraphSeeking::GraphSeeking(const GraphMembers& members, GraphState& state)
    : m_members(members), m_state(state) {}

std::vector<ComPtr<IMediaSeeking>> GraphSeeking::Sinks() const {
    std::vector<ComPtr<IMediaSeeking>> sinks;
    for (auto& m : m_members) {
        ComPtr<IMediaSeeking> seeking = m.filter.As<IMediaSeeking>();
        if (seeking) sinks.push_back(seeking);
    }
    return sinks;
}

std::vector<ComPtr<IMediaSeeking>> GraphSeeking::SinksOnePerSource() const {
    std::vector<ComPtr<IMediaSeeking>> sinks;
    std::vector<IBaseFilter*> sources;
    for (auto& m : m_members) {
        ComPtr<IMediaSeeking> seeking = m.filter.As<IMediaSeeking>();
        if (!seeking) continue;
        IBaseFilter* source = SourceOf(m.filter.Get());
        if (std::find(sources.begin(), sources.end(), source) != sources.end()) continue;
        sources.push_back(source);
        sinks.push_back(seeking);
    }
    return sinks;
}

HRESULT GraphSeeking::GetCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    const auto sinks = Sinks();
    if (sinks.empty()) return E_NOTIMPL;
    DWORD all = ~DWORD{0};
    for (auto& s : sinks) {
        DWORD c = 0;
        if (FAILED(s->GetCapabilities(&c))) c = 0;
        all &= c;
    }
    *capabilities = all;
    return S_OK;
}

HRESULT GraphSeeking::GetDuration(LONGLONG* duration) {
    if (duration == nullptr) return E_POINTER;
    const std::optional<LONGLONG> longest = Combine(Sinks(), &IMediaSeeking::GetDuration, Pick::Largest);
    if (!longest) return E_NOTIMPL;
    *duration = *longest;
    return S_OK;
}

HRESULT GraphSeeking::GetStopPosition(LONGLONG* stop) {
    if (stop == nullptr) return E_POINTER;
    const std::optional<LONGLONG> latest = Combine(Sinks(), &IMediaSeeking::GetStopPosition, Pick::Largest);
    if (!latest) return GetDuration(stop);
    *stop = *latest;
    return S_OK;
}

HRESULT GraphSeeking::GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    const std::optional<LONGLONG> earliest =
        Combine(Sinks(), &IMediaSeeking::GetCurrentPosition, Pick::Smallest);
    if (!earliest) return E_NOTIMPL;
    *current = *earliest;
    return S_OK;
}

HRESULT GraphSeeking::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    const auto sinks = SinksOnePerSource();
    if (sinks.empty()) return E_NOTIMPL;
    const auto setEach = [&] {
        HRESULT result = S_OK;
        for (auto& s : sinks) {
            const HRESULT hr = s->SetPositions(current, currentFlags, stop, stopFlags);
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
        return result;
    };
    const bool moves = (currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning;
    return moves ? m_state.Reposition(setEach) : setEach();
}

}  // namespace media
