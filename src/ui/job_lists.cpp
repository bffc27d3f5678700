#include "ui/job_lists.h"

#include <vector>

#include <sys/stat.h>

#include <QCollator>
#include <QListWidget>
#include <QLocale>
#include <QString>

#include "engine/job_naming.h"

std::string OutputPathForJob(const QListWidget& inputs, const QListWidget& outputs,
                             const std::string& input) {
    std::vector<ListedJob> listed;
    for (int row = 0; row < inputs.count() && row < outputs.count(); ++row)
        listed.push_back({inputs.item(row)->text().toStdString(), outputs.item(row)->text().toStdString()});
    return OutputPathForJob(listed, input, OutputPathFor(input));
}

void MakeOutputFolder(const std::string& output) {
    const std::string::size_type slash = output.rfind('/');
    if (slash == std::string::npos) return;  // the current folder
    // One that exists already is what is wanted; any other failure surfaces at the conversion.
    (void)::mkdir(output.substr(0, slash).c_str(), 0777);
}

int CompareListTexts(const QString& a, const QString& b) {
    static const QCollator collator = [] {
        QCollator made{QLocale()};
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator.compare(a, b);
}

int InsertJob(QListWidget& inputs, QListWidget& outputs, const QString& input, const QString& output) {
    // After every entry that does not sort after it: equal texts keep the order they came in.
    int low = 0;
    int high = inputs.count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (CompareListTexts(input, inputs.item(middle)->text()) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    inputs.insertItem(low, input);
    outputs.insertItem(low, output);
    // A long path loses its middle in its row (its folder's start and its file name show); the
    // whole of it shows on hovering.
    inputs.item(low)->setToolTip(input);
    outputs.item(low)->setToolTip(output);
    return low;
}
