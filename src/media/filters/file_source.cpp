#include "media/filters/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>

#include "media/api/class_registry.h"
#include "media/api/task_memory.h"
#include "media/api/uuids.h"
#include "media/com/wide_text.h"
#include "media/registered_classes.h"

namespace media {
namespace {

// ENOENT says nothing of which part is missing: the file, or a folder on the way to it.
HRESULT MissingPathResult(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    struct stat info {};
    const bool folderExists = ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return HRESULT_FROM_WIN32(folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
}

HRESULT OpenFailure(int error, const std::string& path) {
    switch (error) {
        case ENOENT:
            return MissingPathResult(path);
        case ENOTDIR:
        case ELOOP:
            return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        case EACCES:
        case EPERM:
        case EISDIR:
            return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        case ENAMETOOLONG:
            return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        case ENOMEM:
            return E_OUTOFMEMORY;
        default:
            return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
}

MediaType StreamType() {
    MediaType type;
    type.majortype = MEDIATYPE_Stream;
    type.subtype = MEDIASUBTYPE_NULL;
    type.formattype = FORMAT_None;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 1;
    return type;
}

}  // namespace

FileSourceOutputPin::FileSourceOutputPin(FileSource& source)
    : PinBase(source, PINDIR_OUTPUT, u"Output"), m_source(source) {}

void* FileSourceOutputPin::FindExtraInterface(REFIID riid) {
    if (riid == IAsyncReader::iid) return static_cast<IAsyncReader*>(this);
    return PinBase::FindExtraInterface(riid);
}

HRESULT FileSourceOutputPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
    if (buffer == nullptr) return E_POINTER;
    if (position < 0 || length < 0 || position > std::numeric_limits<LONGLONG>::max() - length) {
        return E_INVALIDARG;
    }
    const int descriptor = m_source.Descriptor();
    if (descriptor < 0) return E_UNEXPECTED;
    const auto wanted = static_cast<std::size_t>(length);
    std::size_t done = 0;
    while (done < wanted) {
        // pread leaves the descriptor's offset alone, so readers on other threads cannot collide.
        const ssize_t got = ::pread(descriptor, buffer + done, wanted - done,
                                    static_cast<off_t>(position) + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    if (done < wanted) {
        std::memset(buffer + done, 0, wanted - done);
        return S_FALSE;
    }
    return S_OK;
}

HRESULT FileSourceOutputPin::Length(LONGLONG* total, LONGLONG* available) {
    if (total == nullptr && available == nullptr) return E_POINTER;
    const int descriptor = m_source.Descriptor();
    if (descriptor < 0) return E_UNEXPECTED;
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    if (total) *total = info.st_size;
    if (available) *available = info.st_size;
    return S_OK;
}

HRESULT FileSourceOutputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    if (m_source.Descriptor() < 0) return VFW_E_NO_ACCEPTABLE_TYPES;
    return type.majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

std::vector<MediaType> FileSourceOutputPin::OfferedTypes() {
    if (m_source.Descriptor() < 0) return {};
    return {StreamType()};
}

FileSource::FileSource() : FilterBase(CLSID_AsyncReader, AM_FILTER_MISC_FLAGS_IS_SOURCE), m_output(*this) {}

FileSource::~FileSource() {
    const int descriptor = m_descriptor.exchange(-1);
    if (descriptor >= 0) ::close(descriptor);
}

void* FileSource::FindExtraInterface(REFIID riid) {
    if (riid == IFileSourceFilter::iid) return static_cast<IFileSourceFilter*>(this);
    return FilterBase::FindExtraInterface(riid);
}

HRESULT FileSource::Load(LPCOLESTR file, const AM_MEDIA_TYPE*) {
    if (file == nullptr) return E_POINTER;
    std::lock_guard lock(m_objectLock);
    if (Descriptor() >= 0) return E_UNEXPECTED;
    const std::u16string_view wide(file);
    // A name that cannot be said exactly would open a different file.
    const std::optional<std::string> bytes = FileNameBytes(wide);
    if (wide.empty() || !bytes) return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    const std::string& path = *bytes;

    // O_NONBLOCK so that a FIFO cannot hold the caller until some writer appears; it is refused
    // below like any other file that is not a regular one.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) return OpenFailure(errno, path);
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) {
        const int error = errno;
        ::close(descriptor);
        return OpenFailure(error, path);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0) ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);

    m_path = std::u16string(wide);
    m_mark = std::make_unique<OpenSourceFileMark>(info.st_dev, info.st_ino);
    m_descriptor.store(descriptor, std::memory_order_release);
    return S_OK;
}

HRESULT FileSource::GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* type) {
    if (file == nullptr) return E_POINTER;
    std::lock_guard lock(m_objectLock);
    *file = nullptr;
    if (Descriptor() < 0) {
        if (type) *type = AM_MEDIA_TYPE{};
        return S_OK;
    }
    *file = TaskMemString(m_path);
    if (*file == nullptr) return E_OUTOFMEMORY;
    if (type) {
        const MediaType stream = StreamType();
        const HRESULT hr = CopyMediaType(type, &stream);
        if (FAILED(hr)) {
            CoTaskMemFree(*file);
            *file = nullptr;
            return hr;
        }
    }
    return S_OK;
}

void RegisterFileSource() {
    RegisterClass(CLSID_AsyncReader,
                  [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new FileSource)); });
}

}  // namespace media
