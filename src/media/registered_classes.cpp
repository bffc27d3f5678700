// The root of the media layer: its creatable classes and the filters that intelligent connect
// may insert, registered on first use by CoCreateInstance. Every graph, and so every connection,
// starts with a CoCreateInstance, so nothing below needs to ask for the registration.

#include "media/registered_classes.h"

#include <mutex>

#include "media/api/class_registry.h"
#include "media/api/ffmpeg_log.h"

namespace media {
namespace {

void RegisterMediaClasses() {
    ApplyDefaultFfmpegLogging();
    RegisterFilterGraph();
    RegisterCaptureGraphBuilder();
    RegisterFileSource();
    RegisterMediaSplitter();
    RegisterVideoDecoder();
    RegisterColourConverter();
    RegisterSampleGrabber();
    RegisterAviMux();
    RegisterFileWriter();
    RegisterCompressorCatalogue();
    RegisterAudioDecoder();
    RegisterMp3Encoder();
    RegisterVideoRenderer();
    RegisterAudioRenderer();
    RegisterMediaDetector();
}

}  // namespace

void EnsureMediaClassesRegistered() {
    static std::once_flag once;
    std::call_once(once, RegisterMediaClasses);
}

}  // namespace media

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD /*context*/, REFIID riid, void** object) {
    media::EnsureMediaClassesRegistered();
    return media::CreateRegisteredInstance(clsid, outer, riid, object);
}
