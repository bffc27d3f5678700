#include "platform/win_app.h"

#include <memory>

#include <QApplication>
#include <QFileInfo>
#include <QSettings>
#include <QString>

#include "platform/desktop_bus.h"
#include "platform/profile_file.h"
#include "platform/qt_seams.h"

namespace {

WinApp* g_application = nullptr;

QString FromUtf8(const char* text) {
    return QString::fromUtf8(text != nullptr ? text : "");
}

// The profile, opened afresh for each call: that is cheap, and so every write is seen at once.
// Without a registry key it is the private profile file "<application name>.ini", beside the
// program's other profile files.
std::unique_ptr<QSettings> OpenProfile(const std::string& registryKey) {
    const QString application = QCoreApplication::applicationName();
    if (registryKey.empty()) {
        const std::string file = (application + QStringLiteral(".ini")).toStdString();
        return std::make_unique<QSettings>(QString::fromStdString(platform::ProfileFilePath(file.c_str())),
                                           QSettings::IniFormat);
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromStdString(registryKey), application);
}

}  // namespace

WinApp::WinApp() {
    g_application = this;
}

WinApp::~WinApp() {
    if (g_application == this) g_application = nullptr;
}

WinApp* AfxGetApp() {
    return g_application;
}

void WinApp::SetRegistryKey(const char* registryKey) {
    m_registryKey = registryKey != nullptr ? registryKey : "";
}

std::string WinApp::GetProfileString(const char* section, const char* entry, const char* defaultValue) const {
    const std::unique_ptr<QSettings> profile = OpenProfile(m_registryKey);
    profile->beginGroup(FromUtf8(section));
    const QVariant value = profile->value(FromUtf8(entry));
    if (!value.isValid()) return defaultValue != nullptr ? defaultValue : "";
    return value.toString().toStdString();
}

bool WinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    const std::unique_ptr<QSettings> profile = OpenProfile(m_registryKey);
    if (entry == nullptr) {
        profile->remove(FromUtf8(section));
    } else {
        profile->beginGroup(FromUtf8(section));
        if (value == nullptr)
            profile->remove(FromUtf8(entry));
        else
            profile->setValue(FromUtf8(entry), FromUtf8(value));
        profile->endGroup();
    }
    profile->sync();
    return profile->status() == QSettings::NoError;
}

int AfxWinMain(int argc, char** argv) {
    QApplication application(argc, argv);
    // As the framework names a program after its executable: renaming it renames the profile.
    if (argc > 0 && argv[0] != nullptr)
        QCoreApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    platform::InstallQtSeams();

    WinApp* app = AfxGetApp();
    if (app == nullptr) return 1;
    if (app->InitInstance()) QApplication::exec();
    // What the window last told the desktop (a run's end) leaves before the application goes.
    platform::EndDesktopBus();
    return app->ExitInstance();
}
