#pragma once

// What opening one encoder for each input layout gave. Negotiation asks about the same type
// many times (QueryAccept, ReceiveConnection, the graph's intelligent connect), and an opening
// can cost milliseconds, so each layout is tried once. MT safe.

#include <deque>
#include <mutex>

#include "media/catalogue/encoder_setup.h"

namespace media {

class EncoderTrialCache {
public:
    explicit EncoderTrialCache(const AVCodec& codec) : m_codec(codec) {}

    // TryEncoder for input, answered from the cache when this layout was tried before.
    [[nodiscard]] HRESULT Try(const RawVideoLayout& input, EncoderChoice& choice);

private:
    struct Trial {
        RawVideoLayout input;
        HRESULT result;
        EncoderChoice choice;
    };

    const AVCodec& m_codec;
    std::mutex m_lock;
    std::deque<Trial> m_trials;  // newest first, a handful at most
};

}  // namespace media
