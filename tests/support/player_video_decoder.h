#pragma once

#include <functional>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace testsupport {

// Decodes one video stream the way a player does: every packet goes to libavcodec with the
// container's discard mark, so a discarded picture is decoded where later pictures need it but
// never comes out. Empty packets (skipped AVI frames) repeat the last picture and are not sent.
class PlayerVideoDecoder {
public:
    // Ok() is false when no decoder opens for the stream.
    explicit PlayerVideoDecoder(const AVStream& stream);
    ~PlayerVideoDecoder();
    PlayerVideoDecoder(const PlayerVideoDecoder&) = delete;
    PlayerVideoDecoder& operator=(const PlayerVideoDecoder&) = delete;

    [[nodiscard]] bool Ok() const { return m_codec != nullptr; }

    // Decodes packet (null: the end of the stream) and passes every picture that a player would
    // show to shown, with its presentation time in the stream's time base (AV_NOPTS_VALUE if none).
    void Decode(const AVPacket* packet, const std::function<void(const AVFrame&)>& shown);

private:
    void TakePictures(const std::function<void(const AVFrame&)>& shown);

    AVCodecContext* m_codec = nullptr;
    AVFrame* m_frame = nullptr;
    bool m_ended = false;
};

}  // namespace testsupport
