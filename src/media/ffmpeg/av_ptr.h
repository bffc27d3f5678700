#pragma once

// Every FFmpeg object in a std::unique_ptr whose deleter calls the matching *_free.

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace media {

struct AvFormatInputDeleter {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct AvFormatOutputDeleter {
    void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct AvCodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct AvCodecParametersDeleter {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};
struct AvFrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvPacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsContextDeleter {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};
struct SwrContextDeleter {
    void operator()(SwrContext* c) const { swr_free(&c); }
};
struct AvBufferPoolDeleter {
    void operator()(AVBufferPool* p) const { av_buffer_pool_uninit(&p); }
};
struct AvIoContextDeleter {
    // Frees the context and the I/O buffer it owns now (it may have replaced ours).
    void operator()(AVIOContext* c) const {
        if (c) av_freep(&c->buffer);
        avio_context_free(&c);
    }
};
struct AvAudioFifoDeleter {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct AvFreeDeleter {
    void operator()(void* p) const { av_free(p); }
};

using AvFormatInputPtr = std::unique_ptr<AVFormatContext, AvFormatInputDeleter>;
using AvFormatOutputPtr = std::unique_ptr<AVFormatContext, AvFormatOutputDeleter>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextDeleter>;
using AvCodecParametersPtr = std::unique_ptr<AVCodecParameters, AvCodecParametersDeleter>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameDeleter>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketDeleter>;
using AvAudioFifoPtr = std::unique_ptr<AVAudioFifo, AvAudioFifoDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using AvBufferPoolPtr = std::unique_ptr<AVBufferPool, AvBufferPoolDeleter>;
using AvIoContextPtr = std::unique_ptr<AVIOContext, AvIoContextDeleter>;

}  // namespace media
