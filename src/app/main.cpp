#include <QCoreApplication>

#include "platform/power_off.h"
#include "platform/win_app.h"

int main(int argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(TESSAREL_FILE_VERSION));
    // Only the program itself may switch the computer off; tests and tools keep the refusal.
    SetPowerOffHandler(platform::RequestLogindPowerOff);
    return AfxWinMain(argc, argv);
}
