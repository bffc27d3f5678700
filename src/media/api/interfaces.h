#pragma once

// The interfaces of the filter-graph framework, with the ids and method sets of the original
// platform. Methods that this layer does not need answer E_NOTIMPL where they are implemented.
// Unless said otherwise, an interface pointer returned through an out-parameter carries a new
// reference that the caller owns (transfer full), and one passed in is borrowed.

#include "media/api/media_type.h"
#include "media/api/video_compression.h"
#include "media/api/unknown.h"

struct IBaseFilter;
struct IFilterGraph;
struct IPin;
struct IReferenceClock;
struct IMediaSample;
struct IMemAllocator;

enum FILTER_STATE : LONG { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : LONG { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr int MAX_PIN_NAME = 128;
inline constexpr int MAX_FILTER_NAME = 128;

struct PIN_INFO {
    IBaseFilter* pFilter;  // one reference owned by the caller
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph;  // one reference owned by the caller, or null
};

struct IPersist : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    // The class the object was created as. MT safe.
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IReferenceClock : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A86897, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // The clock's time in 100-ns units; it never goes backwards. MT safe.
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
};

// The state of a filter. The graph drives it from the application's thread: sinks first into
// Paused and Running, sources first into Stopped. The graph answers it too, for the application
// thread only.
struct IMediaFilter : IPersist {
    using Parent = IPersist;
    static constexpr IID iid = {0x56A86899, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // Stops streaming and joins every thread of the filter before it returns; later samples are
    // refused. Application thread.
    virtual HRESULT Stop() = 0;
    // From Stopped: allocates and starts streaming (a renderer then pre-rolls); from Running:
    // holds still. Application thread.
    virtual HRESULT Pause() = 0;
    // Runs with stream time 0 at start on the reference clock, pausing first from Stopped.
    // Application thread.
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    // The state; in Paused a renderer waits up to timeoutMs for its first sample and answers
    // VFW_S_STATE_INTERMEDIATE while it has none. MT safe.
    virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
    // The filter keeps a reference; null means no clock: it runs as fast as it can. Application
    // thread.
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    // The clock, or null; the caller owns the reference. MT safe.
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};

struct IEnumPins : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A86892, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumPins** clone) = 0;
};

// A filter: its pins and its place in a graph.
struct IBaseFilter : IMediaFilter {
    using Parent = IMediaFilter;
    static constexpr IID iid = {0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // An enumerator over the pins as they are now; the caller owns it. Application thread.
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    // The pin whose id (its name) is id; the caller owns the reference. Application thread.
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    // The name the graph gave and the graph; the caller owns the reference in pGraph. Application
    // thread.
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    // Called by the graph alone (null: the filter leaves it). The filter keeps graph without a
    // reference (the graph owns the filter). Application thread, filter stopped.
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
    // E_NOTIMPL.
    virtual HRESULT QueryVendorInfo(LPWSTR* vendorInfo) = 0;
};

struct IEnumMediaTypes : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x89C31040, 0x846B, 0x11CE, {0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
    // Each record comes from the task allocator; free it with DeleteMediaType.
    virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMediaTypes** clone) = 0;
};

// A pin of a filter. Its references are its filter's: a pin lives as long as its filter.
struct IPin : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // Output pins only: connects to receivePin on the first type that both accept and that
    // matches the (partial) type given; each pin holds the other until Disconnect. Application
    // thread, filter stopped.
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
    // Input pins only: called by the connecting output pin with the full type. Application
    // thread, filter stopped.
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    // Breaks this side of the connection only (the graph breaks both); S_FALSE when there is
    // none. Application thread, filter stopped.
    virtual HRESULT Disconnect() = 0;
    // The peer, VFW_E_NOT_CONNECTED without one; the caller owns the reference. Application
    // thread, or any thread while the filter is active (the connection cannot change then).
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    // Copies the connection's type into type; the caller owns the format block (FreeMediaType).
    // Threads as ConnectedTo.
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    // The pin's filter, direction and name; the caller owns the reference in pFilter. MT safe.
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    // MT safe.
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    // The pin's name, from the task allocator; the caller frees it (CoTaskMemFree). MT safe.
    virtual HRESULT QueryId(LPWSTR* id) = 0;
    // S_OK when the pin could connect with type now, else S_FALSE. Application thread.
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
    // An enumerator over the types the pin offers now, most preferred first; the caller owns it.
    // Application thread.
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
    // E_NOTIMPL: every input may feed every output.
    virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;
    // Input pins: no sample follows until the next flush or run; once what came before is done the
    // end goes on downstream (a renderer reports completion). The streaming thread that delivers
    // to the pin.
    virtual HRESULT EndOfStream() = 0;
    // Input pins: refuses samples from now on and passes the flush on downstream, without
    // waiting for a Receive that is blocked. The thread that repositions (the application's).
    virtual HRESULT BeginFlush() = 0;
    // Input pins: forgets what it held and takes samples again, after BeginFlush. The streaming
    // thread that delivers to the pin.
    virtual HRESULT EndFlush() = 0;
    // Input pins: the samples that follow are timed from start (a renderer shows start at stream
    // time 0). The streaming thread that delivers to the pin, before those samples.
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
};

