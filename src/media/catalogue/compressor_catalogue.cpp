#include "media/registered_classes.h"

namespace media {
void RegisterCompressorCatalogue() {}
}  // namespace media
