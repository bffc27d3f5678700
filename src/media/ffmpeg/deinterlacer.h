#pragma once

// Deinterlaces decoded pictures with libavfilter's bwdif, one picture out for each picture in, for
// players that show progressive pictures only. Pictures flagged interlaced are deinterlaced in the
// field order they say; the others pass unchanged. The filter looks one picture ahead, so a picture
// comes out once the next one went in, and the last one when the stream is drained. Times stay
// those of the pictures, in 100-ns units. One streaming thread at a time.

#include <functional>

extern "C" {
#include <libavutil/frame.h>
}

#include "media/api/types.h"
#include "media/ffmpeg/av_ptr.h"

struct AVFilterGraph;
struct AVFilterContext;

namespace media {

class Deinterlacer {
public:
    using Deliver = std::function<HRESULT(AVFrame&)>;

    Deinterlacer();
    ~Deinterlacer();
    Deinterlacer(const Deinterlacer&) = delete;
    Deinterlacer& operator=(const Deinterlacer&) = delete;

    // Sends frame (times in 100-ns units) in and hands every picture that comes out to deliver,
    // which may keep a reference but not the frame. A frame of another size or format than the
    // one before first drains the pictures held for the earlier ones. S_FALSE, having taken
    // nothing, for a frame the filter cannot take (its pixel format, a picture of fewer than four
    // lines): the caller passes that one on as it is. Else S_OK, E_OUTOFMEMORY, or the first result
    // of deliver other than S_OK.
    [[nodiscard]] HRESULT Push(const AVFrame& frame, const Deliver& deliver);
    // The pictures still held, at the end of the stream; the filter then starts anew.
    [[nodiscard]] HRESULT Drain(const Deliver& deliver);
    // Forgets the pictures held (a flush, a stop).
    void Reset();

private:
    [[nodiscard]] bool Configure(const AVFrame& frame);
    [[nodiscard]] HRESULT TakeOutput(const Deliver& deliver);

    AVFilterGraph* m_graph = nullptr;
    AVFilterContext* m_source = nullptr;  // owned by m_graph
    AVFilterContext* m_sink = nullptr;    // owned by m_graph
    int m_width = 0;                      // of the frames m_graph was configured for
    int m_height = 0;
    int m_format = -1;
    int m_refusedWidth = 0;  // the last kind of frame the filter could not take
    int m_refusedHeight = 0;
    int m_refusedFormat = -1;
    AvFramePtr m_input;  // the reference handed to the source
    AvFramePtr m_output;
};

}  // namespace media
