// The creatable classes of the media layer and the filters that intelligent connect may insert.

#include "media/registered_classes.h"

namespace media {

void RegisterMediaClasses() {
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
    RegisterMediaDetector();
}

}  // namespace media
