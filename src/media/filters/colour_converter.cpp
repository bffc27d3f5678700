#include "media/registered_classes.h"

namespace media {
void RegisterColourConverter() {}
}  // namespace media
