#pragma once

// One AVI file being written: libavformat's AVI writer over the file writer's byte stream, fed
// with samples of several streams. It turns sample times (100-ns units from the start of the
// input) into the AVI's frame counts: video sits on a grid of its frame time, with empty
// ("skipped") frames wherever the input has none, from time 0 on; audio keeps its bytes and
// starts where its first sample starts (the stream header's dwStart), with silence where its times
// leave a gap (AviMuxAudioGaps). Constant-rate MP3 of our own encoder gets the header players
// expect of it, a byte stream at its data rate, in place of the writer's. Files past 1 GiB continue
// as OpenDML, unless the settings ask for one RIFF: then the file stays AVI 1.0 whatever its size,
// and its idx1 is written here. Not MT safe: the multiplexer serialises every call.

#include <cstdint>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/api/interfaces.h"
#include "media/api/media_type.h"
#include "media/ffmpeg/av_ptr.h"
#include "media/ffmpeg/avi_stream_format.h"
#include "media/filters/avi_mux_audio_gaps.h"
#include "media/filters/avi_mux_header.h"

namespace media {

class AviMuxOutputIo;

struct AviMuxSettings {
    InterleavingMode mode = INTERLEAVE_CAPTURE;
    REFERENCE_TIME interleave = 10'000'000;  // how far apart interleaved streams may drift
    bool oneRiff = false;                    // AVI 1.0: one RIFF with a complete idx1, no OpenDML
};

class AviMuxSession {
public:
    // Writes the header of an AVI file with one stream per type (in this order) to output and
    // returns the session in *session. Each type must pass CanStoreInAvi.
    [[nodiscard]] static HRESULT Start(IStream* output, const std::vector<MediaType>& types,
                                       const AviMuxSettings& settings,
                                       std::unique_ptr<AviMuxSession>* session);
    ~AviMuxSession();
    AviMuxSession(const AviMuxSession&) = delete;
    AviMuxSession& operator=(const AviMuxSession&) = delete;

    // Writes one sample of a stream. A failure leaves the file as it was before the sample (the
    // trailer can still be written).
    [[nodiscard]] HRESULT Write(std::size_t stream, IMediaSample* sample);
    // Writes what is still held back for interleaving, the index and the header fields; the file
    // is complete afterwards. Once only; later calls answer the first call's result.
    [[nodiscard]] HRESULT Finish();
    [[nodiscard]] bool Finished() const { return m_finished; }
    // Whether every video stream holds at least one frame with a picture (a skipped or empty one
    // shows none).
    [[nodiscard]] bool EveryVideoStreamHasAFrame() const;

private:
    struct Stream {
        AVStream* stream = nullptr;
        bool video = false;
        std::int64_t lastDts = -1;      // in the stream's time base; -1 before the first packet
        std::int64_t firstDts = 0;      // audio: the start of the stream, where its dts 0 is
        std::int64_t nextDts = 0;       // audio: where the next sample starts when it has no time
        std::int64_t startField = -1;   // file offset of the stream header's dwStart, -1 unknown
        std::int64_t formatField = -1;  // file offset of the format block ('strf'), -1 unknown
        AviHeaderOverride header;       // what the header must say where the writer's does not do
        std::int64_t frames = 0;        // video: frames written with a picture (not skipped ones)
        std::vector<bool> keys;         // one RIFF: whether each packet written is a key frame
        // audio: silent frames where the stream's times leave a gap
        std::unique_ptr<AviMuxAudioGaps> gaps;
    };

    AviMuxSession() = default;
    HRESULT WriteVideo(Stream& stream, IMediaSample* sample, const std::uint8_t* data, int size);
    HRESULT WriteAudio(Stream& stream, IMediaSample* sample, const std::uint8_t* data, int size);
    // Writes one packet of payload (copied) at dts; an empty payload is a skipped frame.
    HRESULT WritePacket(Stream& stream, std::int64_t dts, const std::uint8_t* data, int size, bool key);
    HRESULT ResultOf(int averror) const;
    // The header fields the writer leaves as they are not: each stream's start, and the format
    // blocks its types declare.
    HRESULT PatchStreamHeaders();
    // One RIFF: ends the movi list the writer left open, writes the idx1 of every chunk noted in
    // it, and the counts and sizes the writer fills in only for an index of its own.
    HRESULT FinishOneRiff();

    // Declared first, destroyed last: the format context writes through it.
    std::unique_ptr<AviMuxOutputIo> m_io;
    AvFormatOutputPtr m_format;
    std::vector<Stream> m_streams;
    bool m_interleaved = true;
    std::int64_t m_moviList = -1;  // one RIFF: the offset of the movi list's 'movi', -1 otherwise
    std::vector<StreamHeaderFields> m_headerFields;
    bool m_finished = false;
    HRESULT m_finishResult = S_OK;
};

}  // namespace media
