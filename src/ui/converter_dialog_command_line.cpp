// Files named on the command line, as a file manager's "Open with" names them, become jobs as
// Browse makes them from its dialog's answer.

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "platform/file_dialog.h"
#include "ui/converter_dialog.h"

void ConverterDialog::AddCommandLineFiles(const std::vector<std::string>& files) {
    // As the dialog answers: existing files, not folders, by their full paths, all as one choice.
    std::vector<std::string> chosen;
    for (const std::string& file : files) {
        struct stat status {};
        if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(file, error).lexically_normal();
        if (!error) chosen.push_back(full.string());
    }
    if (chosen.empty()) return;
    AddChosenFiles(ChosenPathText(chosen), chosen);
}