struct IMediaSample : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A8689A, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual LONG GetSize() = 0;
    // S_OK with both times, VFW_S_NO_STOP_TIME with the start only, VFW_E_SAMPLE_TIME_NOT_SET.
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT IsSyncPoint() = 0;
    virtual HRESULT SetSyncPoint(BOOL sync) = 0;
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(BOOL preroll) = 0;
    virtual LONG GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(LONG length) = 0;
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
    virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
    virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
};

inline constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHresult(0x80040249);
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHresult(0x80040251);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHresult(0x8004020D);

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers;
    LONG cbBuffer;
    LONG cbAlign;
    LONG cbPrefix;
};

struct IMemInputPin : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A8689D, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
    // Delivers one sample. May block (S_OK from ReceiveCanBlock) while a bounded queue is full.
    // A failure tells the sender to stop streaming.
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
    virtual HRESULT ReceiveCanBlock() = 0;
};

struct IEnumFilters : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A86893, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** clone) = 0;
};

struct IFilterGraph : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Reconnect(IPin* pin) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;
};

struct IGraphBuilder : IFilterGraph {
    using Parent = IFilterGraph;
    static constexpr IID iid = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // Joins output to input, directly or through registered intermediate filters.
    virtual HRESULT Connect(IPin* output, IPin* input) = 0;
    virtual HRESULT Render(IPin* output) = 0;
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
    virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) = 0;
    virtual HRESULT SetLogFile(LONG_PTR file) = 0;
    virtual HRESULT Abort() = 0;
    virtual HRESULT ShouldOperationContinue() = 0;
};

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
// A streaming error: param1 is the failure (HRESULT), param2 the pin whose stream failed (IPin*,
// not counted: valid while the filter is in the graph) or 0.
inline constexpr LONG EC_ERRORABORT = 0x03;
inline constexpr LONG EC_STREAM_ERROR_STOPPED = 0x06;

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
    // S_OK: no event parameter here owns anything to free. MT safe.
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};

inline constexpr LONG INFINITE_TIMEOUT = -1;

// Filters report events to the graph through this interface. MT safe.
struct IMediaEventSink : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868A2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};

inline constexpr ULONG AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
inline constexpr ULONG AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;
// Our own flag: a renderer that holds each sample until its time on the reference clock. A
// delivery blocked on such a renderer returns only when the renderer flushes or stops, so the
// graph stops these renderers before their sources; sinks without the flag (a file writer) are
// stopped after them, so that they finish with whatever was in flight.
inline constexpr ULONG AM_FILTER_MISC_FLAGS_HOLDS_SAMPLES_FOR_CLOCK = 0x80000000;

// A filter in Paused that has not yet received what it needs to show its first sample answers
// GetState with this code (pre-roll still in progress).
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
// RenderFile and Render: some streams were rendered, the ones named were not.
inline constexpr HRESULT VFW_S_VIDEO_NOT_RENDERED = 0x00040257;
inline constexpr HRESULT VFW_S_AUDIO_NOT_RENDERED = 0x00040258;

struct IAMFilterMiscFlags : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x2DD74950, 0xA890, 0x11D1, {0xAB, 0xE8, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
    virtual ULONG GetMiscFlags() = 0;
};

struct IFileSourceFilter : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868A6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    virtual HRESULT Load(LPCOLESTR file, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* type) = 0;
};

struct IFileSinkFilter : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0xA2104830, 0x7C70, 0x11CF, {0x8B, 0xCE, 0x00, 0xAA, 0x00, 0xA3, 0xF1, 0xA6}};
    virtual HRESULT SetFileName(LPCOLESTR file, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* type) = 0;
};

// The file writer's mode. With AM_FILE_OVERWRITE (this writer's default) a finished file
// replaces whatever has its name; without it, a file that has the name, or takes it while the
// graph runs, is never replaced: the writer refuses to start, or discards its own file and
// reports HRESULT_FROM_WIN32(ERROR_FILE_EXISTS).
inline constexpr DWORD AM_FILE_OVERWRITE = 0x1;

