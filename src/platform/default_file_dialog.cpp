#include <algorithm>
#include <string>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
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

// The names typed into the name box, as full paths: several each between quotes, one as it is.
QStringList TypedNames(const QFileDialog& dialog, const QString& text) {
    QStringList names;
    if (!text.contains(QLatin1Char('"'))) {
        names << text.trimmed();
    } else {
        const QStringList parts = text.split(QLatin1Char('"'));
        for (qsizetype i = 1; i < parts.size(); i += 2) names << parts[i];
    }
    QStringList paths;
    for (const QString& name : names)
        if (!name.isEmpty()) paths << QFileInfo(dialog.directory(), name).absoluteFilePath();
    return paths;
}

// Qt's dialog takes the list's selection for the answer when there is one, and typing names
// selects those the filter shows: a typed name the filter hides was dropped. Every typed name
// counts, as in the platform's dialog; the filter only chooses what the list shows.
class OpenDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* list = findChild<QListView*>(QStringLiteral("listView"));
        if (nameBox != nullptr && list != nullptr && list->selectionModel() != nullptr) {
            const QStringList typed = TypedNames(*this, nameBox->text());
            const QStringList selected = selectedFiles();
            const bool typedMore = std::any_of(typed.begin(), typed.end(),
                                               [&](const QString& path) { return !selected.contains(path); });
            // Without a selection the dialog reads the name box itself, and checks every name.
            if (typedMore) list->selectionModel()->clearSelection();
        }
        QFileDialog::accept();
    }
};

}  // namespace

namespace platform {

std::vector<std::string> ShowDefaultFileDialog(const FileDialogRequest& request) {
    OpenDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title), LastFolder());
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
