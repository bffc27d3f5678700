#pragma once

// One demuxed packet as a media sample: times in 100-ns units from the start of the file, key
// frames as sync points.

extern "C" {
#include <libavcodec/packet.h>
}

#include "media/api/interfaces.h"
#include "media/com/com_ptr.h"
#include "media/filters/splitter_pcm.h"

namespace media {

// The payload of packet as a sample. Without a repacker the sample shares the packet's buffer;
// with one it holds the repacked PCM, and may be left empty (S_OK, no sample) while the repacker
// holds back a partial sample frame. E_OUTOFMEMORY, or VFW_E_INVALIDMEDIATYPE when the packet
// does not fit the stream's format. Streaming thread only.
[[nodiscard]] HRESULT SampleFromPacket(const AVPacket& packet, SplitterPcmRepacker* repacker,
                                       ComPtr<IMediaSample>& sample);

// The packet's start time (pts, else dts) in 100-ns units less startOffset, or false when the
// packet carries no time.
[[nodiscard]] bool PacketStartTime(const AVPacket& packet, AVRational timeBase, REFERENCE_TIME startOffset,
                                   REFERENCE_TIME& start);

// What a packet is to a player, given the edit list the demuxer applied (its discard marks and the
// stream's start time, in the stream's time base; AV_NOPTS_VALUE when unknown).
enum class PacketRole {
    Shown,    // delivered as it is
    Preroll,  // video a player decodes for the pictures after it but never shows: delivered as preroll
    Dropped,  // never delivered
};
// Video marked as discarded is preroll. Audio is copied in whole packets, so audio marked as
// discarded is dropped, and so is a packet that straddles the stream's start with most of its
// duration before it: the stream then starts within half a packet of where the edit says.
[[nodiscard]] PacketRole RoleOf(const AVPacket& packet, bool video, std::int64_t streamStart);

// Sets the sample's times (stop only when the packet's duration is known) and flags.
void StampSample(IMediaSample& sample, const AVPacket& packet, AVRational timeBase,
                 REFERENCE_TIME startOffset, bool discontinuity);

}  // namespace media
