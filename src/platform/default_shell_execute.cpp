#include <string>
#include <vector>

#include <sys/stat.h>

#include <QFile>
#include <QMimeDatabase>
#include <QMimeType>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "platform/desktop_applications.h"
#include "platform/shell_execute.h"

namespace {

// The file's type as the desktop sees it (by content and name), with its aliases and the
// types it derives from, most specific first. The catch-all types are left out: an application
// for "any file" is no association.
std::vector<std::string> MimeTypesOf(const std::string& file) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QFile::decodeName(file.c_str()));
    QStringList names = QStringList(type.name()) + type.aliases() + type.allAncestors();
    names.removeDuplicates();
    std::vector<std::string> types;
    for (const QString& name : names)
        if (name != QLatin1String("application/octet-stream") && name != QLatin1String("text/plain"))
            types.push_back(name.toStdString());
    return types;
}

}  // namespace

namespace platform {

std::intptr_t OpenWithDefaultApplication(const std::string& verb, const std::string& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) return SE_ERR_FNF;
    if (verb != "open") return SE_ERR_NOASSOC;

    const auto application = DefaultApplicationFor(MimeTypesOf(file), XdgDirectories::FromEnvironment());
    if (!application) return SE_ERR_NOASSOC;
    const std::vector<std::string> command = CommandLineFor(*application, file);
    if (command.empty()) return SE_ERR_NOASSOC;

    // Started directly, never through a shell: each argument reaches the program as it is.
    QStringList arguments;
    for (auto it = command.begin() + 1; it != command.end(); ++it)
        arguments << QFile::decodeName(it->c_str());
    if (!QProcess::startDetached(QFile::decodeName(command.front().c_str()), arguments)) return SE_ERR_FNF;
    return kShellExecuteStarted;
}

}  // namespace platform
