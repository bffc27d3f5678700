#include "platform/qt_seams.h"

#include "platform/message_box.h"

namespace platform {

void InstallQtSeams() {
    SetMessageBoxHandler(ShowQtMessageBox);
}

}  // namespace platform
