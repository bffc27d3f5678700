#include "media/registered_classes.h"

namespace media {
void RegisterAviMux() {}
}  // namespace media
