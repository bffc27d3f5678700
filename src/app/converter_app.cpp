#include "app/converter_app.h"

#include "ui/converter_dialog.h"

namespace {

constexpr char kRegistryKey[] = "Local AppWizard-Generated Applications";

}  // namespace

// The one application object, there before main runs.
ConverterApp theApp;

bool ConverterApp::InitInstance() {
    SetRegistryKey(kRegistryKey);

    ConverterDialog dialog;
    // Its result makes no difference: the program ends either way.
    (void)dialog.exec();
    return false;
}
