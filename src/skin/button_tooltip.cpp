#include "button_tooltip.h"

#include <QApplication>
#include <QHelpEvent>
#include <QStringList>
#include <QStyle>
#include <QTextLayout>
#include <QToolTip>
#include <QWidget>

namespace {

// Breaks one paragraph at word boundaries into lines of at most `width` pixels; a single
// word wider than that keeps its own, longer line.
QStringList WrapParagraph(const QString& paragraph, const QFont& font, int width) {
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    if (lines.isEmpty()) lines << QString();
    return lines;
}

}  // namespace

void ButtonTooltip::Activate(bool active) {
    m_active = active;
}

void ButtonTooltip::AddTool(const QString& text) {
    m_hasTool = true;
    m_text = text;
}

void ButtonTooltip::UpdateTipText(const QString& text) {
    if (m_hasTool) m_text = text;
}

QString ButtonTooltip::WrappedText() const {
    // The tip label adds a margin and its frame on both sides of the text.
    const int frame = QApplication::style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth);
    const int textWidth = kMaxTipWidth - 2 * (1 + frame);
    QStringList lines;
    for (const QString& paragraph : m_text.split(QLatin1Char('\n')))
        lines << WrapParagraph(paragraph, QToolTip::font(), textWidth);
    return lines.join(QLatin1Char('\n'));
}

bool ButtonTooltip::Show(const QHelpEvent& request) const {
    if (!m_active || !m_hasTool || m_text.isEmpty()) {
        QToolTip::hideText();
        return false;
    }
    QString shown = WrappedText();
    // The tip shows the text as written, even when it looks like markup.
    if (Qt::mightBeRichText(shown)) shown = Qt::convertFromPlainText(shown, Qt::WhiteSpaceNoWrap);
    QToolTip::showText(request.globalPos(), shown, &m_owner, m_owner.rect());
    return true;
}
