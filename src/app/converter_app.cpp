#include "app/converter_app.h"

#include <string>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTimer>

#include "platform/one_window.h"
#include "ui/application_language.h"
#include "ui/converter_dialog.h"

namespace {

constexpr char kRegistryKey[] = "Local AppWizard-Generated Applications";

}  // namespace

// The one application object, there before main runs.
ConverterApp theApp;

bool ConverterApp::InitInstance() {
    SetRegistryKey(kRegistryKey);
    if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
        (void)UseApplicationLanguage(*application);

    ConverterDialog dialog;
    // Files named on the command line (a file manager's "Open with") join the lists once the
    // window is up, as if chosen with Browse; when the window is open already, they join its lists
    // and this start ends.
    std::vector<std::string> files;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        files.push_back(QFile::encodeName(arguments[i]).toStdString());
    const platform::StartPlace place = platform::ClaimOneWindow(
        files, [&dialog](const std::vector<std::string>& opened) { dialog.OpenFromDesktop(opened); });
    if (place == platform::StartPlace::OneWindow) {
        if (!files.empty())
            QTimer::singleShot(0, &dialog, [&dialog, files] { dialog.AddCommandLineFiles(files); });
        // Its result makes no difference: the program ends either way.
        (void)dialog.exec();
    }
    platform::ReleaseOneWindow();
    return false;
}
