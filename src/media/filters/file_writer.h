#pragma once

// The file writer: the sink at the end of a recording graph. Its one input pin ("in",
// MEDIATYPE_Stream) is a seekable byte sink (IStream) that the upstream multiplexer writes through
// synchronously, at any position.
//
// The bytes go to a new file beside the named one, created when the filter leaves Stopped. When
// it returns there, that file takes the name if it is whole, and is removed otherwise; until
// then a file that already has the name stays untouched. It is whole when upstream committed it
// (IStream::Commit, or the end of the stream) after its last change and no write failed: the
// multiplexer upstream decides, from its streams, whether the run gave a file (avi_mux.h). So a
// stop keeps what was finished; a failure keeps what was there before. It never replaces a file that a source
// of this process is reading, whatever name reaches it. Without AM_FILE_OVERWRITE in its mode
// (IFileSinkFilter2), it replaces no file at all: a name already taken refuses the start, and a name taken
// while it ran keeps its file.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media/filters/staged_file.h"
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
    // Counts as a commit, and posts EC_COMPLETE (once per run) for this filter as a renderer.
    HRESULT EndOfStream() override;

    // IStream, MT safe; E_UNEXPECTED while no file is open. Failures of the disk come back as
    // HRESULT_FROM_WIN32 codes (ERROR_DISK_FULL, ERROR_FILE_TOO_LARGE, ...), and the file will not
    // take its name.
    HRESULT Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT Write(const void* buffer, ULONG size, ULONG* written) override;
    HRESULT Seek(LONGLONG move, DWORD origin, LONGLONG* newPosition) override;
    HRESULT SetSize(LONGLONG size) override;
    // Marks what was written as a whole file, to take its name when the filter stops. Nothing
    // is buffered here. Fails with the first write failure, if there was one.
    HRESULT Commit(DWORD flags) override;

protected:
    void* FindExtraInterface(REFIID riid) override;

private:
    FileWriter& m_writer;
};

class FileWriter final : public FilterBase, public IFileSinkFilter2 {
public:
    FileWriter();
    ~FileWriter() override;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return FilterBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return FilterBase::AddRef(); }
    ULONG Release() override { return FilterBase::Release(); }

    // Remembers the path (and a copy of type, which may be null); the file is created at Pause.
    // Refuses, as HRESULT_FROM_WIN32 codes: an empty name or one that cannot be said exactly
    // (ERROR_INVALID_NAME), a folder that does not exist (ERROR_PATH_NOT_FOUND), a folder this
    // process may not write in (ERROR_ACCESS_DENIED), a path naming a directory
    // (ERROR_DIRECTORY). VFW_E_NOT_STOPPED while active.
    HRESULT SetFileName(LPCOLESTR file, const AM_MEDIA_TYPE* type) override;
    // The path (task-allocator memory, transfer full) and a copy of the type; E_FAIL before a name
    // was set.
    HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* type) override;
    // AM_FILE_OVERWRITE or 0, taking effect at the next start; AM_FILE_OVERWRITE at first.
    HRESULT SetMode(DWORD flags) override;
    HRESULT GetMode(DWORD* flags) override;

    std::vector<PinBase*> Pins() override { return {&m_input}; }

protected:
    void* FindExtraInterface(REFIID riid) override;
    // Creates the file beside the named one. A named file that is a directory, not a regular
    // file, read-only or open in a source of this process (under any name) is refused, with
    // ERROR_DIRECTORY, ERROR_ACCESS_DENIED or ERROR_SHARING_VIOLATION; without AM_FILE_OVERWRITE,
    // any named file is, with ERROR_FILE_EXISTS.
    HRESULT OnActivate() override;
    // Moves a whole file to its name, removes any other. When the move itself fails, the file is
    // removed and EC_ERRORABORT is posted.
    void OnDeactivate() override;

private:
    friend class FileWriterInputPin;

    // Writes at the current position and moves past what was written. Caller holds m_fileLock.
    HRESULT WriteLocked(const void* buffer, std::size_t size);
    // Remembers the first failure of the file. Caller holds m_fileLock.
    HRESULT NoteFailureLocked(HRESULT hr);

    FileWriterInputPin m_input;
    std::u16string m_path;
    std::optional<MediaType> m_type;
    DWORD m_mode = AM_FILE_OVERWRITE;  // guarded by m_objectLock

    std::mutex m_fileLock;  // guards everything below
    StagedFile m_file;
    LONGLONG m_position = 0;
    HRESULT m_failure = S_OK;  // the first failed change of the file in this run
    bool m_committed = false;  // upstream committed the file after its last change
    bool m_completed = false;  // EC_COMPLETE posted in this run
};

}  // namespace media
