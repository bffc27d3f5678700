#include "media/registered_classes.h"

namespace media {
void RegisterFileWriter() {}
}  // namespace media
