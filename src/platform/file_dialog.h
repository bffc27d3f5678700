#pragma once

// The file-open dialog in the platform's terms, and the one seam through which it reaches the
// user. The dialog itself (QFileDialog) lives in default_file_dialog.cpp; tests install a handler
// that answers for the user instead.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// What the open dialog is asked for. Narrow text is UTF-8.
struct FileDialogRequest {
    std::string title;
    // The platform's filter text: pairs of a shown name and its patterns, each part ended by
    // "|", the list ended by one more "|": "Video Files (.avi)|*.avi;*.mov||".
    std::string filter;
    bool allowMultiple = false;
};

// Shows the dialog and returns the full paths the user chose, in the dialog's order; none when
// the user cancelled. Only existing files can be chosen. User-interface thread only.
using FileDialogHandler = std::function<std::vector<std::string>(const FileDialogRequest& request)>;

// Replaces the handler and returns the previous one; an empty handler restores the default
// dialog. User-interface thread only.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

// The bytes that paths take in the platform's result buffer: one chosen file as its full path
// and a terminator; several as their folder and a terminator, then each file name and its
// terminator, then one more terminator.
[[nodiscard]] std::size_t ResultBufferBytes(const std::vector<std::string>& paths);

// One modal open dialog whose answer must fit a result buffer of a given size, as the platform's
// dialog has it: when the chosen names don't fit, the dialog answers as if cancelled.
class FileDialog {
public:
    FileDialog(FileDialogRequest request, std::size_t resultBufferSize);

    // Runs the dialog. True (OK) with the chosen files; false when the user cancelled or the
    // names don't fit the result buffer, with no files.
    [[nodiscard]] bool DoModal();

    // The dialog's path text: the full path of the one chosen file, or the folder that holds
    // the chosen files when there are several ("/" for the root folder). Empty before DoModal.
    [[nodiscard]] std::string GetPathName() const;

    // The chosen files' full paths, in the dialog's order.
    [[nodiscard]] const std::vector<std::string>& GetPathNames() const { return m_paths; }

private:
    FileDialogRequest m_request;
    std::size_t m_resultBufferSize;
    std::vector<std::string> m_paths;
};

// Whether fileName matches one of the patterns of the platform's filter text, ignoring case as
// the platform's dialog does. Only patterns of the form "*.ext" and "*" are understood.
[[nodiscard]] bool MatchesFilter(const std::string& fileName, const std::string& filter);

// The dialog's path text for paths chosen together, as FileDialog::GetPathName describes it.
[[nodiscard]] std::string ChosenPathText(const std::vector<std::string>& paths);

namespace platform {
// The default handler: a QFileDialog over the active window.
std::vector<std::string> ShowDefaultFileDialog(const FileDialogRequest& request);
}  // namespace platform
