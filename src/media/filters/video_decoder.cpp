#include "media/registered_classes.h"

namespace media {
void RegisterVideoDecoder() {}
}  // namespace media
