#include "media/filters/media_splitter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/api/class_registry.h"
#include "media/api/uuids.h"
#include "media/com/wide_text.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/ffmpeg/silent_audio_frame.h"
#include "media/filters/splitter_broken_frames.h"
#include "media/filters/splitter_packet_sample.h"
#include "media/filters/video_palette.h"
#include "media/graph/filter_registry.h"
#include "media/registered_classes.h"

namespace media {
namespace {

// A read that fails inside the file skips a packet; at the end of the file every read fails.
constexpr int kFailedReadsAtEnd = 64;
// A QuickTime picture that claims to last longer than this holds a stall of its table, which is
// closed up as the MPEG clocks close a step of their stamps this long.
constexpr REFERENCE_TIME kLongestTablePause = 10 * kUnitsPerSecond;
// Input time closed up that the user is told of.
constexpr REFERENCE_TIME kSkippedWorthTelling = kUnitsPerSecond;

bool IsOfferedStream(const AVStream& stream) {
    const AVCodecParameters& parameters = *stream.codecpar;
    return (parameters.codec_type == AVMEDIA_TYPE_VIDEO || parameters.codec_type == AVMEDIA_TYPE_AUDIO) &&
           parameters.codec_id != AV_CODEC_ID_NONE;
}

std::u16string PinName(const AVStream& stream) {
    const char* kind = stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? "Video " : "Audio ";
    return ToUtf16(kind + std::to_string(stream.index));
}

// The frame grid the stream's times sit on. A variable-frame-rate stream's average rate is
// lowered by its gaps, which would put its frames on too coarse a grid; libavformat's base rate
// is the rate every timestamp fits, so it comes first unless it is implausibly high.
AVRational FrameRateOf(const AVStream& stream) {
    const AVRational base = stream.r_frame_rate;
    const AVRational average = stream.avg_frame_rate;
    const bool baseValid = base.num > 0 && base.den > 0 && av_q2d(base) <= 240.0;
    const bool averageValid = average.num > 0 && average.den > 0;
    if (baseValid && (!averageValid || av_q2d(base) >= av_q2d(average) * 0.999)) return base;
    if (averageValid) return average;
    if (baseValid) return base;
    return AVRational{0, 1};
}

bool IsQuickTime(const AVFormatContext& format) {
    return std::string_view(format.iformat->name).find("mov") != std::string_view::npos;
}

// A QuickTime track whose samples libavformat kept end well before or after the track's edit
// does, with samples of its table left out. The index is rebuilt from the edit lists, and a sample that
// claims to last an hour pushes every sample after it past the edit's end, where they are cut; a
// player plays them (sound timed from its sample count, a picture's stall closed up). Such a file
// is read again with the edit lists taken only for where the tracks start.
bool EditListCutSamples(const AVFormatContext& format) {
    if (!IsQuickTime(format)) return false;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        AVStream& stream = *format.streams[i];
        const int kept = avformat_index_get_entries_count(&stream);
        if (!IsOfferedStream(stream) || kept == 0 || kept >= stream.nb_frames ||
            stream.duration == AV_NOPTS_VALUE)
            continue;
        const std::int64_t tolerance = av_rescale_q(1, AVRational{1, 10}, stream.time_base);
        if (std::llabs(avformat_index_get_entry(&stream, kept - 1)->timestamp - stream.duration) > tolerance)
            return true;
    }
    return false;
}

// The palette a packet brings along, when it brings one.
std::optional<VideoPalette> PaletteOfPacket(const AVPacket& packet) {
    std::size_t size = 0;
    const std::uint8_t* data = av_packet_get_side_data(&packet, AV_PKT_DATA_PALETTE, &size);
    if (data == nullptr || size < AVPALETTE_SIZE) return std::nullopt;
    VideoPalette palette;
    std::memcpy(palette.data(), data, AVPALETTE_SIZE);
    return palette;
}

}  // namespace

// The format's start time is the earliest start of its streams, rounded to microseconds; taking
// it from the streams' own time bases instead puts the first packet of the earliest stream at
// exactly 0 rather than a rounding error before it.
REFERENCE_TIME MediaSplitter::StartOffset(const AVFormatContext& format, const std::vector<Stream>& streams) {
    std::optional<REFERENCE_TIME> earliest;
    for (const Stream& stream : streams) {
        const AVStream& avStream = *format.streams[stream.index];
        if (avStream.start_time == AV_NOPTS_VALUE) continue;
        const REFERENCE_TIME start = ToReferenceTime(avStream.start_time, avStream.time_base);
        if (!earliest || start < *earliest) earliest = start;
    }
    if (earliest) return *earliest;
    return format.start_time != AV_NOPTS_VALUE ? ToReferenceTime(format.start_time, AV_TIME_BASE_Q) : 0;
}

