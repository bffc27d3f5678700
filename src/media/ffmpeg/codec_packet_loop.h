#pragma once

// The send/receive loop that every libavcodec decoder filter runs for each packet.

#include <functional>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/api/types.h"

namespace media {

// Sends packet (null: drain the decoder) and hands every frame that comes out to deliver, which
// may keep a reference but not the frame itself (it is unreferenced afterwards). A full decoder
// first gives up its frames, then takes the packet. A packet or a frame that fails to decode is
// skipped, as players do; after 64 failed frames in a row the loop gives up for this packet.
// Returns S_OK, the first result of deliver other than S_OK, or what outOfMemory returns when
// libavcodec runs out of memory.
[[nodiscard]] HRESULT SendPacketAndTakeFrames(AVCodecContext& codec, AVFrame& frame, const AVPacket* packet,
                                              const std::function<HRESULT(AVFrame&)>& deliver,
                                              const std::function<HRESULT()>& outOfMemory);

}  // namespace media
