#include "media/registered_classes.h"

namespace media {
void RegisterFilterGraph() {}
}  // namespace media
