#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QFile>
#include <QSettings>
#include <QTest>

#include "engine/compressor_setting.h"
#include "engine/message_recorder.h"
#include "media/api/com_object.h"
#include "platform/profile_file.h"
#include "platform/win_app.h"
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

    [[nodiscard]] std::string StoredOption() const {
        return m_app.GetProfileString("RegAT", "trans", "<none>");
    }

    WinApp m_app;
    MessageRecorder m_messages;
    // No test shows the real file dialog or starts the desktop's player.
    FileDialogStandIn m_fileDialog;
    DesktopStandIn m_desktop;
};
