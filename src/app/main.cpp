#include <QCoreApplication>

#include "platform/win_app.h"

int main(int argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSAREL_FILE_VERSION));
    return AfxWinMain(argc, argv);
}
