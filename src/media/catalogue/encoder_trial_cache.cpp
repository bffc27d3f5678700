#include "media/catalogue/encoder_trial_cache.h"

#include <algorithm>

extern "C" {
#include <libavutil/rational.h>
}

namespace media {
namespace {

constexpr std::size_t kTrialsKept = 8;

bool SameLayout(const RawVideoLayout& a, const RawVideoLayout& b) {
    return a.format == b.format && a.width == b.width && a.height == b.height && a.frameTime == b.frameTime &&
           av_cmp_q(a.sampleAspect, b.sampleAspect) == 0;
}

}  // namespace

HRESULT EncoderTrialCache::Try(const RawVideoLayout& input, EncoderChoice& choice) {
    std::lock_guard lock(m_lock);
    const auto known = std::find_if(m_trials.begin(), m_trials.end(),
                                    [&](const Trial& t) { return SameLayout(t.input, input); });
    if (known != m_trials.end()) {
        choice = known->choice;
        return known->result;
    }
    const HRESULT result = TryEncoder(m_codec, input, choice);
    if (result == E_OUTOFMEMORY) return result;  // not the encoder's answer: ask again next time
    m_trials.push_front({input, result, choice});
    if (m_trials.size() > kTrialsKept) m_trials.pop_back();
    return result;
}

}  // namespace media
