#include "ui/list_row_room.h"

#include <algorithm>

#include <QFont>
#include <QFontMetrics>
#include <QListWidget>
#include <QString>
#include <QStyledItemDelegate>

namespace {

// Glyphs that reach lowest and highest in Latin and Chinese text.
const QString kReachingGlyphs = QStringLiteral("_gjpqy|ÅÉ檔案輸出壓縮");

// Pixels the font's glyphs stick out of its ascent and descent, on the side where they stick out more.
int GlyphOverhang(const QFont& font) {
    const QFontMetrics metrics(font);
    const QRect glyphs = metrics.boundingRect(kReachingGlyphs);  // relative to the baseline
    const int above = -metrics.ascent() - glyphs.top();
    const int below = glyphs.bottom() - (metrics.descent() - 1);
    return std::max({0, above, below});
}

class GlyphRoomDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (m_overhang < 0 || option.font != m_font) {  // measured once per font, not per row
            m_font = option.font;
            m_overhang = GlyphOverhang(m_font);
        }
        size.setHeight(std::max(size.height(), QFontMetrics(m_font).height() + 2 * m_overhang));
        return size;
    }

private:
    mutable QFont m_font;
    mutable int m_overhang = -1;
};

}  // namespace

void GiveRowsRoomForGlyphs(QListWidget& list) {
    list.setItemDelegate(new GlyphRoomDelegate(&list));
}
