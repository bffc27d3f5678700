#pragma once

// The MP3 encoder (CLSID_Mp3Encoder): 16-bit PCM in, MPEG audio layer 3 out, coded by FFmpeg's
// libmp3lame at a constant 192 kbit/s (at the lower rates of MPEG-2 the highest it codes: 160
// kbit/s from 16 kHz, 64 kbit/s below). The sound
// keeps its rate where MP3 has it (32, 44.1 and 48 kHz and their halves and quarters) and is
// resampled otherwise, to the next rate above that MP3 has (48 kHz from above it), so that
// nothing of its bandwidth goes; mono stays mono, more channels are mixed down to stereo. The output type is
// the constant-rate MP3 format block players expect in an AVI file (MPEGLAYER3WAVEFORMAT, a block of one
// byte).
//
// Each packet is stamped where its sound plays against the input, libmp3lame's delay taken off.
// A stream cannot start before time 0: where the delay would put the first frame there, as much
// of the sound's beginning is left out (at most the delay, 25 ms at 44.1 kHz), so that what
// follows plays at its time and not that much late. Packets that hold only the encoder's padding
// after the end of the input are not delivered: the sound lasts as long as the input's, within
// one frame.
//
// A gap in the input's times is coded as silence, to the sample. One of over 10 s is left to
// the multiplexer, which fills it with silent frames without coding them: the sound after it
// begins a packet of its own (silence of the gap fills the last packet before it), so that none
// of it plays early, and no frame takes bits from the frames before it (the bit reservoir), so
// that silent frames may stand anywhere. A step back in the input's times (a restart) is closed
// up: the sound goes on.
//
// Synchronous on the splitter's thread, like the other transform filters. The encoder is no
// candidate for intelligent connect: it comes into a graph only when asked for.

#include <cstdint>
#include <deque>
#include <optional>

#include "media/ffmpeg/av_ptr.h"
#include "media/filters/transform_filter.h"

namespace media {

class Mp3Encoder final : public TransformFilter {
public:
    Mp3Encoder();

protected:
    // Negotiation (application thread, filter stopped).
    HRESULT CheckInputType(const AM_MEDIA_TYPE& type) override;
    HRESULT OnInputConnected() override;
    void OnInputDisconnected() override;
    std::vector<MediaType> OutputTypes() override;
    HRESULT CheckTransform(const AM_MEDIA_TYPE& input, const AM_MEDIA_TYPE& output) override;

    // Streaming (streaming thread, streaming lock held).
    HRESULT Transform(IMediaSample* sample) override;
    HRESULT Drain() override;
    void Flush() override;
    HRESULT StartStreaming() override;
    void StopStreaming() override;

private:
    // Where the sound of one input sample begins: from this sample on (counted in samples at the
    // encoder's rate since the stream began) the sound plays from time (in the same samples).
    struct TimeMark {
        std::int64_t sample = 0;
        std::int64_t time = 0;
    };

    // A fresh encoder, resampler and queue for a new stream.
    [[nodiscard]] HRESULT Open();
    void Close();
    // When sample n of the stream plays, in samples at the encoder's rate.
    [[nodiscard]] std::int64_t TimeOfSample(std::int64_t n);
    // Leaves out what of the stream's beginning would play before time 0 (see above).
    void LeaveOutUnplayable();
    // The sample of the stream that packet (counted from 0) begins with; negative within the
    // encoder's delay.
    [[nodiscard]] std::int64_t PacketStartSample(std::int64_t packet) const;
    // Samples from the end of the queue to where a packet begins.
    [[nodiscard]] std::int64_t SamplesToPacketStart() const;
    // Queues count samples of silence, coding whole frames as they fill.
    [[nodiscard]] HRESULT QueueSilence(std::int64_t count);
    // Codes count queued samples (fewer only at the end) and delivers what comes out.
    [[nodiscard]] HRESULT EncodeQueued(int count);
    // Sends frame (null: the end) and delivers every packet the encoder gives back.
    [[nodiscard]] HRESULT Send(const AVFrame* frame);
    [[nodiscard]] HRESULT Deliver(const AVPacket& packet);

    // Fixed while the input is connected.
    int m_inputRate = 0;
    int m_inputChannels = 0;
    int m_rate = 0;      // the encoder's
    int m_channels = 0;  // the encoder's: 1 or 2
    std::optional<MediaType> m_outputType;

    // The streaming thread's while active.
    AvCodecContextPtr m_codec;
    SwrContextPtr m_resampler;
    AvAudioFifoPtr m_queue;  // resampled sound waiting for a whole frame
    AvPacketPtr m_packet;
    std::int64_t m_queuedSamples = 0;              // every sample that went into the queue, this stream
    std::int64_t m_encodedSamples = 0;             // every sample that went to the encoder, this stream
    std::deque<TimeMark> m_marks;                  // the first applies to the next packet's first sample
    std::int64_t m_leftOut = -1;                   // samples left out at the start; -1 until the first came
    std::int64_t m_unplayable = 0;                 // of those, still to leave out
    std::int64_t m_packets = 0;                    // packets the encoder gave, this stream
    std::optional<std::int64_t> m_nextPacketTime;  // where the last packet delivered ends
};

}  // namespace media
