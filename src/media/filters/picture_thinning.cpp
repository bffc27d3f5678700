#include "media/filters/picture_thinning.h"

#include "media/ffmpeg/codec_media_type.h"

namespace media {

int PictureThinning::KeptOneIn() const {
    if (m_highestRate <= 0 || m_inputFrameTime <= 0) return 1;
    // A rate within a thousandth of the limit keeps to it: 30 fps stored as 333,333 ticks a
    // picture is 30.00003 fps.
    constexpr int kMostDropped = 16;
    int n = 1;
    while (n < kMostDropped && m_inputFrameTime * n * m_highestRate * 1001 < kUnitsPerSecond * 1000) ++n;
    return n;
}

bool PictureThinning::Keeps(REFERENCE_TIME start) {
    if (KeptOneIn() == 1) return true;
    if (m_lastKept && start < *m_lastKept + OutputFrameTime() - m_inputFrameTime / 2) return false;
    m_lastKept = start;
    return true;
}

}  // namespace media