SplitterInputPin::SplitterInputPin(MediaSplitter& splitter)
    : PinBase(splitter, PINDIR_INPUT, u"Input"), m_splitter(splitter) {}

HRESULT SplitterInputPin::CheckMediaType(const AM_MEDIA_TYPE& type) {
    return type.majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SplitterInputPin::CompleteConnect(IPin* peer) {
    return m_splitter.OpenStream(peer);
}

void SplitterInputPin::BreakConnect() {
    m_splitter.CloseStream();
}

MediaSplitter::MediaSplitter() : FilterBase(CLSID_MediaSplitter), m_input(*this) {}

MediaSplitter::~MediaSplitter() {
    StopStreaming();
}

std::vector<PinBase*> MediaSplitter::Pins() {
    std::lock_guard lock(m_objectLock);
    std::vector<PinBase*> pins{&m_input};
    for (const Stream& stream : m_streams) pins.push_back(stream.pin.get());
    return pins;
}

int MediaSplitter::InterruptRequested(void* opaque) {
    return static_cast<MediaSplitter*>(opaque)->m_interrupt.load() ? 1 : 0;
}

HRESULT MediaSplitter::OpenFormat(SplitterByteStream& byteStream, bool wholeSampleTables,
                                  AvFormatInputPtr& format) {
    if (avio_seek(byteStream.Context(), 0, SEEK_SET) < 0) return VFW_E_INVALID_FILE_FORMAT;
    AVFormatContext* opening = avformat_alloc_context();
    if (opening == nullptr) return E_OUTOFMEMORY;
    opening->pb = byteStream.Context();
    opening->flags |= AVFMT_FLAG_CUSTOM_IO;
    opening->interrupt_callback = {&MediaSplitter::InterruptRequested, this};
    AVDictionary* options = nullptr;
    if (wholeSampleTables) av_dict_set(&options, "advanced_editlist", "0", 0);
    // No file name: the format is judged by content alone, never by a misleading extension.
    // On failure avformat_open_input frees the context.
    const int opened = avformat_open_input(&opening, nullptr, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return VFW_E_UNKNOWN_FILE_TYPE;
    format.reset(opening);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) return VFW_E_INVALID_FILE_FORMAT;
    return S_OK;
}

HRESULT MediaSplitter::OpenStream(IPin* source) {
    CloseStream();
    std::lock_guard lock(m_objectLock);
    ComPtr<IAsyncReader> reader;
    if (source == nullptr || FAILED(source->QueryInterface(IAsyncReader::iid, reader.ReceiveVoid()))) {
        return E_NOINTERFACE;
    }
    std::unique_ptr<SplitterByteStream> byteStream = SplitterByteStream::Open(reader);
    if (!byteStream) return E_OUTOFMEMORY;

    AvFormatInputPtr format;
    if (const HRESULT hr = OpenFormat(*byteStream, false, format); FAILED(hr)) return hr;
    // Read whole, the tables claim their damaged length; the edits' is what a player shows.
    const std::int64_t shownDuration = format->duration;
    if (EditListCutSamples(*format)) {
        format.reset();
        if (const HRESULT hr = OpenFormat(*byteStream, true, format); FAILED(hr)) return hr;
    }

    // These formats carry no edit lists; their clocks are mended instead.
    const bool clockMayJump = (format->iformat->flags & AVFMT_TS_DISCONT) != 0;
    std::vector<Stream> streams;
    std::vector<SplitterClocks::Stream> clocks;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& avStream = *format->streams[i];
        if (!IsOfferedStream(avStream)) continue;
        Stream stream;
        stream.index = avStream.index;
        stream.timeBase = avStream.time_base;
        stream.video = avStream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        stream.start = clockMayJump ? AV_NOPTS_VALUE : avStream.start_time;
        stream.repacker = SplitterPcmRepacker::For(*avStream.codecpar);
        if (!clockMayJump && !stream.video)
            stream.audioCount.emplace(*format->streams[i]->codecpar, avStream.time_base);
        if (stream.video && IsQuickTime(*format))
            stream.compositionOffsets = SplitterCompositionOffsets::Read(*format->pb, avStream.id);
        const AVCodecParameters& delivered =
            stream.repacker ? stream.repacker->Delivered() : *avStream.codecpar;
        const AVRational frameRate = FrameRateOf(avStream);
        if (stream.video && IsQuickTime(*format) && frameRate.num > 0)
            stream.frameDuration = av_rescale_q(1, av_inv_q(frameRate), avStream.time_base);
        stream.pin = std::make_unique<SplitterOutputPin>(*this, PinName(avStream),
                                                         MediaTypeOfStream(avStream, delivered, frameRate),
                                                         static_cast<SplitterTimeline&>(*this));
        const bool silenceCodable = stream.video || !clockMayJump || CanCodeSilence(delivered);
        streams.push_back(std::move(stream));
        clocks.push_back({avStream.time_base, !streams.back().video,
                          frameRate.num > 0 ? av_rescale_q(1, av_inv_q(frameRate), avStream.time_base) : 0,
                          avStream.codecpar->sample_rate, avStream.start_time, silenceCodable,
                          IsQuickTime(*format)});
    }
    if (streams.empty()) return VFW_E_UNKNOWN_FILE_TYPE;

    m_startOffset = StartOffset(*format, streams);
    m_clocks.reset();
    // A QuickTime table's times don't jump unless it is damaged; when they do, they are judged as
    // an MPEG stream's are, so that no stamp aborts a conversion.
    if (clockMayJump || IsQuickTime(*format)) m_clocks.emplace(clocks, m_startOffset);
    m_duration = shownDuration != AV_NOPTS_VALUE && shownDuration > 0
                     ? ToReferenceTime(shownDuration, AV_TIME_BASE_Q)
                     : 0;
    m_position = 0;
    {
        std::lock_guard seekLock(m_seekLock);
        m_seekRequest.reset();
        m_startPosition.reset();
    }
    m_freshlyOpened = true;
    m_reachedEnd = false;
    m_byteStream = std::move(byteStream);
    m_format = std::move(format);
    m_streams = std::move(streams);
    return S_OK;
}

