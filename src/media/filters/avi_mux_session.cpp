#include "media/filters/avi_mux_session.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mathematics.h>
}

#include "media/ffmpeg/avi_stream_format.h"
#include "media/ffmpeg/codec_media_type.h"
#include "media/filters/avi_mux_header.h"
#include "media/filters/avi_mux_output_io.h"

namespace media {
namespace {

constexpr AVRational kReferenceTimeBase{1, static_cast<int>(kUnitsPerSecond)};
// The header with its reserved index space is a few kilobytes per stream.
constexpr std::size_t kHeadBytes = 1 << 20;
// The longest run of skipped video frames written for one gap, as the AVI writer allows for the
// gaps it fills itself; a longer one means broken timestamps rather than a pause.
constexpr std::int64_t kMaxSkippedFrames = 60000;

std::int64_t ToStreamTime(REFERENCE_TIME time, AVRational timeBase) {
    return av_rescale_q_rnd(time, kReferenceTimeBase, timeBase,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

}  // namespace

AviMuxSession::~AviMuxSession() = default;

HRESULT AviMuxSession::Start(IStream* output, const std::vector<MediaType>& types,
                             const AviMuxSettings& settings, std::unique_ptr<AviMuxSession>* session) {
    if (output == nullptr || session == nullptr) return E_POINTER;
    session->reset();
    if (types.empty()) return VFW_E_NOT_CONNECTED;

    std::unique_ptr<AviMuxSession> created(new AviMuxSession);
    created->m_io = AviMuxOutputIo::Create(output);
    if (!created->m_io) return E_OUTOFMEMORY;
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "avi", nullptr) < 0 || format == nullptr) {
        return E_OUTOFMEMORY;
    }
    created->m_format.reset(format);
    format->pb = created->m_io->Context();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    // 0 would mean "wait for every stream, however long": never ask for that.
    format->max_interleave_delta = std::max<std::int64_t>(1, settings.interleave / 10);
    created->m_interleaved = settings.mode == INTERLEAVE_CAPTURE || settings.mode == INTERLEAVE_FULL;

    for (const MediaType& type : types) {
        AvCodecParametersPtr parameters = AviCodecParameters(type);
        if (!parameters) return VFW_E_TYPE_NOT_ACCEPTED;
        AVStream* stream = avformat_new_stream(format, nullptr);
        if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, parameters.get()) < 0) {
            return E_OUTOFMEMORY;
        }
        Stream entry;
        entry.stream = stream;
        entry.video = parameters->codec_type == AVMEDIA_TYPE_VIDEO;
        if (entry.video) {
            stream->time_base = AviVideoTimeBase(type);
            stream->avg_frame_rate = av_inv_q(stream->time_base);
            stream->sample_aspect_ratio = AviSampleAspect(type);
        } else {
            stream->time_base = AVRational{1, parameters->sample_rate};
            entry.gaps = std::make_unique<AviMuxAudioGaps>(*stream->codecpar);
            entry.header = AviHeaderOverrideFor(type);
        }
        created->m_streams.push_back(std::move(entry));
    }

    created->m_io->KeepHead(kHeadBytes);
    int result = avformat_write_header(format, nullptr);
    if (result >= 0) {
        avio_flush(format->pb);
        result = format->pb->error;
    }
    if (result < 0) return created->ResultOf(result);
    // The writer chose each stream's time base above; samples are placed in those from now on.
    const std::vector<std::uint8_t> head = created->m_io->TakeHead();
    const std::vector<StreamHeaderFields> fields = FindStreamHeaderFields(head);
    if (settings.oneRiff) {
        // The header ends with the movi list's start; chunks follow it one after another. The
        // writer, told it cannot seek, never starts an OpenDML continuation (nor keeps an index).
        const std::int64_t end = avio_tell(format->pb);
        if (fields.size() != created->m_streams.size() || end < 12 || static_cast<std::size_t>(end) > head.size() ||
            std::memcmp(head.data() + end - 4, "movi", 4) != 0) {
            return E_UNEXPECTED;
        }
        created->m_moviList = end - 4;
        created->m_headerFields = fields;
        created->m_io->NoteChunksFrom(end);
        format->pb->seekable = 0;
    }
    if (fields.size() == created->m_streams.size()) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            Stream& stream = created->m_streams[i];
            stream.startField = fields[i].start;
            // A declared format block replaces the writer's only where it fits the chunk exactly.
            const std::vector<std::uint8_t>& block = stream.header.format;
            if (!block.empty() && fields[i].formatSize == static_cast<std::int64_t>(block.size()))
                stream.formatField = fields[i].format;
        }
    }
    *session = std::move(created);
    return S_OK;
}

HRESULT AviMuxSession::Write(std::size_t index, IMediaSample* sample) {
    if (m_finished) return VFW_E_WRONG_STATE;
    if (sample == nullptr) return E_POINTER;
    if (index >= m_streams.size()) return E_INVALIDARG;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return E_POINTER;
    const LONG length = sample->GetActualDataLength();
    if (length < 0 || (length > 0 && data == nullptr)) return E_INVALIDARG;
    Stream& stream = m_streams[index];
    return stream.video ? WriteVideo(stream, sample, data, length) : WriteAudio(stream, sample, data, length);
}

