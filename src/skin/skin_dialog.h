#pragma once

#include <QDialog>
#include <QPixmap>

#include "skin/static_control_transparency.h"

class QPainter;

// A dialog whose background is a skin bitmap, tiled from (0, 0) at its natural size over
// the whole client area, with its static controls (labels, check boxes, radio buttons,
// group boxes) drawing their text straight over the skin. The base of the main window.
//
// The bitmap is decoded once, at construction, and kept for the dialog's life; painting
// allocates nothing. If it cannot be loaded, the dialog keeps its plain background.
class SkinDialog : public QDialog {
    Q_OBJECT

public:
    // `templateId` names the dialog's form (see resource_ids.h); it is kept for the derived
    // dialog, which builds its controls from that form. `bitmapId` names the skin.
    SkinDialog(unsigned templateId, unsigned bitmapId, QWidget* parent = nullptr);
    ~SkinDialog() override;

    [[nodiscard]] unsigned TemplateId() const { return m_templateId; }

    // False when the skin bitmap could not be loaded and the plain background is used.
    [[nodiscard]] bool HasSkin() const { return !m_bitmap.isNull(); }
    [[nodiscard]] QSize SkinSize() const { return {m_bitmapWidth, m_bitmapHeight}; }

    // Tiles the skin over the client area through `dc`, honouring its clip. Derived dialogs
    // that keep part of the client free of the skin (a video area) clip that part out in
    // their own paintEvent and call this.
    void OnEraseBkgnd(QPainter& dc);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    unsigned m_templateId;
    QPixmap m_bitmap;
    int m_bitmapWidth = 0;
    int m_bitmapHeight = 0;
    StaticControlTransparency m_transparency;
};