void MediaSplitter::CloseStream() {
    StopStreaming();  // joins: not under the object lock, which the streaming thread may want
    std::lock_guard lock(m_objectLock);
    for (Stream& stream : m_streams) {
        // The graph disconnects the outputs first; should it not have, the downstream pins must
        // not keep pointing at a pin that no longer streams.
        if (IPin* peer = stream.pin->Peer()) {
            ComPtr<IPin> keep(peer);
            keep->Disconnect();
            stream.pin->Disconnect();
        }
        m_retiredPins.push_back(std::move(stream.pin));
    }
    m_streams.clear();
    m_clocks.reset();
    m_format.reset();
    m_byteStream.reset();
    m_duration = 0;
    m_position = 0;
}

HRESULT MediaSplitter::OnActivate() {
    if (!m_format) return S_OK;
    m_interrupt = false;
    m_thread = std::jthread([this](std::stop_token stop) { StreamPackets(stop); });
    return S_OK;
}

void MediaSplitter::OnDeactivate() {
    StopStreaming();
}

void MediaSplitter::StopStreaming() {
    if (!m_thread.joinable()) return;
    m_thread.request_stop();
    m_interrupt = true;  // a read that scans a long stretch of garbage returns at once
    m_thread.join();
    m_thread = std::jthread();
    m_interrupt = false;
    std::lock_guard seekLock(m_seekLock);
    // A seek asked for just before the stop still decides where the next start begins.
    if (m_seekRequest) m_startPosition = std::exchange(m_seekRequest, std::nullopt);
}

HRESULT MediaSplitter::SeekTo(REFERENCE_TIME position) {
    std::lock_guard lock(m_objectLock);
    if (!m_format) return VFW_E_NOT_CONNECTED;
    if (position < 0) position = 0;
    if (const REFERENCE_TIME duration = m_duration.load(); duration > 0 && position > duration)
        position = duration;
    m_position = position;
    if (!IsActive()) {
        std::lock_guard seekLock(m_seekLock);
        m_startPosition = position;
        return S_OK;
    }
    // Flush before posting the request, so that the streaming thread's end of flush always
    // follows this begin.
    for (Stream& stream : m_streams) {
        if (stream.pin->IsConnected()) stream.pin->DeliverBeginFlush();
    }
    {
        std::lock_guard seekLock(m_seekLock);
        m_seekRequest = position;
    }
    m_seekWake.notify_all();
    return S_OK;
}

std::optional<REFERENCE_TIME> MediaSplitter::TakeSeekRequest() {
    std::lock_guard seekLock(m_seekLock);
    return std::exchange(m_seekRequest, std::nullopt);
}

