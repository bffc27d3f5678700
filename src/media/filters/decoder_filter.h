#pragma once

// What the libavcodec decoder filters (audio, video) share. The codec opens when the input
// connects, described by the codec parameters the type carries or else by its format block. Each
// input sample goes to it as one packet with the sample's times, and every frame that comes out
// goes to the subclass; at the end of the stream the frames it still holds follow. The codec is
// flushed whenever the stream starts again (a new run, the end of a flush) and when it stops.
// Synchronous on the splitter's thread, like the other transform filters.

#include <span>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "media/ffmpeg/av_ptr.h"
#include "media/filters/transform_filter.h"

namespace media {

class DecoderFilter : public TransformFilter {
protected:
    explicit DecoderFilter(const CLSID& clsid);

    // Whether libavcodec has a decoder for the compressed type.
    [[nodiscard]] static bool HasDecoderFor(const AM_MEDIA_TYPE& type);

    // --- opening (application thread, filter stopped) ---

    // Describes the input to the codec from type's format block alone, for types that carry no
    // codec parameters. Returns the codec's extradata as it stands in the format block (the codec
    // gets a copy).
    virtual std::span<const BYTE> DescribeFromFormatBlock(const AM_MEDIA_TYPE& type,
                                                          AVCodecContext& codec) = 0;
    // The subclass's own settings, just before the codec opens.
    virtual void ConfigureCodec(AVCodecContext&) {}
    // The codec opened for InputType(), whose codec parameters are parameters (or null). A failure
    // refuses the connection and closes the codec.
    virtual HRESULT OnCodecOpened(const AVCodecContext& codec, const AVCodecParameters* parameters) = 0;
    // The input was disconnected and the codec closed.
    virtual void OnCodecClosed() {}
    // The open codec; null while the input is not connected.
    [[nodiscard]] const AVCodecContext* Codec() const { return m_codec.get(); }

    // --- streaming (streaming thread, streaming lock held) ---

    // Marks of the subclass's own on the packet made from sample (flags, side data). False when
    // memory ran out.
    [[nodiscard]] virtual bool DescribePacket(IMediaSample&, AVPacket&) { return true; }
    // One frame out of the codec; it is unreferenced afterwards. As Transform's result.
    virtual HRESULT DeliverFrame(const AVFrame& frame) = 0;
    // The end of the stream, after the codec's last frame: what the subclass still holds goes out.
    virtual HRESULT OnDrained() { return S_OK; }

    // Each flushes the codec; a subclass that overrides one calls it first.
    HRESULT StartStreaming() override;
    void StopStreaming() override;
    void Flush() override;

private:
    HRESULT OnInputConnected() final;
    void OnInputDisconnected() final;
    HRESULT Transform(IMediaSample* sample) final;
    HRESULT Drain() final;

    // Sends packet (null: drain) and delivers every frame the codec hands back.
    HRESULT Decode(const AVPacket* packet);

    AvCodecContextPtr m_codec;
    AvPacketPtr m_packet;
    AvFramePtr m_frame;
};

}  // namespace media
