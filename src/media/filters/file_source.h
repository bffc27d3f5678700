#pragma once

// The file source: opens one local file read-only and offers its bytes, unparsed, on its output
// pin ("Output", MEDIATYPE_Stream). Nothing is pushed: the connected splitter pulls the bytes it
// needs through the pin's IAsyncReader. The source never writes to the file.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "media/filters/open_source_files.h"
#include "media/graph/filter_base.h"
#include "media/graph/pin_base.h"

namespace media {

class FileSource;

// The byte stream of the loaded file, read at any position.
class FileSourceOutputPin final : public PinBase, public IAsyncReader {
public:
    explicit FileSourceOutputPin(FileSource& source);

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return PinBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return PinBase::AddRef(); }
    ULONG Release() override { return PinBase::Release(); }

    // MT safe: concurrent reads at different positions do not disturb each other.
    HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
    // The file's current size as both total and available. MT safe.
    HRESULT Length(LONGLONG* total, LONGLONG* available) override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    // MEDIATYPE_Stream once a file is loaded, nothing before.
    std::vector<MediaType> OfferedTypes() override;

protected:
    void* FindExtraInterface(REFIID riid) override;

private:
    FileSource& m_source;
};

class FileSource final : public FilterBase, public IFileSourceFilter {
public:
    FileSource();
    ~FileSource() override;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return FilterBase::QueryInterface(riid, object);
    }
    ULONG AddRef() override { return FilterBase::AddRef(); }
    ULONG Release() override { return FilterBase::Release(); }

    // Opens the file for reading. Once only: a second call answers E_UNEXPECTED. A missing file
    // gives ERROR_FILE_NOT_FOUND, a missing folder ERROR_PATH_NOT_FOUND, a directory, a device or
    // an unreadable file ERROR_ACCESS_DENIED (all as HRESULT_FROM_WIN32). An empty file loads.
    HRESULT Load(LPCOLESTR file, const AM_MEDIA_TYPE* type) override;
    // The path given to Load (task-allocator memory, transfer full), null before a Load.
    HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* type) override;

    std::vector<PinBase*> Pins() override { return {&m_output}; }

    // The descriptor of the loaded file, or -1 before a successful Load. MT safe.
    [[nodiscard]] int Descriptor() const { return m_descriptor.load(std::memory_order_acquire); }

protected:
    void* FindExtraInterface(REFIID riid) override;

private:
    FileSourceOutputPin m_output;
    std::u16string m_path;
    std::unique_ptr<OpenSourceFileMark> m_mark;
    std::atomic<int> m_descriptor{-1};
};

}  // namespace media