void MediaSplitter::StreamPackets(std::stop_token stop) {
    AVFormatContext* format = m_format.get();
    // Streams nobody receives are not even read into packets.
    for (unsigned i = 0; i < format->nb_streams; ++i) format->streams[i]->discard = AVDISCARD_ALL;
    for (const Stream& stream : m_streams) {
        if (stream.pin->IsConnected()) format->streams[stream.index]->discard = AVDISCARD_DEFAULT;
    }

    std::optional<REFERENCE_TIME> start;
    {
        std::lock_guard seekLock(m_seekLock);
        start = std::exchange(m_startPosition, std::nullopt);
    }
    // Without a seek, a restart goes on from where the last run stopped; the read it was in may
    // have been cut short, so the demuxer is put back on a key frame first.
    if (!start && !m_freshlyOpened && !m_reachedEnd) start = m_position.load();
    m_freshlyOpened = false;
    if (m_clocks) {
        std::vector<bool> reading;
        for (const Stream& stream : m_streams) reading.push_back(stream.pin->IsConnected());
        m_clocks->Begin(reading, !start);
    }
    if (start) {
        Seek(*start);
    } else {
        for (Stream& stream : m_streams) stream.discontinuity = true;
    }
    BeginSegment(m_position.load());

    AvPacketPtr packet(av_packet_alloc());
    if (!packet) {
        AbortStream(E_OUTOFMEMORY, nullptr);
        return;
    }
    bool delivering = true;
    int failedReads = 0;  // in a row
    while (!stop.stop_requested()) {
        if (const std::optional<REFERENCE_TIME> target = TakeSeekRequest()) {
            Seek(*target);
            for (Stream& stream : m_streams) {
                if (stream.pin->IsConnected()) stream.pin->DeliverEndFlush();
            }
            BeginSegment(*target);
            delivering = true;
            continue;
        }
        if (!delivering) {
            std::unique_lock seekLock(m_seekLock);
            m_seekWake.wait(seekLock, stop, [this] { return m_seekRequest.has_value(); });
            continue;
        }
        const int result = av_read_frame(format, packet.get());
        if (result == AVERROR(EAGAIN)) continue;
        if (result < 0) {
            if (stop.stop_requested()) break;
            // A packet that can't be read is skipped: the demuxer goes on with the next one. Only
            // reads that keep failing are the end of the file.
            if (++failedReads < kFailedReadsAtEnd) continue;
            // End of file and unreadable data alike: what could be read has been delivered.
            if (m_clocks) {
                m_clocks->EndOfFile();
                if (FAILED(DeliverSettled())) {
                    delivering = false;
                    continue;
                }
            }
            DeliverEndOfStream();
            m_reachedEnd = true;
            delivering = false;
            continue;
        }
        if (failedReads > 0) {
            av_log(format, AV_LOG_WARNING, "skipped %d unreadable packets before %.3f s\n", failedReads,
                   static_cast<double>(m_position.load()) / kUnitsPerSecond);
            failedReads = 0;
        }
        const HRESULT hr = DeliverRead(packet);
        if (FAILED(hr)) delivering = false;
    }
}

