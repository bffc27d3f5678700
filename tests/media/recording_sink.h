#pragma once

// A sink filter for tests: one input pin "Input" that takes any type of one major type (or of any
// major type) and records every sample, flush, segment and end of stream that reaches it. It can
// be made slow, or made to refuse samples after a number of them, to stand for a downstream
// filter that lags or fails.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "media/graph/filter_base.h"
#include "media/graph/pin_base.h"

namespace mediatest {

struct RecordedSample {
    bool hasTime = false;
    bool hasStop = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool syncPoint = false;
    bool discontinuity = false;
    bool preroll = false;
    long size = 0;
};

class RecordingSink final : public media::FilterBase {
public:
    // acceptedMajorType GUID_NULL takes every type. Transfer full: release with Release().
    static RecordingSink* Create(const GUID& acceptedMajorType = GUID_NULL) {
        return new RecordingSink(acceptedMajorType);
    }

    std::vector<media::PinBase*> Pins() override { return {&m_input}; }
    // No reference added.
    [[nodiscard]] IPin* Input() { return &m_input; }
    [[nodiscard]] const media::MediaType& ConnectionType() const { return m_input.ConnectionType(); }

    // Settings; set them before streaming starts.
    void KeepPayload(bool keep) { m_keepPayload = keep; }
    void DelayEachSample(std::chrono::microseconds delay) { m_delay = delay; }
    // Receive answers failure from the (n+1)-th sample on.
    void FailAfter(std::size_t samples, HRESULT failure = E_FAIL) {
        m_failAfter = samples;
        m_failure = failure;
    }

    // Snapshots, MT safe.
    [[nodiscard]] std::vector<RecordedSample> Samples() const {
        std::lock_guard lock(m_lock);
        return m_samples;
    }
    [[nodiscard]] std::vector<std::uint8_t> Payload() const {
        std::lock_guard lock(m_lock);
        return m_payload;
    }
    [[nodiscard]] int EndOfStreamCount() const {
        std::lock_guard lock(m_lock);
        return m_endOfStreams;
    }
    [[nodiscard]] int BeginFlushCount() const {
        std::lock_guard lock(m_lock);
        return m_beginFlushes;
    }
    [[nodiscard]] int EndFlushCount() const {
        std::lock_guard lock(m_lock);
        return m_endFlushes;
    }
    [[nodiscard]] std::vector<REFERENCE_TIME> SegmentStarts() const {
        std::lock_guard lock(m_lock);
        return m_segmentStarts;
    }
    // Forgets what was recorded so far.
    void Clear() {
        std::lock_guard lock(m_lock);
        m_samples.clear();
        m_payload.clear();
        m_endOfStreams = 0;
    }

    // Waits until end of stream arrived, or the timeout passed.
    [[nodiscard]] bool WaitForEndOfStream(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, timeout, [this] { return m_endOfStreams > 0; });
    }
    // Waits until at least count samples arrived, or the timeout passed.
    [[nodiscard]] bool WaitForSamples(std::size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return m_samples.size() >= count; });
    }

private:
    class Pin final : public media::InputPin {
    public:
        Pin(RecordingSink& sink) : InputPin(sink, u"Input"), m_sink(sink) {}
        HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override {
            return m_sink.m_accepted == GUID_NULL || type.majortype == m_sink.m_accepted
                       ? S_OK
                       : VFW_E_TYPE_NOT_ACCEPTED;
        }
        HRESULT Receive(IMediaSample* sample) override {
            if (!IsAccepting()) return VFW_E_WRONG_STATE;
            return m_sink.Record(*sample);
        }
        HRESULT EndOfStream() override { return m_sink.Count(m_sink.m_endOfStreams); }
        HRESULT BeginFlush() override {
            InputPin::BeginFlush();
            return m_sink.Count(m_sink.m_beginFlushes);
        }
        HRESULT EndFlush() override {
            InputPin::EndFlush();
            return m_sink.Count(m_sink.m_endFlushes);
        }
        HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME, double) override {
            std::lock_guard lock(m_sink.m_lock);
            m_sink.m_segmentStarts.push_back(start);
            return S_OK;
        }

    private:
        RecordingSink& m_sink;
    };

    explicit RecordingSink(const GUID& accepted)
        : FilterBase(GUID_NULL), m_accepted(accepted), m_input(*this) {}

    HRESULT Record(IMediaSample& sample) {
        if (m_delay.count() > 0) std::this_thread::sleep_for(m_delay);
        RecordedSample record;
        REFERENCE_TIME start = 0;
        REFERENCE_TIME stop = 0;
        const HRESULT timed = sample.GetTime(&start, &stop);
        record.hasTime = SUCCEEDED(timed);
        record.hasStop = timed == S_OK;
        record.start = start;
        record.stop = stop;
        record.syncPoint = sample.IsSyncPoint() == S_OK;
        record.discontinuity = sample.IsDiscontinuity() == S_OK;
        record.preroll = sample.IsPreroll() == S_OK;
        record.size = sample.GetActualDataLength();
        std::lock_guard lock(m_lock);
        if (m_samples.size() >= m_failAfter) return m_failure;
        if (m_keepPayload) {
            BYTE* data = nullptr;
            sample.GetPointer(&data);
            m_payload.insert(m_payload.end(), data, data + record.size);
        }
        m_samples.push_back(record);
        m_changed.notify_all();
        return S_OK;
    }

    HRESULT Count(int& counter) {
        std::lock_guard lock(m_lock);
        ++counter;
        m_changed.notify_all();
        return S_OK;
    }

    const GUID m_accepted;
    Pin m_input;
    bool m_keepPayload = false;
    std::chrono::microseconds m_delay{0};
    std::size_t m_failAfter = static_cast<std::size_t>(-1);
    HRESULT m_failure = E_FAIL;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<RecordedSample> m_samples;
    std::vector<std::uint8_t> m_payload;
    int m_endOfStreams = 0;
    int m_beginFlushes = 0;
    int m_endFlushes = 0;
    std::vector<REFERENCE_TIME> m_segmentStarts;
};

}  // namespace mediatest
