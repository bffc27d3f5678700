#include "media/filters/file_writer.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include <limits>

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/errno_result.h"
#include "media/com/wide_text.h"
#include "media/registered_classes.h"
#include "text/path_parts.h"

namespace media {

// ---- input pin ---------------------------------------------------------------------------------

FileWriterInputPin::FileWriterInputPin(FileWriter& writer) : InputPin(writer, u"in"), m_writer(writer) {}

void* FileWriterInputPin::FindExtraInterface(REFIID riid) {
    if (riid == IStream::iid) return static_cast<IStream*>(this);
    return InputPin::FindExtraInterface(riid);
}

HRESULT FileWriterInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return type.majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT FileWriterInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    if (!IsAccepting()) return VFW_E_WRONG_STATE;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return E_POINTER;
    const LONG length = sample->GetActualDataLength();
    if (length <= 0) return S_OK;
    std::lock_guard lock(m_writer.m_fileLock);
    return m_writer.WriteLocked(data, static_cast<std::size_t>(length));
}

HRESULT FileWriterInputPin::EndOfStream() {
    if (!IsAccepting()) return VFW_E_WRONG_STATE;
    {
        std::lock_guard lock(m_writer.m_fileLock);
        if (SUCCEEDED(m_writer.m_failure)) m_writer.m_committed = true;
        if (m_writer.m_completed) return S_OK;
        m_writer.m_completed = true;
    }
    m_writer.NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(&m_writer)));
    return S_OK;
}

HRESULT FileWriterInputPin::Write(const void* buffer, ULONG size, ULONG* written) {
    if (written) *written = 0;
    if (buffer == nullptr && size > 0) return E_POINTER;
    std::lock_guard lock(m_writer.m_fileLock);
    const HRESULT hr = m_writer.WriteLocked(buffer, size);
    if (SUCCEEDED(hr) && written) *written = size;
    return hr;
}

HRESULT FileWriterInputPin::Seek(LONGLONG move, DWORD origin, LONGLONG* newPosition) {
    std::lock_guard lock(m_writer.m_fileLock);
    if (m_writer.m_file.Descriptor() < 0) return E_UNEXPECTED;
    LONGLONG base = 0;
    switch (origin) {
        case STREAM_SEEK_SET:
            break;
        case STREAM_SEEK_CUR:
            base = m_writer.m_position;
            break;
        case STREAM_SEEK_END: {
            struct stat status {};
            if (::fstat(m_writer.m_file.Descriptor(), &status) != 0) return ResultFromErrno(errno);
            base = status.st_size;
            break;
        }
        default:
            return STG_E_INVALIDFUNCTION;
    }
    if ((move > 0 && base > std::numeric_limits<LONGLONG>::max() - move) || base + move < 0) {
        return STG_E_INVALIDFUNCTION;
    }
    m_writer.m_position = base + move;
    if (newPosition) *newPosition = m_writer.m_position;
    return S_OK;
}

HRESULT FileWriterInputPin::SetSize(LONGLONG size) {
    if (size < 0) return STG_E_INVALIDFUNCTION;
    std::lock_guard lock(m_writer.m_fileLock);
    if (m_writer.m_file.Descriptor() < 0) return E_UNEXPECTED;
    m_writer.m_committed = false;
    if (::ftruncate(m_writer.m_file.Descriptor(), static_cast<off_t>(size)) != 0) {
        return m_writer.NoteFailureLocked(ResultFromErrno(errno));
    }
    return S_OK;
}

HRESULT FileWriterInputPin::Commit(DWORD) {
    std::lock_guard lock(m_writer.m_fileLock);
    if (m_writer.m_file.Descriptor() < 0) return E_UNEXPECTED;
    if (FAILED(m_writer.m_failure)) return m_writer.m_failure;
    m_writer.m_committed = true;
    return S_OK;
}

// ---- filter ------------------------------------------------------------------------------------

FileWriter::FileWriter() : FilterBase(CLSID_FileWriter, AM_FILTER_MISC_FLAGS_IS_RENDERER), m_input(*this) {}

FileWriter::~FileWriter() = default;

void* FileWriter::FindExtraInterface(REFIID riid) {
    if (riid == IFileSinkFilter::iid || riid == IFileSinkFilter2::iid)
        return static_cast<IFileSinkFilter2*>(this);
    return FilterBase::FindExtraInterface(riid);
}