HRESULT AviMuxSession::WriteVideo(Stream& stream, IMediaSample* sample, const std::uint8_t* data, int size) {
    // Each frame goes to the grid position nearest its start time, after the previous frame.
    std::int64_t dts = stream.lastDts + 1;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
        dts = std::max(dts, ToStreamTime(start, stream.stream->time_base));
    }
    if (dts - (stream.lastDts + 1) > kMaxSkippedFrames) return VFW_E_RUNTIME_ERROR;
    // A pause in the input, or a late start, becomes skipped frames: later frames keep their
    // times and stay in step with the audio.
    for (std::int64_t skipped = stream.lastDts + 1; skipped < dts; ++skipped) {
        const HRESULT hr = WritePacket(stream, skipped, nullptr, 0, false);
        if (FAILED(hr)) return hr;
    }
    const HRESULT hr = WritePacket(stream, dts, data, size, sample->IsSyncPoint() == S_OK);
    if (SUCCEEDED(hr) && size > 0) ++stream.frames;
    return hr;
}

HRESULT AviMuxSession::WriteAudio(Stream& stream, IMediaSample* sample, const std::uint8_t* data, int size) {
    if (size == 0) return S_OK;
    const AVRational timeBase = stream.stream->time_base;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::int64_t dts = 0;
    const AVRational sampleTime{1, stream.stream->codecpar->sample_rate};
    if (stream.lastDts < 0) {
        // The stream starts where its first sample does; its header says so (dwStart), and its
        // own counting begins at 0 there.
        stream.firstDts = timed ? ToStreamTime(start, timeBase) : 0;
    } else {
        dts = timed ? ToStreamTime(start, timeBase) - stream.firstDts : stream.nextDts;
        if (timed) {
            const SilentAudioFrame* silence = nullptr;
            const int frames = stream.gaps->SilentFramesBefore(start, data, size, &silence);
            for (int i = 0; i < frames; ++i) {
                const HRESULT hr = WritePacket(stream, stream.nextDts, silence->bytes.data(),
                                               static_cast<int>(silence->bytes.size()), true);
                if (FAILED(hr)) return hr;
                stream.gaps->Played(start, silence->samples);
                stream.nextDts +=
                    std::max<std::int64_t>(av_rescale_q(silence->samples, sampleTime, timeBase), 1);
            }
            // After a gap the packet goes on from the silence, whatever was carried.
            if (silence != nullptr) dts = stream.nextDts;
        }
        dts = std::max(dts, stream.lastDts + 1);
    }
    const HRESULT hr = WritePacket(stream, dts, data, size, true);
    if (FAILED(hr)) return hr;
    int samples = av_get_audio_frame_duration2(stream.stream->codecpar, size);
    // A packet at another rate than the stream's (recordings joined) plays as long as its times say.
    if (timed && stop > start) {
        const std::int64_t stamped = FromReferenceTime(stop - start, sampleTime);
        if (samples <= 0 || std::llabs(stamped - samples) * 20 > samples) samples = static_cast<int>(stamped);
    }
    stream.gaps->Played(timed ? start : 0, samples);
    const std::int64_t duration = samples > 0 ? av_rescale_q(samples, sampleTime, timeBase) : 1;
    stream.nextDts = dts + std::max<std::int64_t>(duration, 1);
    return S_OK;
}

HRESULT AviMuxSession::WritePacket(Stream& stream, std::int64_t dts, const std::uint8_t* data, int size,
                                   bool key) {
    AvPacketPtr packet(av_packet_alloc());
    if (!packet) return E_OUTOFMEMORY;
    if (size > 0) {
        if (av_new_packet(packet.get(), size) < 0) return E_OUTOFMEMORY;
        std::memcpy(packet->data, data, static_cast<std::size_t>(size));
    }
    packet->stream_index = stream.stream->index;
    packet->dts = dts;
    packet->pts = dts;
    if (key) packet->flags |= AV_PKT_FLAG_KEY;
    const int result = m_interleaved ? av_interleaved_write_frame(m_format.get(), packet.get())
                                     : av_write_frame(m_format.get(), packet.get());
    if (result < 0) return ResultOf(result);
    if (m_moviList >= 0) stream.keys.push_back(key && size > 0);
    stream.lastDts = dts;
    return S_OK;
}

HRESULT AviMuxSession::Finish() {
    if (m_finished) return m_finishResult;
    m_finished = true;
    const int result = av_write_trailer(m_format.get());
    HRESULT hr = result < 0 ? ResultOf(result) : S_OK;
    if (SUCCEEDED(hr) && m_moviList >= 0) hr = FinishOneRiff();
    const HRESULT patched = PatchStreamHeaders();
    if (SUCCEEDED(hr)) hr = patched;
    m_finishResult = hr;
    return hr;
}

