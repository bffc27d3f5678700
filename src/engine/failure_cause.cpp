#include "engine/failure_cause.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "media/api/interface_ref.h"
#include "media/api/media_type.h"
#include "media/api/pin_lookup.h"
#include "media/api/uuids.h"
#include "text/text_conversion.h"

namespace {

// The system errors the media layer reports as HRESULT_FROM_WIN32 codes, back as errno values.
int ErrnoOf(HRESULT hr) {
    switch (hr) {
        case HRESULT_FROM_WIN32(ERROR_DISK_FULL):
            return ENOSPC;
        case HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE):
            return EFBIG;
        case HRESULT_FROM_WIN32(ERROR_DISK_QUOTA_EXCEEDED):
            return EDQUOT;
        case HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED):
            return EACCES;
        case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND):
            return ENOENT;
        case HRESULT_FROM_WIN32(ERROR_WRITE_FAULT):
        case HRESULT_FROM_WIN32(ERROR_READ_FAULT):
            return EIO;
        case E_OUTOFMEMORY:
            return ENOMEM;
        default:
            return 0;
    }
}

// The name of the pin's filter in its graph, and of the pin.
std::string Names(IPin* pin, std::string* pinName) {
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return {};
    const auto filter = InterfaceRef<IBaseFilter>::Adopt(info.pFilter);
    if (pinName) *pinName = ToNarrow(info.achName);
    FILTER_INFO filterInfo{};
    if (!filter || FAILED(filter->QueryFilterInfo(&filterInfo))) return {};
    if (filterInfo.pGraph) filterInfo.pGraph->Release();
    return ToNarrow(filterInfo.achName);
}

bool CarriesStream(IPin* pin) {
    AM_MEDIA_TYPE type{};
    if (FAILED(pin->ConnectionMediaType(&type))) return false;
    const bool stream = type.majortype == MEDIATYPE_Stream;
    FreeMediaType(type);
    return !stream;
}

// The input's pin that the stream through pin comes from: upstream, the last output pin that
// carries media rather than a file's bytes.
std::string StreamName(IPin* start) {
    std::string name;
    InterfaceRef<IPin> pin(start);
    for (int hops = 0; pin && hops < 32; ++hops) {
        PIN_DIRECTION direction{};
        if (FAILED(pin->QueryDirection(&direction))) break;
        InterfaceRef<IPin> next;
        if (direction == PINDIR_INPUT) {
            if (FAILED(pin->ConnectedTo(next.Receive()))) break;
            if (next && CarriesStream(next.Get())) Names(next.Get(), &name);
        } else {
            PIN_INFO info{};
            if (FAILED(pin->QueryPinInfo(&info))) break;
            const auto filter = InterfaceRef<IBaseFilter>::Adopt(info.pFilter);
            next = InputPinAt(filter.Get(), 0);
        }
        pin = next;
    }
    return name;
}

}  // namespace

std::string ResultText(HRESULT hr) {
    if (const int error = ErrnoOf(hr)) return std::strerror(error);
    switch (hr) {
        case VFW_E_INVALIDMEDIATYPE:
            return "data that does not fit the stream's format";
        case VFW_E_INVALID_FILE_FORMAT:
            return "not one picture could be decoded";
        case VFW_E_RUNTIME_ERROR:
            return "times the output cannot hold";
        default:
            break;
    }
    char code[32];
    std::snprintf(code, sizeof code, "error 0x%08lx",
                  static_cast<unsigned long>(static_cast<std::uint32_t>(hr)));
    return code;
}

std::string AbortCause(HRESULT hr, IPin* pin) {
    std::string text = ResultText(hr);
    if (pin == nullptr) return text;
    const std::string filter = Names(pin, nullptr);
    // A system error is the file's or the machine's, whichever stream met it first.
    const std::string stream = ErrnoOf(hr) != 0 ? std::string() : StreamName(pin);
    if (!filter.empty()) text += " (" + filter + (stream.empty() ? "" : ", stream " + stream) + ")";
    return text;
}
