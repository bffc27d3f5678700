#pragma once

#include <QString>

class QHelpEvent;
class QWidget;

// The tooltip of one skinned button, modelled on a tooltip control with a single tool:
// it starts inactive and without a tool, holds at most one text, and shows that text over
// the button only while it is active, broken into lines no wider than kMaxTipWidth.
class ButtonTooltip {
public:
    static constexpr int kMaxTipWidth = 400;

    // `owner` is the button the tool covers; it outlives the tooltip.
    explicit ButtonTooltip(QWidget& owner) : m_owner(owner) {}

    // An inactive tooltip answers every request by showing nothing.
    void Activate(bool active);
    [[nodiscard]] bool IsActive() const { return m_active; }

    // 0 until AddTool, then 1: there is only ever one tool.
    [[nodiscard]] int ToolCount() const { return m_hasTool ? 1 : 0; }
    void AddTool(const QString& text);
    void UpdateTipText(const QString& text);
    [[nodiscard]] const QString& Text() const { return m_text; }

    // The text as shown, with line breaks where it is wider than the maximum tip width.
    [[nodiscard]] QString WrappedText() const;

    // Answers a tooltip request over the owner: shows the text when there is one to show,
    // otherwise hides any tip. Returns whether a tip is shown.
    bool Show(const QHelpEvent& request) const;

private:
    QWidget& m_owner;
    bool m_active = false;
    bool m_hasTool = false;
    QString m_text;
};