void MediaSplitter::Seek(REFERENCE_TIME position) {
    AVFormatContext* format = m_format.get();
    const std::int64_t origin = av_rescale(m_startOffset, AV_TIME_BASE, kUnitsPerSecond);
    const std::int64_t target =
        av_rescale_rnd(m_startOffset + position, AV_TIME_BASE, kUnitsPerSecond, AV_ROUND_UP);
    // Backward, to the key frame at or before the target. A file that cannot seek there goes on
    // from where it is; the start at least is tried by any frame.
    if (av_seek_frame(format, -1, target, AVSEEK_FLAG_BACKWARD) < 0 && position == 0) {
        av_seek_frame(format, -1, origin, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    }
    for (Stream& stream : m_streams) {
        stream.discontinuity = true;
        stream.skipped = 0;
        if (stream.repacker) stream.repacker->Reset();
        if (stream.audioCount) stream.audioCount->Reset();
        if (stream.compositionOffsets) stream.compositionOffsets->Reset();
    }
    if (m_clocks) m_clocks->Reset();
    m_position = position;
    m_reachedEnd = false;
}

void MediaSplitter::BeginSegment(REFERENCE_TIME position) {
    const REFERENCE_TIME duration = m_duration.load();
    for (Stream& stream : m_streams) {
        if (IPin* peer = stream.pin->Peer())
            peer->NewSegment(position, duration > 0 ? duration : position, 1.0);
    }
}

HRESULT MediaSplitter::DeliverRead(AvPacketPtr& packet) {
    for (Stream& stream : m_streams) {
        if (stream.index != packet->stream_index) continue;
        if (stream.compositionOffsets) stream.compositionOffsets->Mend(*packet);
        CloseUpTableTime(stream, *packet);
    }
    if (!m_clocks) {
        const HRESULT hr = DeliverPacket(*packet);
        av_packet_unref(packet.get());
        return hr;
    }
    std::size_t slot = 0;
    while (slot < m_streams.size() && m_streams[slot].index != packet->stream_index) ++slot;
    AvPacketPtr held(av_packet_alloc());
    if (!held) {
        AbortStream(E_OUTOFMEMORY, nullptr);
        return E_OUTOFMEMORY;
    }
    av_packet_move_ref(held.get(), packet.get());
    if (!MendBrokenAudioFrame(m_format->streams[held->stream_index]->codecpar->codec_id, *held))
        return DeliverSettled();
    m_clocks->Push(slot, std::move(held));
    return DeliverSettled();
}

HRESULT MediaSplitter::DeliverSettled() {
    std::size_t slot = 0;
    while (AvPacketPtr settled = m_clocks->Pop(slot)) {
        const HRESULT hr = DeliverPacket(*settled);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT MediaSplitter::DeliverPacket(const AVPacket& packet) {
    Stream* target = nullptr;
    for (Stream& stream : m_streams) {
        if (stream.index == packet.stream_index) target = &stream;
    }
    if (target == nullptr || !target->pin->IsConnected()) return S_OK;
    const PacketRole role = RoleOf(packet, target->video, target->start);
    if (role == PacketRole::Dropped) return S_OK;

    ComPtr<IMediaSample> sample;
    const HRESULT made = SampleFromPacket(packet, target->repacker ? &*target->repacker : nullptr, sample);
    if (FAILED(made)) {
        AbortStream(made, target->pin.get());
        return made;
    }
    if (!sample) return S_OK;
    StampSample(*sample.Get(), packet, target->timeBase, Origin(), target->discontinuity);
    sample->SetPreroll(role == PacketRole::Preroll ? TRUE : FALSE);
    if (const std::optional<VideoPalette> palette = PaletteOfPacket(packet)) {
        MediaType withPalette = TypeWithPalette(target->pin->ConnectionType(), *palette);
        if (FAILED(sample->SetMediaType(&withPalette))) {
            AbortStream(E_OUTOFMEMORY, nullptr);
            return E_OUTOFMEMORY;
        }
    }
    const HRESULT hr = target->pin->Deliver(sample.Get());
    if (FAILED(hr)) return hr;
    target->discontinuity = false;
    REFERENCE_TIME start = 0;
    if (PacketStartTime(packet, target->timeBase, Origin(), start) && start > m_position.load()) {
        m_position = start;
    }
    return hr;
}

void MediaSplitter::DeliverEndOfStream() {
    REFERENCE_TIME skipped = 0;
    for (Stream& stream : m_streams) {
        if (stream.pin->IsConnected()) stream.pin->DeliverEndOfStream();
        if (stream.pin->IsConnected()) skipped = std::max(skipped, stream.skipped);
    }
    if (skipped > kSkippedWorthTelling) NotifyEvent(EC_INPUT_TIME_SKIPPED, static_cast<LONG_PTR>(skipped));
}

void MediaSplitter::CloseUpTableTime(Stream& stream, AVPacket& packet) {
    const std::int64_t claimed = packet.duration;
    const std::int64_t own = packet.pts;
    // Sound timed by its count: what its own times ran ahead of that was skipped.
    if (stream.audioCount && stream.audioCount->Mend(packet) && own != AV_NOPTS_VALUE && own > packet.pts)
        stream.skipped = std::max(stream.skipped, ToReferenceTime(own - packet.pts, stream.timeBase));
    if (stream.frameDuration > 0 && ToReferenceTime(claimed, stream.timeBase) > kLongestTablePause) {
        packet.duration = stream.frameDuration;
        stream.skipped += ToReferenceTime(claimed - stream.frameDuration, stream.timeBase);
    }
}

void RegisterMediaSplitter() {
    RegisterClass(CLSID_MediaSplitter,
                  [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new MediaSplitter)); });
    RegisterIntermediateFilter(
        {CLSID_MediaSplitter, u"Splitter", MERIT_NORMAL + 0x1000,
         [](const AM_MEDIA_TYPE& type) { return type.majortype == MEDIATYPE_Stream; }});
}

}  // namespace media