struct IFileSinkFilter2 : IFileSinkFilter {
    using Parent = IFileSinkFilter;
    static constexpr IID iid = {0x00855B90, 0xCE1B, 0x11D0, {0xBD, 0x4F, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
    // VFW_E_NOT_STOPPED while the writer is active; E_INVALIDARG for unknown flags.
    virtual HRESULT SetMode(DWORD flags) = 0;
    virtual HRESULT GetMode(DWORD* flags) = 0;
};

// The byte stream of a file source's output pin, read at any position. MT safe.
struct IAsyncReader : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868AA, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // S_OK when length bytes were read, S_FALSE when the file ended first (the rest is zeroed).
    virtual HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) = 0;
    virtual HRESULT Length(LONGLONG* total, LONGLONG* available) = 0;
};

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// The seekable byte sink of a file writer's input pin.
struct IStream : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT Write(const void* buffer, ULONG size, ULONG* written) = 0;
    virtual HRESULT Seek(LONGLONG move, DWORD origin, LONGLONG* newPosition) = 0;
    virtual HRESULT SetSize(LONGLONG size) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;
};
inline constexpr DWORD STGC_DEFAULT = 0;

enum InterleavingMode : LONG {
    INTERLEAVE_NONE = 0,
    INTERLEAVE_CAPTURE = 1,
    INTERLEAVE_FULL = 2,
    INTERLEAVE_NONE_BUFFERED = 3,
};

struct IConfigInterleaving : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0xBEE3D220, 0x157B, 0x11D0, {0xBD, 0x23, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
    virtual HRESULT put_Mode(InterleavingMode mode) = 0;
    virtual HRESULT get_Mode(InterleavingMode* mode) = 0;
    virtual HRESULT put_Interleaving(const REFERENCE_TIME* interleave, const REFERENCE_TIME* preroll) = 0;
    virtual HRESULT get_Interleaving(REFERENCE_TIME* interleave, REFERENCE_TIME* preroll) = 0;
};

struct ISampleGrabberCB : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x0579154A, 0x2B53, 0x4994, {0xB0, 0xD0, 0xE7, 0x73, 0x14, 0x8E, 0xFF, 0x85}};
    virtual HRESULT SampleCB(double time, IMediaSample* sample) = 0;
    virtual HRESULT BufferCB(double time, BYTE* buffer, LONG length) = 0;
};

struct ISampleGrabber : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x6B652FFF, 0x11FE, 0x4FCE, {0x92, 0xAD, 0x02, 0x66, 0xB5, 0xD7, 0xC7, 0x8F}};
    virtual HRESULT SetOneShot(BOOL oneShot) = 0;
    // The input accepts only this major type, and this subtype when it is not GUID_NULL.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetBufferSamples(BOOL buffer) = 0;
    virtual HRESULT GetCurrentBuffer(LONG* size, LONG* buffer) = 0;
    virtual HRESULT GetCurrentSample(IMediaSample** sample) = 0;
    virtual HRESULT SetCallback(ISampleGrabberCB* callback, LONG whichMethod) = 0;
};

struct ICaptureGraphBuilder : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0xBF87B6E0, 0x8C27, 0x11D0, {0xB3, 0xF0, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
    virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
    virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
    // Adds a multiplexer for type (MEDIASUBTYPE_Avi) and a file writer for file to the graph,
    // connected, and returns both.
    virtual HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** mux,
                                      IFileSinkFilter** sink) = 0;
    virtual HRESULT FindInterface(const GUID* category, IBaseFilter* filter, REFIID riid, void** object) = 0;
    virtual HRESULT RenderStream(const GUID* category, IUnknown* source, IBaseFilter* compressor,
                                 IBaseFilter* renderer) = 0;
};

// Interface ids under their platform names.
// The video renderer's placement of its pictures inside an owner (a video surface, see
// video_surface.h). A graph answers E_NOINTERFACE when it holds no video renderer.
inline constexpr LONG WS_CHILD = 0x40000000;
inline constexpr LONG OATRUE = -1;
inline constexpr LONG OAFALSE = 0;

