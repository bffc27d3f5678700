#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

#include "platform/message_box.h"
#include "platform/qt_seams.h"

namespace platform {

int ShowQtMessageBox(const std::string& text) {
    // A box needs a widget application; without one the text still reaches someone instead of
    // taking the process down.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return WriteMessageToErrorOutput(text);
    }
    // The texts carry "\r\n" line breaks; a label wants plain "\n".
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), shown, QMessageBox::Ok);
    box.exec();
    return IDOK;
}

}  // namespace platform
