#pragma once

// Files in and out of a graph, the sample grabber, and the capture graph builder that puts a
// multiplexer and a file writer into a graph.
// Unless said otherwise, an interface pointer returned through an out-parameter carries a new
// reference that the caller owns (transfer full), and one passed in is borrowed.

#include "media/api/filter_interfaces.h"

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

// What a sample grabber calls for each sample that passes it. Both methods run on the streaming
// thread that delivers to the grabber, before the sample goes on downstream, so they hold up the
// stream while they run: keep them short, and do not stop or change the graph from them (a stop
// joins this very thread). Asking a filter for its pins or clock is fine. Results are ignored.
struct ISampleGrabberCB : IUnknown {
    using Parent = IUnknown;
    static constexpr IID iid = {0x0579154A, 0x2B53, 0x4994, {0xB0, 0xD0, 0xE7, 0x73, 0x14, 0x8E, 0xFF, 0x85}};
    // time: the sample's start in seconds. The sample is borrowed for the call (AddRef to keep
    // it) and is the one that goes downstream: do not change it.
    virtual HRESULT SampleCB(double time, IMediaSample* sample) = 0;
    // buffer: a copy of the sample's length bytes, the grabber's, valid for the call only; what
    // the callback writes there never reaches downstream.
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
