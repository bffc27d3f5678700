#include "media/registered_classes.h"

namespace media {
void RegisterFileSource() {}
}  // namespace media
