#include "media/registered_classes.h"

namespace media {
void RegisterCaptureGraphBuilder() {}
}  // namespace media
