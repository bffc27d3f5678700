#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "engine/compressor_setting.h"
#include "engine/message_recorder.h"
#include "media/api/com_object.h"
#include "platform/profile_file.h"
#include "platform/win_app.h"
#include "ui/compression_settings_dialog.h"
#include "ui/converter_dialog.h"
#include "ui/seam_recorders.h"

// Each test starts as a first run: no stored option, no stored compressor. The application
// object names the program's registry key, as the program's own does.
class ConverterDialogTest : public ::testing::Test {
protected:
    static constexpr char kRegistryKey[] = "Local AppWizard-Generated Applications";

    void SetUp() override {
        QFile::remove(QSettings(QSettings::NativeFormat, QSettings::UserScope, kRegistryKey,
                                QCoreApplication::applicationName())
                          .fileName());
        QFile::remove(QString::fromStdString(platform::ProfileFilePath(kSettingsFileName)));
        m_app.SetRegistryKey(kRegistryKey);
    }

    void TearDown() override {
        EXPECT_EQ(media::LiveObjectCount(), 0) << "the window left media objects alive";
    }

    // A window as the program starts it: set up, then shown.
    static std::unique_ptr<ConverterDialog> Start() {
        auto dialog = std::make_unique<ConverterDialog>();
        dialog->show();
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        return dialog;
    }

    static QCheckBox& CheckBox(const ConverterDialog& dialog, int id) {
        auto* box = qobject_cast<QCheckBox*>(dialog.GetDlgItem(id));
        if (box == nullptr) throw std::runtime_error("no check box " + std::to_string(id));
        return *box;
    }

    // A click on the box itself, where the user clicks to tick it.
    static void Click(QCheckBox& box) {
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    }

    // Opens the compression settings from the window's menu, has act do what the user does in
    // them, and presses button (OK, Cancel). False when the dialog did not open.
    static bool InCompressionSettings(ConverterDialog& dialog,
                                      const std::function<void(CompressionSettingsDialog&)>& act,
                                      QDialogButtonBox::StandardButton button = QDialogButtonBox::Ok) {
        bool opened = false;
        // A timer of this call's own: when nothing opens, it never fires after the call.
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* settings = qobject_cast<CompressionSettingsDialog*>(QApplication::activeModalWidget());
            if (settings == nullptr) return;
            opened = true;
            act(*settings);
            settings->findChild<QDialogButtonBox*>()->button(button)->click();
            settings->reject();  // whatever button did
        });
        timer.start(0);
        dialog.SystemMenu().actions().front()->trigger();
        return opened;
    }

    [[nodiscard]] std::string StoredOption() const {
        return m_app.GetProfileString("RegAT", "trans", "<none>");
    }

    WinApp m_app;
    MessageRecorder m_messages;
    // No test shows the real file dialog or starts the desktop's player.
    FileDialogStandIn m_fileDialog;
    DesktopStandIn m_desktop;
};
