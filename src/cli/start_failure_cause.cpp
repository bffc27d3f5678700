#include "cli/start_failure_cause.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/failure_cause.h"
#include "media/api/bstr.h"
#include "media/api/class_registry.h"
#include "media/api/interface_ref.h"
#include "media/api/interfaces.h"
#include "media/api/uuids.h"
#include "text/message_catalogue.h"
#include "text/path_parts.h"
#include "text/text_conversion.h"

namespace {

std::string OutputCause(const std::string& output) {
    struct stat status {};
    if (::stat(output.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return FormatText(Translated("%s is a directory"), output.c_str());
    const std::string folder = FolderOf(output);
    const auto said = [&](const char* text) {
        return FormatText(Translated("output folder %s: %s"), folder.c_str(), text);
    };
    if (::stat(folder.c_str(), &status) != 0) return said(std::strerror(errno));
    if (!S_ISDIR(status.st_mode)) return said(std::strerror(ENOTDIR));
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return said(std::strerror(errno));
    return {};
}

// What the media layer makes of the input: it cannot open it, or it has no video.
std::string MediaCause(const std::string& input) {
    InterfaceRef<IMediaDet> detector;
    if (FAILED(
            CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_ALL, IID_IMediaDet, detector.ReceiveVoid())) ||
        !detector)
        return {};
    const std::u16string wide = ToWide(input);
    const BSTR name = SysAllocString(wide.c_str());
    const HRESULT opened = detector->put_Filename(name);
    SysFreeString(name);
    if (FAILED(opened)) {
        const std::string reason = opened == VFW_E_UNKNOWN_FILE_TYPE
                                       ? Translated("no format it knows, or no stream in it")
                                       : ResultText(opened);
        return FormatText(Translated("is not a media file FFmpeg can read (%s)"), reason.c_str());
    }
    LONG streams = 0;
    (void)detector->get_OutputStreams(&streams);
    for (LONG stream = 0; stream < streams; ++stream) {
        GUID type = GUID_NULL;
        if (SUCCEEDED(detector->put_CurrentStream(stream)) && SUCCEEDED(detector->get_StreamType(&type)) &&
            type == MEDIATYPE_Video)
            return {};
    }
    return Translated("holds no video stream");
}

}  // namespace

std::string UnreadableInputCause(const std::string& input) {
    struct stat status {};
    if (::stat(input.c_str(), &status) != 0) return std::strerror(errno);
    if (S_ISDIR(status.st_mode)) return Translated("is a directory");
    if (!S_ISREG(status.st_mode)) return Translated("is not a regular file");
    const int descriptor = ::open(input.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return std::strerror(errno);
    ::close(descriptor);
    return {};
}

std::string StartFailureCause(const ListedJob& job, HRESULT started) {
    if (std::string cause = UnreadableInputCause(job.input); !cause.empty()) return cause;
    if (std::string cause = OutputCause(job.output); !cause.empty()) return cause;
    struct stat status {};
    if (::stat(job.input.c_str(), &status) == 0 && status.st_size == 0) return Translated("is empty");
    if (std::string cause = MediaCause(job.input); !cause.empty()) return cause;
    return FAILED(started) ? ResultText(started) : std::string();
}
