#include "ui/job_lists.h"

#include <QCollator>
#include <QListWidget>
#include <QLocale>
#include <QString>

#include "platform/file_dialog.h"

namespace {

constexpr char kOutputFolderName[] = "converted";
constexpr char kOutputExtension[] = ".avi";

std::string BaseNameOf(const std::string& input) {
    const auto slash = input.rfind('/');
    const std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The output listed for another input than input, equal to candidate.
bool TakenByAnotherInput(const QListWidget& inputs, const QListWidget& outputs, const QString& input,
                         const QString& candidate) {
    for (int row = 0; row < outputs.count() && row < inputs.count(); ++row)
        if (outputs.item(row)->text() == candidate && inputs.item(row)->text() != input) return true;
    return false;
}

}  // namespace

std::string OutputPathFor(const std::string& input) {
    const std::string folder = FolderOf(input);
    // The root folder's own text ends in "/" already.
    const std::string parent = folder == "/" ? std::string() : folder;
    return parent + "/" + kOutputFolderName + "/" + BaseNameOf(input) + kOutputExtension;
}

std::string OutputPathForJob(const QListWidget& inputs, const QListWidget& outputs,
                             const std::string& input) {
    const QString inputText = QString::fromStdString(input);
    for (int row = 0; row < inputs.count() && row < outputs.count(); ++row)
        if (inputs.item(row)->text() == inputText) return outputs.item(row)->text().toStdString();

    const std::string natural = OutputPathFor(input);
    const std::string stem = natural.substr(0, natural.size() - (sizeof(kOutputExtension) - 1));
    std::string candidate = natural;
    for (int number = 2; TakenByAnotherInput(inputs, outputs, inputText, QString::fromStdString(candidate));
         ++number)
        candidate = stem + " (" + std::to_string(number) + ")" + kOutputExtension;
    return candidate;
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
    return low;
}
