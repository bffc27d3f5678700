#include <atomic>

#include "media/api/com_object.h"

namespace media {
namespace {
std::atomic<long> g_liveObjects{0};
}

long LiveObjectCount() { return g_liveObjects.load(); }

namespace detail {
void AdjustLiveObjects(long delta) { g_liveObjects.fetch_add(delta); }
}  // namespace detail

}  // namespace media
