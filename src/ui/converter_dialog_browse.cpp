// Choosing the inputs: Browse's file dialog, or files dragged from a file manager, become jobs
// in the two lists.

#include <string>
#include <vector>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QString>
#include <QUrl>

#include "engine/job_naming.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "skin/skin_button.h"
#include "text/message_catalogue.h"
#include "ui/converter_dialog.h"
#include "ui/job_lists.h"
#include "ui/window_messages.h"

namespace {

constexpr const char* kChooseInputsTitle = TranslatableText("選取輸入檔案...");
// The translations keep the patterns after the first "|".
constexpr const char* kVideoFilesFilter =
    TranslatableText("Video Files (.mpg;.mpeg;.avi;.qt;.mov)|*.mpg;*.mpeg;*.avi;*.qt;*.mov||");
// The dialog's answer must fit this many bytes, as laid out by ResultBufferBytes.
constexpr std::size_t kResultBufferBytes = 16000;
// A path text shorter than this is the root folder, or a one-letter folder in it: refused.
constexpr std::size_t kShortestPathText = 3;

// The dropped local files that the dialog would offer: existing files, not folders, whose
// names match its patterns.
std::vector<std::string> DroppedVideoFiles(const QMimeData& data) {
    std::vector<std::string> files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (!QFileInfo(path).isFile() ||
            !MatchesFilter(QFileInfo(path).fileName().toStdString(), kVideoFilesFilter))
            continue;
        files.push_back(QFile::encodeName(path).toStdString());
    }
    return files;
}

}  // namespace

void ConverterDialog::OnBrowse() {
    FileDialog dialog({Translated(kChooseInputsTitle), Translated(kVideoFilesFilter), true},
                      kResultBufferBytes);
    if (!dialog.DoModal()) return;
    AddChosenFiles(dialog.GetPathName(), dialog.GetPathNames());
}

void ConverterDialog::AddChosenFiles(const std::string& pathText, const std::vector<std::string>& paths) {
    if (pathText.size() < kShortestPathText) {
        AfxMessageBox(kInvalidFileName, MB_OK);
        return;
    }
    UpdateData(true);
    for (const std::string& input : paths) {
        const std::string output = OutputPathForJob(*m_inputList, *m_outputList, input);
        InsertJob(*m_inputList, *m_outputList, QString::fromStdString(input), QString::fromStdString(output));
        MakeOutputFolder(output);
    }
    EnableJobButtons(true);
}

void ConverterDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (m_btnBrowse->isEnabled() && !DroppedVideoFiles(*event->mimeData()).empty())
        event->acceptProposedAction();
}

void ConverterDialog::dropEvent(QDropEvent* event) {
    // As Browse, which is off while a conversion runs.
    if (!m_btnBrowse->isEnabled()) return;
    const std::vector<std::string> files = DroppedVideoFiles(*event->mimeData());
    if (files.empty() || ResultBufferBytes(files) > kResultBufferBytes) return;
    event->acceptProposedAction();
    AddChosenFiles(ChosenPathText(files), files);
}
