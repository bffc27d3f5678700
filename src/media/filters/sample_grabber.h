#pragma once

// The sample grabber: a type gate that passes samples on unchanged. Its input accepts only the
// type set with SetMediaType (major type; subtype and format type when set), so that intelligent
// connect has to build whatever chain delivers that type. Optionally it keeps a copy of the last
// sample, calls back for each sample, or stops after the first one.

#include <mutex>
#include <vector>

#include "media/filters/transform_filter.h"

namespace media {

class SampleGrabber final : public TransformFilter, public ISampleGrabber {
public:
    SampleGrabber();

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return TransformFilter::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return TransformFilter::AddRef(); }
    ULONG Release() override { return TransformFilter::Release(); }

    // ISampleGrabber. MT safe; the settings apply from the next sample (SetMediaType: from the
    // next connection).
    HRESULT SetOneShot(BOOL oneShot) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT SetBufferSamples(BOOL buffer) override;
    HRESULT GetCurrentBuffer(LONG* size, LONG* buffer) override;
    HRESULT GetCurrentSample(IMediaSample** sample) override;
    // The grabber holds a reference on callback until it is replaced or the grabber goes.
    HRESULT SetCallback(ISampleGrabberCB* callback, LONG whichMethod) override;

protected:
    void* FindExtraInterface(REFIID riid) override;

    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OutputTypes() override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override;
    HRESULT Transform(IMediaSample* sample) override;
    HRESULT StartStreaming() override;

private:
    // Keeps a copy of sample's data when buffering is on.
    void BufferSample(IMediaSample& sample);
    // Hands sample to the callback, if one is set.
    void CallBack(IMediaSample& sample);

    std::mutex m_settingsLock;
    MediaType m_acceptedType;             // major, sub and format type only; guarded
    bool m_oneShot = false;               // guarded
    bool m_bufferSamples = false;         // guarded
    std::vector<BYTE> m_lastSample;       // guarded
    bool m_haveSample = false;            // guarded
    ComPtr<ISampleGrabberCB> m_callback;  // guarded
    LONG m_callbackMethod = 0;            // guarded: 0 SampleCB, 1 BufferCB
    std::vector<BYTE> m_callbackCopy;     // streaming thread only: what BufferCB gets
    bool m_shotTaken = false;             // streaming lock
};

}  // namespace media
