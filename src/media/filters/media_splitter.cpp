#include "media/registered_classes.h"

namespace media {
void RegisterMediaSplitter() {}
}  // namespace media
