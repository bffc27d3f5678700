#include "media/filters/splitter_packet_sample.h"

#include <algorithm>
#include <memory>

extern "C" {
#include <libavutil/buffer.h>
}

#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/media_sample.h"

namespace media {
namespace {

struct BufferRefDeleter {
    void operator()(AVBufferRef* ref) const { av_buffer_unref(&ref); }
};

// A sample sharing the packet's buffer, narrowed to the packet's own bytes.
IMediaSample* WrapPacket(const AVPacket& packet) {
    std::unique_ptr<AVBufferRef, BufferRefDeleter> view(av_buffer_ref(packet.buf));
    if (!view) return nullptr;
    view->data = packet.data;
    view->size = static_cast<std::size_t>(packet.size);
    return MediaSample::Wrap(view.get(), packet.size);
}

IMediaSample* CopyPacket(const AVPacket& packet) {
    MediaSample* sample = MediaSample::Create(packet.size);
    if (sample == nullptr) return nullptr;
    BYTE* target = nullptr;
    sample->GetPointer(&target);
    if (packet.size > 0) std::copy_n(packet.data, packet.size, target);
    return sample;
}

}  // namespace

HRESULT SampleFromPacket(const AVPacket& packet, SplitterPcmRepacker* repacker,
                         ComPtr<IMediaSample>& sample) {
    sample.Reset();
    if (repacker == nullptr) {
        IMediaSample* made = packet.buf != nullptr ? WrapPacket(packet) : CopyPacket(packet);
        if (made == nullptr) return E_OUTOFMEMORY;
        sample = ComPtr<IMediaSample>::Adopt(made);
        return S_OK;
    }
    ComPtr<IMediaSample> repacked =
        ComPtr<IMediaSample>::Adopt(MediaSample::Create(repacker->MaxOutputSize(packet.size)));
    if (!repacked) return E_OUTOFMEMORY;
    BYTE* target = nullptr;
    repacked->GetPointer(&target);
    const int written = repacker->Repack(packet.data, packet.size, target);
    if (written < 0) return VFW_E_INVALIDMEDIATYPE;
    if (written == 0) return S_OK;
    repacked->SetActualDataLength(written);
    sample = std::move(repacked);
    return S_OK;
}

bool PacketStartTime(const AVPacket& packet, AVRational timeBase, REFERENCE_TIME startOffset,
                     REFERENCE_TIME& start) {
    const std::int64_t timestamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (timestamp == AV_NOPTS_VALUE) return false;
    start = ToReferenceTime(timestamp, timeBase) - startOffset;
    return true;
}

PacketRole RoleOf(const AVPacket& packet, bool video, std::int64_t streamStart) {
    const bool discarded = (packet.flags & AV_PKT_FLAG_DISCARD) != 0;
    if (video) return discarded ? PacketRole::Preroll : PacketRole::Shown;
    if (discarded) return PacketRole::Dropped;
    if (streamStart == AV_NOPTS_VALUE || packet.pts == AV_NOPTS_VALUE || packet.duration <= 0 ||
        packet.pts >= streamStart) {
        return PacketRole::Shown;
    }
    const std::int64_t before = streamStart - packet.pts;
    return before * 2 >= packet.duration ? PacketRole::Dropped : PacketRole::Shown;
}

void StampSample(IMediaSample& sample, const AVPacket& packet, AVRational timeBase,
                 REFERENCE_TIME startOffset, bool discontinuity) {
    REFERENCE_TIME start = 0;
    if (PacketStartTime(packet, timeBase, startOffset, start)) {
        REFERENCE_TIME stop = start + (packet.duration > 0 ? ToReferenceTime(packet.duration, timeBase) : 0);
        sample.SetTime(&start, packet.duration > 0 ? &stop : nullptr);
    } else {
        sample.SetTime(nullptr, nullptr);
    }
    sample.SetSyncPoint((packet.flags & AV_PKT_FLAG_KEY) != 0 ? TRUE : FALSE);
    sample.SetDiscontinuity(discontinuity ? TRUE : FALSE);
}

}  // namespace media
