#pragma once

// The splitter: reads the byte stream of a file source through libavformat and offers each video
// and audio stream of the file on an output pin of its own, named after the stream's index in
// the file ("Video 0", "Audio 1"). The pins appear when the input is connected and go when it is
// disconnected.
//
// Streaming: one thread, started on Stopped -> Paused, reads packets and delivers each packet of
// a stream whose pin is connected, with times in 100-ns units from the start of the file (the
// format's start time is subtracted, so streams keep their offsets against each other). What an
// edit list cuts away is never shown: such video goes out as preroll (decoded for the pictures
// after it, never shown itself), such audio not at all. A palette that comes with a packet rides
// on its sample as the sample's media type. At the end of the file, or at a read error, it
// delivers end of stream on every connected pin; a packet that can't be read inside the file (a
// damaged sample table that points past its end) is skipped, and reading goes on. When a delivery
// fails (downstream stopped or failed) it stops delivering until a seek or a stop. In formats
// whose clock may jump (MPEG program and transport streams), and in QuickTime files, whose tables
// make it jump only when damaged, the times are mended first (SplitterClocks): an outlier is
// re-stamped from its neighbours, and joined recordings go on continuously. A QuickTime table's
// own damage is mended before that: composition offsets taken by each sample
// (SplitterCompositionOffsets), audio timed by its sample count (SplitterAudioCount), a picture
// claiming to last minutes closed up. Input time closed up past a second is reported to the
// graph (EC_INPUT_TIME_SKIPPED) at the end of the file.
//
// Threads: connections, state changes and seeks come from the application thread. While the
// filter is active the demuxer belongs to the streaming thread, which never changes connections.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "media/ffmpeg/av_ptr.h"
#include "media/filters/splitter_audio_count.h"
#include "media/filters/splitter_byte_stream.h"
#include "media/filters/splitter_clocks.h"
#include "media/filters/splitter_composition_offsets.h"
#include "media/filters/splitter_output_pin.h"
#include "media/filters/splitter_pcm.h"
#include "media/graph/filter_base.h"

namespace media {

class MediaSplitter;

// Pulls the file through the connected pin's IAsyncReader; accepts MEDIATYPE_Stream only.
class SplitterInputPin final : public PinBase {
public:
    explicit SplitterInputPin(MediaSplitter& splitter);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
    // Opens and probes the file; VFW_E_UNKNOWN_FILE_TYPE or VFW_E_INVALID_FILE_FORMAT when it
    // holds no stream we can offer, which refuses the connection.
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;

private:
    MediaSplitter& m_splitter;
};

class MediaSplitter final : public FilterBase, private SplitterTimeline {
public:
    MediaSplitter();
    ~MediaSplitter() override;

    // The input pin, then one output pin per video or audio stream in stream order.
    std::vector<PinBase*> Pins() override;

protected:
    HRESULT OnActivate() override;
    void OnDeactivate() override;

private:
    friend class SplitterInputPin;

    struct Stream {
        int index = -1;  // in the format context
        AVRational timeBase{0, 1};
        bool video = false;
        std::int64_t start = AV_NOPTS_VALUE;  // where an edit list starts the stream, in timeBase
        std::unique_ptr<SplitterOutputPin> pin;
        std::optional<SplitterPcmRepacker> repacker;
        // audio of formats whose clock can't jump: timed by its sample count if its times are broken
        std::optional<SplitterAudioCount> audioCount;
        // QuickTime video with composition offsets: each packet's taken from the table by its sample
        std::optional<SplitterCompositionOffsets> compositionOffsets;
        bool discontinuity = true;  // streaming thread only
        // QuickTime video: the frame time that stands for a picture claiming to last past the
        // longest pause kept, in timeBase; 0 for other streams
        std::int64_t frameDuration = 0;
        REFERENCE_TIME skipped = 0;  // input time closed up since the start; streaming thread only
    };

    // Application thread, stopped. Failure leaves the splitter closed.
    HRESULT OpenStream(IPin* source);
    // Opens and probes byteStream from its start; wholeSampleTables keeps every sample of a
    // QuickTime table, its edit lists setting only where the tracks start.
    [[nodiscard]] HRESULT OpenFormat(SplitterByteStream& byteStream, bool wholeSampleTables,
                                     AvFormatInputPtr& format);
    void CloseStream();

    // SplitterTimeline.
    REFERENCE_TIME Duration() override { return m_duration.load(); }
    REFERENCE_TIME CurrentPosition() override { return m_position.load(); }
    // Stopped: remembered for the next start. Active: downstream is flushed at once (a delivery
    // blocked in a full queue returns) and the streaming thread seeks before its next packet.
    HRESULT SeekTo(REFERENCE_TIME position) override;

    void StopStreaming();

    // The streaming thread and its steps.
    void StreamPackets(std::stop_token stop);
    void Seek(REFERENCE_TIME position);
    void BeginSegment(REFERENCE_TIME position);
    [[nodiscard]] HRESULT DeliverPacket(const AVPacket& packet);
    // Through the clocks when the format has them: delivers what has settled.
    [[nodiscard]] HRESULT DeliverRead(AvPacketPtr& packet);
    [[nodiscard]] HRESULT DeliverSettled();
    // The time that becomes 0.
    [[nodiscard]] REFERENCE_TIME Origin() const { return m_clocks ? m_clocks->Origin() : m_startOffset; }
    void DeliverEndOfStream();
    // Closes up the time a damaged QuickTime table claims for one packet, and counts it.
    void CloseUpTableTime(Stream& stream, AVPacket& packet);
    [[nodiscard]] std::optional<REFERENCE_TIME> TakeSeekRequest();

    static int InterruptRequested(void* opaque);
    // The time that becomes 0: the start of the earliest offered stream.
    [[nodiscard]] static REFERENCE_TIME StartOffset(const AVFormatContext& format,
                                                    const std::vector<Stream>& streams);

    SplitterInputPin m_input;
    std::unique_ptr<SplitterByteStream> m_byteStream;
    AvFormatInputPtr m_format;  // closed before m_byteStream, which it reads through
    std::vector<Stream> m_streams;
    // Pins of a closed file. Kept until the filter goes: callers may still hold them.
    std::vector<std::unique_ptr<SplitterOutputPin>> m_retiredPins;
    REFERENCE_TIME m_startOffset = 0;        // the format's start time
    std::optional<SplitterClocks> m_clocks;  // formats whose clock may jump, QuickTime; streaming thread

    std::atomic<REFERENCE_TIME> m_duration{0};
    std::atomic<REFERENCE_TIME> m_position{0};
    std::atomic<bool> m_interrupt{false};

    std::mutex m_seekLock;
    std::condition_variable_any m_seekWake;
    std::optional<REFERENCE_TIME> m_seekRequest;    // for the running streaming thread
    std::optional<REFERENCE_TIME> m_startPosition;  // where the next start begins
    bool m_freshlyOpened = true;                    // the demuxer is still at the start of the file
    bool m_reachedEnd = false;                      // the last run delivered end of stream

    std::jthread m_thread;  // last: joined before anything it uses goes
};

}  // namespace media
