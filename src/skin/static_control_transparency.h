#pragma once

#include <QObject>

class QWidget;

// Lets the static controls of a skinned window (labels, check boxes, radio buttons, group
// boxes) draw their text straight over the skin: they paint no background of their own.
// Everything else keeps its colouring: sliders their background, lists, combo boxes and
// edit fields their base colour.
//
// Watch() covers the controls a window has now and every control added later, also inside
// group boxes and plain container widgets. A control is handled when it is polished, that
// is before it is first shown or rendered, or when an already polished control is moved in.
class StaticControlTransparency : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts watching `root` and handles the controls it holds. `root` itself is not changed.
    void Watch(QWidget& root);

    // True for the control classes that show the skin behind their text.
    [[nodiscard]] static bool IsStaticControl(const QWidget& widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Handle(QWidget& widget);
};