struct IVideoWindow : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A868B4, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // The owner is an OAHWND from VideoSurfaceHandle; 0 detaches the renderer from any surface.
    virtual HRESULT put_Owner(LONG_PTR owner) = 0;
    virtual HRESULT get_Owner(LONG_PTR* owner) = 0;
    virtual HRESULT put_WindowStyle(LONG style) = 0;
    virtual HRESULT get_WindowStyle(LONG* style) = 0;
    // Fails with VFW_E_NOT_CONNECTED before the renderer is connected, E_INVALIDARG for a
    // negative size.
    virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;
    virtual HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;
    virtual HRESULT put_Visible(LONG visible) = 0;  // OATRUE or OAFALSE
    virtual HRESULT get_Visible(LONG* visible) = 0;
};

// The video renderer's account of its pictures since it last left Stopped. Frame counts are
// pictures; times are milliseconds. MT safe.
struct IQualProp : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x1BD0ECB0, 0xF8E2, 0x11CE, {0xAA, 0xC6, 0x00, 0x20, 0xAF, 0x0B, 0x99, 0xA3}};
    // Pictures that came too late for their time and were never shown.
    virtual HRESULT get_FramesDroppedInRenderer(int* frames) = 0;
    // Pictures handed to the video surface (pre-roll pictures included).
    virtual HRESULT get_FramesDrawn(int* frames) = 0;
    // Pictures per second × 100 while running.
    virtual HRESULT get_AvgFrameRate(int* rate) = 0;
    // Standard deviation of the interval between shown pictures.
    virtual HRESULT get_Jitter(int* jitter) = 0;
    // Mean and standard deviation of (presentation time − the picture's time) over shown pictures.
    virtual HRESULT get_AvgSyncOffset(int* offset) = 0;
    virtual HRESULT get_DevSyncOffset(int* deviation) = 0;
};

// Opens a file and tells its streams: the ones the splitter would offer, audio and video.
struct IMediaDet : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x65BD0710, 0x24D2, 0x4FF7, {0x93, 0x24, 0xED, 0x2E, 0x5D, 0x3A, 0xBA, 0xFA}};
    // A negative result when the file can't be opened or holds no stream.
    virtual HRESULT put_Filename(BSTR fileName) = 0;
    virtual HRESULT get_Filename(BSTR* fileName) = 0;
    virtual HRESULT get_OutputStreams(LONG* count) = 0;
    virtual HRESULT get_CurrentStream(LONG* stream) = 0;
    virtual HRESULT put_CurrentStream(LONG stream) = 0;
    virtual HRESULT get_StreamType(GUID* majorType) = 0;
};

inline constexpr IID IID_IPersist = IPersist::iid;
inline constexpr IID IID_IMediaFilter = IMediaFilter::iid;
inline constexpr IID IID_IBaseFilter = IBaseFilter::iid;
inline constexpr IID IID_IPin = IPin::iid;
inline constexpr IID IID_IEnumPins = IEnumPins::iid;
inline constexpr IID IID_IEnumMediaTypes = IEnumMediaTypes::iid;
inline constexpr IID IID_IEnumFilters = IEnumFilters::iid;
inline constexpr IID IID_IMediaSample = IMediaSample::iid;
inline constexpr IID IID_IMemInputPin = IMemInputPin::iid;
inline constexpr IID IID_IFilterGraph = IFilterGraph::iid;
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::iid;
inline constexpr IID IID_IMediaControl = IMediaControl::iid;
inline constexpr IID IID_IMediaSeeking = IMediaSeeking::iid;
inline constexpr IID IID_IMediaEvent = IMediaEvent::iid;
inline constexpr IID IID_IMediaEventSink = IMediaEventSink::iid;
inline constexpr IID IID_IReferenceClock = IReferenceClock::iid;
inline constexpr IID IID_IAMFilterMiscFlags = IAMFilterMiscFlags::iid;
inline constexpr IID IID_IFileSourceFilter = IFileSourceFilter::iid;
inline constexpr IID IID_IFileSinkFilter = IFileSinkFilter::iid;
inline constexpr IID IID_IFileSinkFilter2 = IFileSinkFilter2::iid;
inline constexpr IID IID_IAsyncReader = IAsyncReader::iid;
inline constexpr IID IID_IStream = IStream::iid;
inline constexpr IID IID_IConfigInterleaving = IConfigInterleaving::iid;
inline constexpr IID IID_ISampleGrabber = ISampleGrabber::iid;
inline constexpr IID IID_ISampleGrabberCB = ISampleGrabberCB::iid;
inline constexpr IID IID_ICaptureGraphBuilder = ICaptureGraphBuilder::iid;
inline constexpr IID IID_IVideoWindow = IVideoWindow::iid;
inline constexpr IID IID_IMediaDet = IMediaDet::iid;
inline constexpr IID IID_IQualProp = IQualProp::iid;
