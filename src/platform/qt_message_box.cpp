#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QString>

#include "platform/message_box.h"
#include "platform/qt_seams.h"
#include "text/message_catalogue.h"

namespace {

// Room in a title bar besides the title: the window manager's icon, close button and margins.
constexpr int kTitleBarRoom = 120;

// A box sizes itself to its text; a short text would leave too little room for its title, which
// the window manager then cuts short ("te…rel"). The spacer's width is a floor, never a cap.
void MakeRoomForTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) return;
    const int width = QFontMetrics(QApplication::font()).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

}  // namespace

namespace platform {

int ShowQtMessageBox(const std::string& text) {
    // A box needs a widget application; without one the text still reaches someone instead of
    // taking the process down.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return WriteMessageToErrorOutput(text);
    }
    // The texts carry "\r\n" line breaks; a label wants plain "\n".
    QString shown = QString::fromUtf8(Translated(text.c_str()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), shown, QMessageBox::Ok);
    MakeRoomForTitle(box);
    box.exec();
    return IDOK;
}

}  // namespace platform
