#include "media/filters/splitter_restarts.h"

#include <cstdlib>

namespace media {
namespace {

// Streams find the same restart within the second each reads ahead; a shift that differs by
// more than the length of a stream's last packets is another restart.
constexpr REFERENCE_TIME kSameTime = 20'000'000;
constexpr REFERENCE_TIME kSameShift = 5'000'000;
constexpr std::size_t kRemembered = 16;

}  // namespace

REFERENCE_TIME SplitterRestarts::Shift(REFERENCE_TIME at, REFERENCE_TIME wanted) {
    for (auto restart = m_restarts.rbegin(); restart != m_restarts.rend(); ++restart) {
        if (std::llabs(restart->at - at) <= kSameTime && std::llabs(restart->shift - wanted) <= kSameShift)
            return restart->shift;
    }
    m_restarts.push_back({at, wanted});
    if (m_restarts.size() > kRemembered) m_restarts.erase(m_restarts.begin());
    return wanted;
}

}  // namespace media
