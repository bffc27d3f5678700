#pragma once

// A bounded multi-producer queue between two streaming threads. Close() wakes every waiter:
// pushes fail from then on and pops drain what is left, then fail.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace media {

template <class T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity) : m_capacity(capacity) {}

    // Blocks while full. False when the queue was closed (item dropped).
    bool Push(T item) {
        std::unique_lock lock(m_lock);
        m_notFull.wait(lock, [&] { return m_closed || m_items.size() < m_capacity; });
        if (m_closed) return false;
        m_items.push_back(std::move(item));
        m_notEmpty.notify_one();
        return true;
    }

    // Blocks while empty. Nothing once the queue is closed and drained.
    std::optional<T> Pop() {
        std::unique_lock lock(m_lock);
        m_notEmpty.wait(lock, [&] { return m_closed || !m_items.empty(); });
        if (m_items.empty()) return std::nullopt;
        T item = std::move(m_items.front());
        m_items.pop_front();
        m_notFull.notify_one();
        return item;
    }

    void Close() {
        std::lock_guard lock(m_lock);
        m_closed = true;
        m_notFull.notify_all();
        m_notEmpty.notify_all();
    }

    // Drops every item and opens the queue again.
    void Reset() {
        std::lock_guard lock(m_lock);
        m_items.clear();
        m_closed = false;
    }

    void Clear() {
        std::lock_guard lock(m_lock);
        m_items.clear();
        m_notFull.notify_all();
    }

private:
    const std::size_t m_capacity;
    std::mutex m_lock;
    std::condition_variable m_notFull;
    std::condition_variable m_notEmpty;
    std::deque<T> m_items;
    bool m_closed = false;
};

}  // namespace media
