// The creatable classes of the media layer and the filters that intelligent connect may insert.

#include "media/registered_classes.h"

#include "media/ffmpeg_log.h"

namespace media {

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
}

}  // namespace media
