#include "media/registered_classes.h"

namespace media {
void RegisterSampleGrabber() {}
}  // namespace media
