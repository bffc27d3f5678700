#include <string>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QString>
#include <QStringList>
#include <QTreeView>

#include "platform/file_dialog.h"

namespace {

// The platform's filter text ("Name|*.a;*.b|Other|*.c||") as Qt's filter list
// ("Name (*.a *.b)"). Qt reads the patterns from the last parentheses of each entry.
QStringList QtFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

// Where the next dialog opens: the folder of the last choice, as the platform's dialog
// remembers it; the working folder at first.
QString& LastFolder() {
    static QString folder;
    return folder;
}

// The detail view's size, type and date columns as wide as what they show, the name taking
// the rest: their default widths cut "19.5 MiB" and "MPEG video" short beside unused room.
void FitDetailColumns(QFileDialog& dialog) {
    auto* details = dialog.findChild<QTreeView*>();
    if (details == nullptr) return;
    QHeaderView& header = *details->header();
    header.setStretchLastSection(false);
    header.setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header.count(); ++column)
        header.setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

}  // namespace

namespace platform {

std::vector<std::string> ShowDefaultFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title), LastFolder());
    // Qt's own dialog everywhere: its patterns ignore case, as the platform's do, and it speaks
    // the application's language.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.allowMultiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    // The filter's name alone, as the platform shows it: its patterns are Qt's to read, not to show.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(QtFilters(request.filter));
    FitDetailColumns(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};

    std::vector<std::string> paths;
    const QStringList chosen = dialog.selectedFiles();
    for (const QString& file : chosen) paths.push_back(QFile::encodeName(file).toStdString());
    if (!chosen.isEmpty()) LastFolder() = QFileInfo(chosen.front()).absolutePath();
    return paths;
}

}  // namespace platform
