#pragma once

#include <memory>

extern "C" {
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
}

// Owners for the FFmpeg objects the test support opens; each deleter calls the matching free.
namespace testsupport {

// For contexts from avformat_open_input: closing also frees the context and its streams.
struct InputFormatContextDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputFormatContextPtr = std::unique_ptr<AVFormatContext, InputFormatContextDeleter>;

// Frees the packet and drops any reference it still holds.
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

}  // namespace testsupport
