#pragma once

#include <cstdint>
#include <mutex>

#include <QFrame>
#include <QImage>
#include <QRect>

#include "media/api/video_surface.h"

// The preview area of the main window (control 1013): a black rectangle that shows the preview
// graph's video. It is the video surface the graph's renderer presents its pictures to; its
// owner handle is VideoSurfaceHandle(area).
//
// Pictures arrive on a streaming thread. The area keeps at most one waiting, the newest, and
// paints it on the user-interface thread, scaled to fit the video rectangle with its shape kept.
class PreviewArea : public QFrame, public IVideoSurface {
    Q_OBJECT

public:
    explicit PreviewArea(QWidget* parent = nullptr);
    ~PreviewArea() override;

    // IVideoSurface. PresentPicture is thread-safe and never waits for painting; a picture with
    // a size or stride that can't be right is ignored.
    void PresentPicture(const std::uint8_t* pixels, int width, int height, int stride) override;
    void SetVideoRectangle(LONG left, LONG top, LONG width, LONG height) override;
    void SetVideoVisible(bool visible) override;

    // Forgets the picture shown and the one waiting: the area is black again, as when no graph
    // plays in it. User-interface thread.
    void Clear();

    // The picture shown now, at the size it was presented; null when none. User-interface thread.
    [[nodiscard]] const QImage& ShownPicture() const { return m_shown; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // On the user-interface thread: the waiting picture becomes the shown one.
    void ShowWaitingPicture();

    std::mutex m_mutex;
    QImage m_waiting;            // guarded by m_mutex
    bool m_showPending = false;  // guarded by m_mutex: ShowWaitingPicture is queued

    QImage m_shown;
    QRect m_videoRectangle;  // empty: the whole area
    bool m_videoVisible = true;
};
