#pragma once

// Stand-ins for the user at the file dialog and for the desktop's player, while they live: the
// file dialog answers with the paths a test sets, and the desktop "opens" a file with the result
// a test sets. Both record what they were asked.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/shell_execute.h"

class FileDialogStandIn {
public:
    FileDialogStandIn()
        : m_previous(SetFileDialogHandler([this](const FileDialogRequest& request) {
              m_requests.push_back(request);
              return m_answer;
          })) {}
    ~FileDialogStandIn() { SetFileDialogHandler(std::move(m_previous)); }
    FileDialogStandIn(const FileDialogStandIn&) = delete;
    FileDialogStandIn& operator=(const FileDialogStandIn&) = delete;

    // What the user chooses at the next dialogs; none is Cancel.
    void Choose(std::vector<std::string> paths) { m_answer = std::move(paths); }
    [[nodiscard]] const std::vector<FileDialogRequest>& Requests() const { return m_requests; }

private:
    std::vector<std::string> m_answer;
    std::vector<FileDialogRequest> m_requests;
    FileDialogHandler m_previous;
};

class DesktopStandIn {
public:
    DesktopStandIn()
        : m_previous(SetShellExecuteHandler([this](const std::string& verb, const std::string& file) {
              m_opened.emplace_back(verb, file);
              return m_result;
          })) {}
    ~DesktopStandIn() { SetShellExecuteHandler(std::move(m_previous)); }
    DesktopStandIn(const DesktopStandIn&) = delete;
    DesktopStandIn& operator=(const DesktopStandIn&) = delete;

    // The result of the next requests: above 32 is a player that opened the file.
    void Answer(std::intptr_t result) { m_result = result; }
    [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& Opened() const { return m_opened; }

private:
    std::intptr_t m_result = SE_ERR_NOASSOC;
    std::vector<std::pair<std::string, std::string>> m_opened;
    ShellExecuteHandler m_previous;
};
