#include "app/converter_app.h"

#include <QApplication>

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
    // Its result makes no difference: the program ends either way.
    (void)dialog.exec();
    return false;
}