bool AviMuxSession::EveryVideoStreamHasAFrame() const {
    return std::all_of(m_streams.begin(), m_streams.end(),
                       [](const Stream& stream) { return !stream.video || stream.frames > 0; });
}

HRESULT AviMuxSession::PatchStreamHeaders() {
    AVIOContext* io = m_format->pb;
    for (const Stream& stream : m_streams) {
        std::int64_t start = stream.lastDts < 0 ? 0 : stream.firstDts;
        if (stream.formatField >= 0 && stream.startField >= 0) {
            // A byte stream: dwScale 1 and dwRate its bytes per second, its start in bytes.
            if (avio_seek(io, stream.formatField, SEEK_SET) < 0) return ResultOf(AVERROR(EIO));
            const std::vector<std::uint8_t>& format = stream.header.format;
            avio_write(io, format.data(), static_cast<int>(format.size()));
            if (avio_seek(io, stream.startField - 8, SEEK_SET) < 0) return ResultOf(AVERROR(EIO));
            avio_wl32(io, 1);
            avio_wl32(io, stream.header.bytesPerSecond);
            start = av_rescale_q(start, stream.stream->time_base,
                                 AVRational{1, static_cast<int>(stream.header.bytesPerSecond)});
        }
        if (stream.video || start <= 0 || stream.startField < 0) continue;
        if (avio_seek(io, stream.startField, SEEK_SET) < 0) return ResultOf(AVERROR(EIO));
        avio_wl32(io, static_cast<unsigned>(std::min<std::int64_t>(start, UINT32_MAX)));
    }
    avio_flush(io);
    return io->error < 0 ? ResultOf(io->error) : S_OK;
}

HRESULT AviMuxSession::FinishOneRiff() {
    AVIOContext* io = m_format->pb;
    avio_flush(io);
    m_io->StopNotingChunks();
    io->seekable = AVIO_SEEKABLE_NORMAL;
    if (io->error < 0) return ResultOf(io->error);
    constexpr std::uint32_t kKeyFrame = 0x10;  // AVIIF_KEYFRAME
    constexpr std::int64_t kTotalFramesField = 48;  // avih's dwTotalFrames
    struct Totals {
        std::uint32_t chunks = 0;
        std::int64_t bytes = 0;
        std::uint32_t largest = 0;
    };
    std::vector<Totals> totals(m_streams.size());

    const std::int64_t moviEnd = avio_tell(io);
    const std::int64_t indexStart = moviEnd;
    avio_write(io, reinterpret_cast<const unsigned char*>("idx1"), 4);
    avio_wl32(io, 0);
    for (const WrittenChunk& chunk : m_io->Chunks()) {
        const unsigned first = chunk.id & 0xFF;
        const unsigned second = (chunk.id >> 8) & 0xFF;
        if (first < '0' || first > '9' || second < '0' || second > '9') continue;
        const std::size_t index = (first - '0') * 10 + (second - '0');
        if (index >= m_streams.size()) continue;
        Totals& total = totals[index];
        const std::vector<bool>& keys = m_streams[index].keys;
        const bool key = total.chunks < keys.size() && keys[total.chunks];
        avio_wl32(io, chunk.id);
        avio_wl32(io, key ? kKeyFrame : 0);
        // Offsets count from the movi list's 'movi', as the writer's own idx1 does.
        avio_wl32(io, static_cast<unsigned>(chunk.offset - m_moviList));
        avio_wl32(io, chunk.size);
        ++total.chunks;
        total.bytes += chunk.size;
        total.largest = std::max(total.largest, chunk.size);
    }
    const std::int64_t fileEnd = avio_tell(io);
    if (fileEnd > static_cast<std::int64_t>(UINT32_MAX)) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    const auto patch = [io](std::int64_t at, std::int64_t value) {
        avio_seek(io, at, SEEK_SET);
        avio_wl32(io, static_cast<unsigned>(value));
    };
    patch(indexStart + 4, fileEnd - indexStart - 8);
    patch(m_moviList - 4, moviEnd - m_moviList);
    patch(4, fileEnd - 8);
    std::uint32_t frames = 0;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const AVCodecParameters& parameters = *m_streams[i].stream->codecpar;
        const StreamHeaderFields& fields = m_headerFields[i];
        if (m_streams[i].video) frames = std::max(frames, totals[i].chunks);
        // dwLength counts blocks where the stream has a block size, else chunks; then the
        // largest chunk, dwSuggestedBufferSize.
        patch(fields.start + 4, parameters.block_align > 0 ? totals[i].bytes / parameters.block_align
                                                           : totals[i].chunks);
        patch(fields.start + 8, totals[i].largest);
    }
    patch(kTotalFramesField, frames);
    avio_seek(io, fileEnd, SEEK_SET);
    avio_flush(io);
    return io->error < 0 ? ResultOf(io->error) : S_OK;
}

HRESULT AviMuxSession::ResultOf(int averror) const {
    if (FAILED(m_io->Failure())) return m_io->Failure();
    if (averror == AVERROR(ENOMEM)) return E_OUTOFMEMORY;
    return E_FAIL;
}

}  // namespace media
