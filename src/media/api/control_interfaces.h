#pragma once

// The application's control of a graph: its state, seeking and events.
// Unless said otherwise, an interface pointer returned through an out-parameter carries a new
// reference that the caller owns (transfer full), and one passed in is borrowed.

#include "media/api/filter_interfaces.h"

using OAFilterState = LONG;

// The graph's state, for the application. Application thread only.
struct IMediaControl : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // Runs every filter (pausing first from Stopped) once the renderers hold their first samples,
    // or a bounded wait has passed. Application thread.
    virtual HRESULT Run() = 0;
    // Pauses every filter; from Stopped the streams start and the renderers pre-roll. Application
    // thread.
    virtual HRESULT Pause() = 0;
    // Stops every filter; every streaming thread has been joined when it returns. Application
    // thread.
    virtual HRESULT Stop() = 0;
    // The graph's state; while paused, waits up to timeoutMs for the filters to finish the change
    // (VFW_S_STATE_INTERMEDIATE when they have not). Application thread.
    virtual HRESULT GetState(LONG timeoutMs, OAFilterState* state) = 0;
    // As Stop. Application thread.
    virtual HRESULT StopWhenReady() = 0;
};

inline constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
inline constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
inline constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
inline constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
inline constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
inline constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
inline constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
inline constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
inline constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
inline constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;

// Duration and position, in media time (100-ns units), the one time format spoken here. The
// graph's answers come from its sinks. Every method: application thread on the graph, MT safe on
// a filter or pin. Nothing handed out is owned: all are values.
struct IMediaSeeking : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
    // The AM_SEEKING_Can... flags of what the object can do.
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    // Keeps the asked flags that the object has: S_OK with all, S_FALSE with some, E_FAIL none.
    virtual HRESULT CheckCapabilities(DWORD* capabilities) = 0;
    // S_OK for TIME_FORMAT_MEDIA_TIME, S_FALSE for any other format.
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    // TIME_FORMAT_MEDIA_TIME.
    virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
    // TIME_FORMAT_MEDIA_TIME.
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    // As IsFormatSupported: media time is always the format in use.
    virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
    // Accepts media time only; E_INVALIDARG for any other format.
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    // How long the media is.
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    // Where the streams stop; the duration unless told otherwise.
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    // Where the streams stand now: shown by a renderer, written by the multiplexer, read by the
    // splitter.
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    // Media time to media time (a null format is the one in use); E_INVALIDARG for others.
    virtual HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                      const GUID* sourceFormat) = 0;
    // Moves the current position (AM_SEEKING_...Positioning flags); E_NOTIMPL where nothing moves.
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    // The current and stop positions; either pointer may be null to leave it out.
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
    // The range that can be reached now: from 0 to the duration, or to what has been written.
    virtual HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) = 0;
    // 1.0 only; E_NOTIMPL for any other rate.
    virtual HRESULT SetRate(double rate) = 0;
    // 1.0.
    virtual HRESULT GetRate(double* rate) = 0;
    // 0: nothing is played ahead of the start.
    virtual HRESULT GetPreroll(LONGLONG* preroll) = 0;
};

// Event codes.
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
// A streaming error: param1 is the failure (HRESULT), param2 the pin whose stream failed (IPin*)
// or 0. The event holds a reference to the pin: GetEvent's caller owns it until FreeEventParams.
inline constexpr LONG EC_ERRORABORT = 0x03;
inline constexpr LONG EC_STREAM_ERROR_STOPPED = 0x06;
// A source closed up more than a second of its input's time that it could not place (a picture or
// sound claiming to last minutes, stamps that jump): param1 is how long, in 100-ns units; param2 0.
// Posted at the end of the stream; the graph goes on.
inline constexpr LONG EC_INPUT_TIME_SKIPPED = 0x8001;

// The graph's events, for the application; filters post them through IMediaEventSink.
struct IMediaEvent : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868B6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // E_NOTIMPL: there is no handle to wait on; GetEvent and WaitForCompletion wait themselves.
    virtual HRESULT GetEventHandle(LONG_PTR* handle) = 0;
    // Takes the next event off the queue, waiting up to timeoutMs (negative: no limit); E_ABORT
    // when none came within the timeout. MT safe.
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) = 0;
    // Waits until the running graph completed or aborted: S_OK with the event code, or E_ABORT
    // and code 0 when the timeout passed first; VFW_E_WRONG_STATE on a stopped graph that has not
    // ended. The events stay queued for GetEvent. Application thread.
    virtual HRESULT WaitForCompletion(LONG timeoutMs, LONG* code) = 0;
    // S_OK and nothing else: the graph handles no event on its own.
    virtual HRESULT CancelDefaultHandling(LONG code) = 0;
    // S_OK and nothing else, as CancelDefaultHandling.
    virtual HRESULT RestoreDefaultHandling(LONG code) = 0;
    // Releases what an event taken by GetEvent holds (EC_ERRORABORT's pin); S_OK. Every event
    // taken must be given here once. MT safe.
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};

inline constexpr LONG INFINITE_TIMEOUT = -1;

// Filters report events to the graph through this interface. MT safe.
struct IMediaEventSink : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868A2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};
