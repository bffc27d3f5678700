// Files named from outside the window, as a file manager's "Open with" names them on the command
// line or a later start hands them over, become jobs as Browse makes them from its dialog's answer.

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include <QApplication>
#include <QListWidget>

#include "platform/file_dialog.h"
#include "ui/converter_dialog.h"

void ConverterDialog::AddCommandLineFiles(const std::vector<std::string>& files) {
    // A file is known by its device and inode, whatever name it was given: the same input twice
    // would be converted twice into one output.
    std::set<std::pair<dev_t, ino_t>> listed;
    for (int row = 0; row < m_inputList->count(); ++row) {
        struct stat status {};
        if (::stat(m_inputList->item(row)->text().toStdString().c_str(), &status) == 0)
            listed.emplace(status.st_dev, status.st_ino);
    }
    // As the dialog answers: existing files, not folders, by their full paths, all as one choice.
    std::vector<std::string> chosen;
    for (const std::string& file : files) {
        struct stat status {};
        if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
        if (!listed.emplace(status.st_dev, status.st_ino).second) continue;
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(file, error).lexically_normal();
        if (!error) chosen.push_back(full.string());
    }
    if (chosen.empty()) return;
    AddChosenFiles(ChosenPathText(chosen), chosen);
}

void ConverterDialog::OpenFromDesktop(const std::vector<std::string>& files) {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    // A box or dialog of the window's, which the user has to answer first, comes with it.
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != this) {
        modal->raise();
        modal->activateWindow();
    }
    // A run's rows stay as they are while it converts them.
    if (m_runInProgress) {
        m_filesAfterRun.insert(m_filesAfterRun.end(), files.begin(), files.end());
        return;
    }
    AddCommandLineFiles(files);
}
