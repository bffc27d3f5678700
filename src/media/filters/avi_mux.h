#pragma once

// The AVI multiplexer: takes compressed video and audio streams on its input pins and writes one
// AVI file through the file writer connected to its output pin ("AVI Out", MEDIATYPE_Stream /
// MEDIASUBTYPE_Avi, written through the peer's IStream). It starts with one free input pin
// ("Input 00") and offers one more each time one is connected; pins stay until the filter goes.
//
// Pause (the writer downstream is open by then) writes the header with one stream per connected
// input, in pin order. Preroll samples are not written. When every connected input has had its
// end of stream, the file is finished and the end of stream goes on to the writer; a Stop at any
// earlier moment finishes it too, so the file is a valid AVI with its index whenever the graph
// stops. A file with a video stream but no picture is never committed, so the writer keeps
// nothing of it. A write failure posts EC_ERRORABORT and refuses further samples.
//
// Whether the file is published is decided here, by the streams alone: it is committed (and so
// takes its name when the writer stops) only when every input reached its end, or the graph was
// stopped first, without a failure of this filter's own or one upstream (IUpstreamFailure). After
// a failure nothing is committed and the writer discards the file, whatever the graph does next.
//
// Seeking, for the graph's progress: the duration is the longest of the upstream streams', the
// current position the end time of what has been written.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/filters/avi_mux_session.h"
#include "media/graph/filter_base.h"
#include "media/graph/media_time_seeking.h"
#include "media/graph/pin_base.h"

namespace media {

class AviMux;

class AviMuxInputPin final : public InputPin {
public:
    AviMuxInputPin(AviMux& mux, std::u16string name);

    // Compressed video with an AVI FourCC, or audio with a WAVE format tag.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    HRESULT CompleteConnect(IPin* peer) override;
    // Streaming threads; several pins may receive at once.
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;

private:
    friend class AviMux;
    AviMux& m_mux;
    // Guarded by the multiplexer's m_muxLock.
    int m_stream = -1;  // the AVI stream this pin writes while active, -1 when it writes none
    bool m_ended = false;
};

class AviMuxOutputPin final : public OutputPin {
public:
    explicit AviMuxOutputPin(AviMux& mux);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    std::vector<MediaType> OfferedTypes() override;
    // The peer must be a byte sink (IStream); no sample is ever delivered to it.
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;

    // The peer's byte sink while connected. Changes only while the filter is stopped.
    [[nodiscard]] IStream* Sink() const { return m_sink.Get(); }

private:
    ComPtr<IStream> m_sink;
};

class AviMux final : public FilterBase,
                     public IConfigInterleaving,
                     public IPlayerProfile,
                     public MediaTimeSeeking {
public:
    AviMux();
    ~AviMux() override;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return FilterBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return FilterBase::AddRef(); }
    ULONG Release() override { return FilterBase::Release(); }

    // The output pin first, then the input pins in order. MT safe.
    std::vector<PinBase*> Pins() override;

    // IConfigInterleaving. Settings take effect when the filter next leaves Stopped. Defaults:
    // INTERLEAVE_CAPTURE, 1 s interleave, no preroll. FULL and CAPTURE both interleave streams
    // within the interleave time; NONE and NONE_BUFFERED write samples in arrival order. The
    // preroll is kept and reported only. MT safe.
    HRESULT put_Mode(InterleavingMode mode) override;
    HRESULT get_Mode(InterleavingMode* mode) override;
    // Either pointer may be null to keep that value; negative times are refused.
    HRESULT put_Interleaving(const REFERENCE_TIME* interleave, const REFERENCE_TIME* preroll) override;
    HRESULT get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) override;

    // IPlayerProfile: under any profile the file is one RIFF of AVI 1.0, its idx1 complete, with
    // no OpenDML continuation however large it grows (the players read none). Takes effect when
    // the filter next leaves Stopped. MT safe.
    HRESULT put_PlayerProfile(LONG profile) override;
    HRESULT get_PlayerProfile(LONG* profile) override;

    // IMediaSeeking: media time; nothing can be repositioned. MT safe.
    HRESULT GetCapabilities(DWORD* capabilities) override;
    // The longest duration the upstream pins report; 0 (and S_OK) when none knows.
    HRESULT GetDuration(LONGLONG* duration) override;
    // The largest end time of the samples written since the filter last left Stopped.
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    // From 0 to what has been written.
    HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;

protected:
    void* FindExtraInterface(REFIID riid) override;
    // Writes the header; VFW_E_NOT_CONNECTED without a writer or without a connected input.
    HRESULT OnActivate() override;
    // Finishes the file if its inputs have not all ended yet, and commits it if it holds a
    // picture: a stop before the first one leaves whatever had the file's name as it was.
    void OnDeactivate() override;

private:
    friend class AviMuxInputPin;

    // An input was connected: keep one free input pin at the end. Application thread.
    void OnInputConnected();
    HRESULT WriteSample(AviMuxInputPin& pin, IMediaSample* sample);
    HRESULT EndInput(AviMuxInputPin& pin);
    void NotePosition(IMediaSample* sample);
    // Whether this run failed, here or upstream of an input that writes a stream. m_muxLock held.
    [[nodiscard]] bool StreamFailedLocked() const;

    std::unique_ptr<AviMuxOutputPin> m_output;
    // Grows under m_objectLock (application thread, stopped) and never shrinks; read under
    // m_muxLock or m_objectLock.
    std::vector<std::unique_ptr<AviMuxInputPin>> m_inputs;

    std::atomic<InterleavingMode> m_mode{INTERLEAVE_CAPTURE};
    std::atomic<REFERENCE_TIME> m_interleave{10'000'000};
    std::atomic<REFERENCE_TIME> m_preroll{0};
    std::atomic<LONG> m_player{PlayerProfile_None};
    std::atomic<REFERENCE_TIME> m_written{0};

    std::mutex m_muxLock;  // guards the session, the pins' stream state and m_failure
    std::unique_ptr<AviMuxSession> m_session;
    HRESULT m_failure = S_OK;
};

}  // namespace media
