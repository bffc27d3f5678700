#include "media/graph/graph_event_queue.h"

#include <chrono>
#include <vector>

#include "media/com/com_ptr.h"

namespace media {
namespace {

bool IsErrorEnd(LONG code) {
    return code == EC_ERRORABORT || code == EC_STREAM_ERROR_STOPPED;
}

}  // namespace

GraphEventQueue::~GraphEventQueue() {
    for (const Event& e : m_events) FreeParams(e.code, e.param1, e.param2);
}

IPin* GraphEventQueue::NamedPin(LONG code, LONG_PTR param2) {
    return code == EC_ERRORABORT ? reinterpret_cast<IPin*>(param2) : nullptr;
}

void GraphEventQueue::FreeParams(LONG code, LONG_PTR, LONG_PTR param2) {
    // Adopted and let go: the reference GetEvent handed out.
    (void)ComPtr<IPin>::Adopt(NamedPin(code, param2));
}

void GraphEventQueue::DropEventsNaming(const std::function<bool(IPin*)>& names) {
    std::deque<Event> queued;
    {
        std::lock_guard lock(m_lock);
        queued.swap(m_events);
    }
    // The test may query the pins, and a release may delete a filter: neither under the lock.
    std::vector<Event> kept;
    std::vector<Event> dropped;
    for (const Event& e : queued) {
        IPin* pin = NamedPin(e.code, e.param2);
        (pin != nullptr && names(pin) ? dropped : kept).push_back(e);
    }
    {
        std::lock_guard lock(m_lock);
        // Events posted meanwhile follow the ones that were queued before them.
        m_events.insert(m_events.begin(), kept.begin(), kept.end());
    }
    for (const Event& e : dropped) FreeParams(e.code, e.param1, e.param2);
}

void GraphEventQueue::RestartCompletion(std::size_t renderers, bool keepErrorEnd) {
    std::lock_guard lock(m_lock);
    if (!(keepErrorEnd && m_terminalEvent && IsErrorEnd(*m_terminalEvent))) m_terminalEvent.reset();
    m_completedRenderers.clear();
    m_renderers = renderers;
}

HRESULT GraphEventQueue::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) {
    if (code == nullptr || param1 == nullptr || param2 == nullptr) return E_POINTER;
    std::unique_lock lock(m_lock);
    auto hasEvent = [&] { return !m_events.empty(); };
    if (timeoutMs < 0) {
        m_posted.wait(lock, hasEvent);
    } else if (!m_posted.wait_for(lock, std::chrono::milliseconds(timeoutMs), hasEvent)) {
        *code = 0;
        *param1 = *param2 = 0;
        return E_ABORT;
    }
    const Event e = m_events.front();
    m_events.pop_front();
    *code = e.code;
    *param1 = e.param1;
    *param2 = e.param2;
    return S_OK;
}

HRESULT GraphEventQueue::WaitForCompletion(LONG timeoutMs, LONG* code, bool graphStopped) {
    if (code == nullptr) return E_POINTER;
    *code = 0;
    std::unique_lock lock(m_lock);
    auto ended = [&] { return m_terminalEvent.has_value(); };
    if (!ended() && graphStopped) return VFW_E_WRONG_STATE;
    if (timeoutMs < 0) {
        m_posted.wait(lock, ended);
    } else if (!m_posted.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended)) {
        return E_ABORT;
    }
    *code = *m_terminalEvent;
    return S_OK;
}

void GraphEventQueue::Post(const Event& event) {
    m_events.push_back(event);
    if (event.code == EC_COMPLETE || event.code == EC_ERRORABORT || event.code == EC_USERABORT ||
        event.code == EC_STREAM_ERROR_STOPPED) {
        if (!m_terminalEvent) m_terminalEvent = event.code;
    }
    m_posted.notify_all();
}

HRESULT GraphEventQueue::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    // A reference for the event: the queue's while queued, then GetEvent's caller's.
    (void)ComPtr<IPin>(NamedPin(code, param2)).Detach();
    std::lock_guard lock(m_lock);
    if (code == EC_COMPLETE && param2 != 0) {
        // A renderer finished; the graph is complete when all of them have.
        m_completedRenderers.insert(param2);
        if (m_completedRenderers.size() == m_renderers) Post({EC_COMPLETE, S_OK, 0});
        return S_OK;
    }
    Post({code, param1, param2});
    return S_OK;
}

}  // namespace media