HRESULT FileWriter::SetFileName(LPCOLESTR file, const AM_MEDIA_TYPE* type) {
    if (file == nullptr) return E_POINTER;
    if (IsActive()) return VFW_E_NOT_STOPPED;
    const std::u16string wide(file);
    // A name that cannot be said exactly would write a different file.
    const std::optional<std::string> bytes = FileNameBytes(wide);
    if (wide.empty() || !bytes || bytes->back() == '/') return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    const std::string& path = *bytes;

    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return HRESULT_FROM_WIN32(ERROR_DIRECTORY);
    } else if (errno == ENAMETOOLONG) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    }
    const std::string folder = FolderOf(path);
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    // Root ignores the permission bits; a read-only mount still fails here or, at the latest,
    // when the file is opened.
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return ResultFromErrno(errno);

    std::lock_guard lock(m_objectLock);
    m_path = wide;
    if (type) {
        m_type.emplace(*type);
    } else {
        m_type.reset();
    }
    return S_OK;
}

HRESULT FileWriter::GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* type) {
    if (file == nullptr) return E_POINTER;
    *file = nullptr;
    std::lock_guard lock(m_objectLock);
    if (m_path.empty()) return E_FAIL;
    if (type) {
        if (m_type) {
            const HRESULT hr = CopyMediaType(type, &*m_type);
            if (FAILED(hr)) return hr;
        } else {
            *type = AM_MEDIA_TYPE{};
        }
    }
    *file = TaskMemString(m_path);
    if (*file == nullptr) {
        if (type) FreeMediaType(*type);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT FileWriter::SetMode(DWORD flags) {
    if ((flags & ~AM_FILE_OVERWRITE) != 0) return E_INVALIDARG;
    if (IsActive()) return VFW_E_NOT_STOPPED;
    std::lock_guard lock(m_objectLock);
    m_mode = flags;
    return S_OK;
}

HRESULT FileWriter::GetMode(DWORD* flags) {
    if (flags == nullptr) return E_POINTER;
    std::lock_guard lock(m_objectLock);
    *flags = m_mode;
    return S_OK;
}

HRESULT FileWriter::OnActivate() {
    if (m_path.empty()) return E_UNEXPECTED;
    const auto existing =
        (m_mode & AM_FILE_OVERWRITE) != 0 ? StagedFile::Existing::Replace : StagedFile::Existing::Keep;
    std::lock_guard lock(m_fileLock);
    const HRESULT hr = m_file.Create(ToUtf8(m_path), existing);
    if (FAILED(hr)) return hr;
    m_position = 0;
    m_failure = S_OK;
    m_committed = false;
    m_completed = false;
    return S_OK;
}

void FileWriter::OnDeactivate() {
    std::lock_guard lock(m_fileLock);
    m_position = 0;
    if (m_file.Descriptor() < 0) return;
    if (!m_committed || FAILED(m_failure)) {
        m_file.Discard();
        return;
    }
    // Nobody may be waiting for events any more, but a caller that looks finds the failure.
    const HRESULT hr = m_file.Publish();
    if (FAILED(hr)) NotifyEvent(EC_ERRORABORT, hr, reinterpret_cast<LONG_PTR>(static_cast<IPin*>(&m_input)));
}

HRESULT FileWriter::NoteFailureLocked(HRESULT hr) {
    if (SUCCEEDED(m_failure)) m_failure = hr;
    return hr;
}

HRESULT FileWriter::WriteLocked(const void* buffer, std::size_t size) {
    const int descriptor = m_file.Descriptor();
    if (descriptor < 0) return E_UNEXPECTED;
    m_committed = false;
    const auto* bytes = static_cast<const BYTE*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(descriptor, bytes + done, size - done, static_cast<off_t>(m_position));
        if (n < 0) {
            if (errno == EINTR) continue;
            return NoteFailureLocked(ResultFromErrno(errno));
        }
        if (n == 0) return NoteFailureLocked(HRESULT_FROM_WIN32(ERROR_DISK_FULL));
        done += static_cast<std::size_t>(n);
        m_position += n;
    }
    return S_OK;
}

void RegisterFileWriter() {
    RegisterClass(CLSID_FileWriter, [] { return static_cast<IBaseFilter*>(new FileWriter); });
}

}  // namespace media
