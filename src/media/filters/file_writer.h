#pragma once

// The file writer: the sink at the end of a recording graph. Its one input pin ("in",
// MEDIATYPE_Stream) is a seekable byte sink (IStream) that the upstream multiplexer writes through
// synchronously, at any position. The file is opened (and emptied) when the filter leaves Stopped
// and closed when it returns there. It never writes to a file that a source of this process is
// reading, whatever name reaches it.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media/graph/filter_base.h"
#include "media/graph/pin_base.h"

namespace media {

class FileWriter;

class FileWriterInputPin final : public InputPin, public IStream {
public:
    explicit FileWriterInputPin(FileWriter& writer);

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return InputPin::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return InputPin::AddRef(); }
    ULONG Release() override { return InputPin::Release(); }

    // Any MEDIATYPE_Stream subtype.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    // Appends the sample's bytes at the current position. Streaming thread only.
    HRESULT Receive(IMediaSample* sample) override;
    // Posts EC_COMPLETE (once per run) for this filter as a renderer.
    HRESULT EndOfStream() override;

    // IStream, MT safe; E_UNEXPECTED while no file is open. Failures of the disk come back as
    // HRESULT_FROM_WIN32 codes (ERROR_DISK_FULL, ERROR_WRITE_FAULT, ...).
    HRESULT Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT Write(const void* buffer, ULONG size, ULONG* written) override;
    HRESULT Seek(LONGLONG move, DWORD origin, LONGLONG* newPosition) override;
    HRESULT SetSize(LONGLONG size) override;
    // Nothing is buffered here; the data is with the system already.
    HRESULT Commit(DWORD) override { return S_OK; }

protected:
    void* FindExtraInterface(REFIID riid) override;

private:
    FileWriter& m_writer;
};

class FileWriter final : public FilterBase, public IFileSinkFilter {
public:
    FileWriter();
    ~FileWriter() override;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return FilterBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return FilterBase::AddRef(); }
    ULONG Release() override { return FilterBase::Release(); }

    // Remembers the path (and a copy of type, which may be null); the file is opened at Pause.
    // Refuses, as HRESULT_FROM_WIN32 codes: an empty name (ERROR_INVALID_NAME), a folder that does
    // not exist (ERROR_PATH_NOT_FOUND), a folder this process may not write in
    // (ERROR_ACCESS_DENIED), a path naming a directory (ERROR_DIRECTORY). VFW_E_NOT_STOPPED while
    // active.
    HRESULT SetFileName(LPCOLESTR file, const AM_MEDIA_TYPE* type) override;
    // The path (task-allocator memory, transfer full) and a copy of the type; E_FAIL before a name
    // was set.
    HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* type) override;

    std::vector<PinBase*> Pins() override { return {&m_input}; }

protected:
    void* FindExtraInterface(REFIID riid) override;
    // Opens the file. A file that a source of this process has open (under any name) is refused
    // with ERROR_SHARING_VIOLATION before a byte of it changes.
    HRESULT OnActivate() override;
    void OnDeactivate() override;

private:
    friend class FileWriterInputPin;

    // Writes at the current position and moves past what was written. Caller holds m_fileLock.
    HRESULT WriteLocked(const void* buffer, std::size_t size);

    FileWriterInputPin m_input;
    std::u16string m_path;
    std::optional<MediaType> m_type;

    std::mutex m_fileLock;  // guards everything below
    int m_descriptor = -1;
    LONGLONG m_position = 0;
    bool m_completed = false;  // EC_COMPLETE posted in this run
};

}  // namespace media
