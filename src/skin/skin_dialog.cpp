#include "skin/skin_dialog.h"

#include <QImage>
#include <QPainter>

#include "resource_ids.h"
#include "skin/skin_tiling.h"

namespace {

// The skin as stored: a DIB keeps its colours whatever the screen, so the image is
// decoded without conversion to the screen's format.
QPixmap LoadSkin(unsigned bitmapId) {
    const QString path = ResourcePath(bitmapId);
    if (path.isEmpty()) return {};
    const QImage image(path);
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
    return QPixmap::fromImage(image, Qt::NoFormatConversion);
}

}  // namespace

SkinDialog::SkinDialog(unsigned templateId, unsigned bitmapId, QWidget* parent)
    : QDialog(parent), m_templateId(templateId), m_bitmap(LoadSkin(bitmapId)) {
    if (!m_bitmap.isNull()) {
        m_bitmapWidth = m_bitmap.width();
        m_bitmapHeight = m_bitmap.height();
    }
    m_transparency.Watch(*this);
}

SkinDialog::~SkinDialog() = default;

void SkinDialog::OnEraseBkgnd(QPainter& dc) {
    TileBitmap(dc, m_bitmap, size());
}

void SkinDialog::paintEvent(QPaintEvent* /*event*/) {
    // The window's plain background is already under this; the skin covers it.
    QPainter dc(this);
    OnEraseBkgnd(dc);
}
