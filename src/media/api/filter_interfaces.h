#pragma once

// The core of the filter-graph framework: filters, pins, samples and their delivery, the graph
// they are built in.
// Unless said otherwise, an interface pointer returned through an out-parameter carries a new
// reference that the caller owns (transfer full), and one passed in is borrowed.

#include "media/api/media_type.h"
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

// One buffer of a stream and what is known of it. Whoever holds a reference may read it; a
// sample is filled by the one thread that made it before it is delivered, and after delivery
// the receiver only reads it (a receiver that keeps it adds a reference). Not MT safe for
// writers: set nothing on a sample that has been delivered.
struct IMediaSample : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A8689A, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // The sample's bytes, owned by the sample: valid while a reference to it is held.
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    // Bytes the buffer holds at most.
    virtual LONG GetSize() = 0;
    // S_OK with both times, VFW_S_NO_STOP_TIME with the start only, VFW_E_SAMPLE_TIME_NOT_SET.
    // 100-ns units from the start of the segment (NewSegment).
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    // A null start clears both times; a null stop keeps the start only. The values are copied.
    virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    // S_OK for a key frame (decoding can start here), S_FALSE otherwise.
    virtual HRESULT IsSyncPoint() = 0;
    virtual HRESULT SetSyncPoint(BOOL sync) = 0;
    // S_OK for a sample that is decoded only for the ones after it, never shown or written.
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(BOOL preroll) = 0;
    // Bytes of the buffer in use.
    virtual LONG GetActualDataLength() = 0;
    // VFW_E_BUFFER_OVERFLOW beyond GetSize.
    virtual HRESULT SetActualDataLength(LONG length) = 0;
    // S_FALSE and null while the sample carries the connection's type; otherwise S_OK and a
    // copy the caller owns (DeleteMediaType).
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
    // Keeps a copy of type (null: back to the connection's type); the caller keeps its own.
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
    // S_OK for the first sample after a gap, a seek or a flush.
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
    // VFW_E_MEDIA_TIME_NOT_SET unless set; values are copied.
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

// The sample transport of an input pin. Samples come on the upstream filter's streaming thread,
// one at a time per pin; several pins of one filter may receive at once.
struct IMemInputPin : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x56A8689D, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
    // VFW_E_NO_ALLOCATOR: samples are made by their senders, never taken from an allocator.
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
    // Delivers one sample. The sample is borrowed for the call: the receiver adds a reference to
    // keep it beyond, and must not change it. Streaming thread. May block (S_OK from
    // ReceiveCanBlock) while a bounded queue is full, until the queue drains, a flush begins or
    // the filter stops. VFW_E_WRONG_STATE while stopped or flushing; any failure tells the sender
    // to stop streaming; S_FALSE that the receiver wants no more.
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    // Receive for each in turn, stopping at the first result other than S_OK; processed tells
    // how many were taken.
    virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
    // S_OK when Receive may block, S_FALSE when it never does. MT safe.
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
