// The compressor list: the catalogue with the automatic choice bound at start-up, the user's
// choice kept at once, manual mode, and each compressor's compression settings.

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QSet>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>

#include "converter_dialog_fixture.h"
#include "engine/compression_setting.h"
#include "engine/compressor_catalogue.h"
#include "engine/compressor_setting.h"
#include "media/catalogue/compressor_catalogue.h"
#include "platform/profile_file.h"
#include "support/samples_dir.h"

namespace {

std::vector<std::string> Entries(const QComboBox& combo) {
    std::vector<std::string> entries;
    for (int i = 0; i < combo.count(); ++i) entries.push_back(combo.itemText(i).toStdString());
    return entries;
}

// Moves the selection one entry, as the arrow keys do.
void PickAnotherEntry(QComboBox& combo) {
    QTest::keyClick(&combo, combo.currentIndex() > 0 ? Qt::Key_Up : Qt::Key_Down);
}

TEST_F(ConverterDialogTest, TheListHoldsTheCatalogueWithTheXvidCompressorSelectedAndBound) {
    std::vector<std::string> catalogue;
    LONG automatic = -1;
    ASSERT_EQ(EnumerateCompressors(catalogue, automatic), S_OK);
    ASSERT_GE(automatic, 0) << "the test needs an Xvid compressor installed";

    const auto dialog = Start();
    EXPECT_EQ(Entries(*dialog->m_compressorCombo), catalogue);
    EXPECT_EQ(dialog->m_autoCompressorIndex, automatic);
    EXPECT_EQ(dialog->m_compressorCombo->currentIndex(), automatic);
    EXPECT_NE(dialog->m_compressorCombo->currentText().toLower().indexOf(QStringLiteral("xvid")), -1);
    EXPECT_TRUE(dialog->m_compressorFilter);
}

TEST_F(ConverterDialogTest, ASelectionChangeIsStoredAtOnceAndTheNextStartStillPicksTheAutomaticChoice) {
    LONG automatic = -1;
    {
        const auto dialog = Start();
        automatic = dialog->m_autoCompressorIndex;
        ASSERT_GE(dialog->m_compressorCombo->count(), 2);
        Click(CheckBox(*dialog, 1019));
        PickAnotherEntry(*dialog->m_compressorCombo);
        const int picked = dialog->m_compressorCombo->currentIndex();
        ASSERT_NE(picked, automatic);
        EXPECT_EQ(ReadStoredCompressorIndex(), picked);
        EXPECT_TRUE(dialog->m_compressorFilter);
        // The handler read the check boxes first.
        EXPECT_EQ(dialog->m_manualCodec, TRUE);
    }
    const auto dialog = Start();
    EXPECT_EQ(dialog->m_compressorCombo->currentIndex(), automatic);
}

TEST_F(ConverterDialogTest, ManualModeShowsTheListAndParksTheAutomaticChoice) {
    const auto dialog = Start();
    const LONG automatic = dialog->m_autoCompressorIndex;
    QWidget* label = dialog->GetDlgItem(1020);
    QCheckBox& manual = CheckBox(*dialog, 1019);

    Click(manual);
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(dialog->m_compressorCombo->isVisible());
    EXPECT_EQ(dialog->m_autoCompressorIndex, -2);
    EXPECT_EQ(dialog->m_savedAutoCompressorIndex, automatic);

    PickAnotherEntry(*dialog->m_compressorCombo);
    const int picked = dialog->m_compressorCombo->currentIndex();

    Click(manual);
    EXPECT_FALSE(label->isVisible());
    EXPECT_FALSE(dialog->m_compressorCombo->isVisible());
    EXPECT_EQ(dialog->m_autoCompressorIndex, automatic);
    // The list keeps what the user picked: a conversion uses it, shown or not.
    EXPECT_EQ(dialog->m_compressorCombo->currentIndex(), picked);
}

TEST_F(ConverterDialogTest, CompressionSettingsAreKeptPerCompressorThroughTheDialog) {
    const auto dialog = Start();
    const std::string xvid = dialog->m_compressorCombo->currentText().toStdString();
    const std::string other = dialog->m_compressorCombo->itemText(0).toStdString();
    ASSERT_NE(xvid, other);
    EXPECT_EQ(dialog->SystemMenu().actions().front()->text(), QStringLiteral("壓縮設定..."));

    const CompressionChoice chosen{.quality = 0.3,
                                   .keyFrameRate = 50,
                                   .largest = {1000, 500},
                                   .audio = AudioChoice::Mp3OrAc3,
                                   .player = PlayerProfile::HomeTheater};
    dialog->m_inputList->addItem(QString::fromStdString(testsupport::SamplePath("two_hour_film.mp4").string()));
    ASSERT_TRUE(InCompressionSettings(*dialog, [&](CompressionSettingsDialog& settings) {
        EXPECT_EQ(settings.Choice(), CompressionChoice{}) << "nothing stored: the compressor's own";
        settings.ShowChoice(chosen);
        // For players, the rate the listed two-hour film gets to fit one file.
        EXPECT_TRUE(std::ranges::any_of(settings.findChildren<QLabel*>(), [&](const QLabel* label) {
            return label->isVisibleTo(&settings) && label->text().startsWith(QStringLiteral("清單中最長的影片以 2"));
        }));
    }));
    EXPECT_EQ(ReadStoredCompressionChoice(xvid), chosen);
    EXPECT_EQ(ReadStoredCompressionChoice(other), CompressionChoice{});
    // Shown again as stored; Cancel keeps it, a data rate replaces the quality, and the
    // defaults button stores nothing.
    InCompressionSettings(
        *dialog,
        [&](CompressionSettingsDialog& settings) {
            EXPECT_EQ(settings.Choice(), chosen);
            settings.ShowChoice({.dataRate = 1'500'000, .largest = {}});
        },
        QDialogButtonBox::Cancel);
    EXPECT_EQ(ReadStoredCompressionChoice(xvid), chosen);
    InCompressionSettings(*dialog, [](CompressionSettingsDialog& settings) {
        settings.ShowChoice({.quality = 0.9, .dataRate = 1'500'000, .largest = {}});
    });
    EXPECT_EQ(ReadStoredCompressionChoice(xvid), (CompressionChoice{.dataRate = 1'500'000, .largest = {}}));
    InCompressionSettings(*dialog, [](CompressionSettingsDialog& settings) {
        settings.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::RestoreDefaults)->click();
    });
    EXPECT_EQ(ReadStoredCompressionChoice(xvid), CompressionChoice{});

    EXPECT_TRUE(m_messages.Messages().empty());
}

// From the keyboard: Tab reaches every field and every button, Enter after 預設值 is OK's, and a
// field changed by hand after a preset shows 自訂. A read-only settings file is kept as it is.
TEST_F(ConverterDialogTest, CompressionSettingsFromTheKeyboardAndAFileThatCannotBeWritten) {
    const auto dialog = Start();
    ASSERT_TRUE(InCompressionSettings(
        *dialog,
        [&](CompressionSettingsDialog& settings) {
            settings.activateWindow();
            QApplication::processEvents();
            auto* presets = settings.findChild<QComboBox*>();
            presets->setCurrentIndex(0);
            emit presets->activated(0);
            QSpinBox* keyFrames = nullptr;
            for (QSpinBox* field : settings.findChildren<QSpinBox*>())
                if (!field->specialValueText().isEmpty()) keyFrames = field;
            QTest::keyClick(keyFrames, Qt::Key_Up);
            EXPECT_EQ(presets->currentIndex(), -1);
            EXPECT_EQ(presets->placeholderText(), QStringLiteral("自訂"));

            presets->setFocus();
            QSet<QWidget*> reached;
            for (int i = 0; i < 20; ++i, QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab))
                reached << QApplication::focusWidget();
            auto* buttons = settings.findChild<QDialogButtonBox*>();
            for (QAbstractButton* button : buttons->buttons())
                EXPECT_TRUE(reached.contains(button)) << button->text().toStdString();
            QTest::mouseClick(buttons->button(QDialogButtonBox::RestoreDefaults), Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            EXPECT_EQ(settings.result(), QDialog::Accepted);
        },
        QDialogButtonBox::Cancel));

    const std::string file = platform::ProfileFilePath(kSettingsFileName);
    // Kept as it is (profile_file_test.cpp); the message names it.
    std::ofstream(file, std::ios::app) << "; by hand\n";
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    ASSERT_TRUE(InCompressionSettings(*dialog, [](CompressionSettingsDialog& settings) {
        settings.ShowChoice({.keyFrameRate = 10, .largest = {}});
    }));
    EXPECT_EQ(m_messages.Messages(),
              std::vector<std::string>{"無法儲存壓縮設定, 請確認可以寫入設定檔 " + file});
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
}

class WithoutAutomaticChoice : public ConverterDialogTest {
protected:
    void SetUp() override {
        ConverterDialogTest::SetUp();
        media::SetCompressorCatalogueForTesting({{.friendlyName = "Motion JPEG", .encoderName = "mjpeg"},
                                                 {.friendlyName = "MPEG-4 part 2", .encoderName = "mpeg4"},
                                                 {.friendlyName = "Huffyuv", .encoderName = "huffyuv"}});
    }
    void TearDown() override {
        media::ResetCompressorCatalogueForTesting();
        ConverterDialogTest::TearDown();
    }
};

TEST_F(WithoutAutomaticChoice, TheStoredIndexIsSelectedAndBound) {
    {
        const auto dialog = Start();  // nothing stored: the second entry
        EXPECT_EQ(dialog->m_autoCompressorIndex, -1);
        EXPECT_EQ(dialog->m_compressorCombo->currentIndex(), 1);
        EXPECT_TRUE(dialog->m_compressorFilter);
    }
    StoreCompressorIndex(2);
    const auto dialog = Start();
    EXPECT_EQ(dialog->m_compressorCombo->currentIndex(), 2);
    EXPECT_TRUE(dialog->m_compressorFilter);
}

TEST_F(WithoutAutomaticChoice, AStoredIndexOutsideTheListSelectsAndBindsNothingSilently) {
    for (const LONG stored : {3, -1}) {
        StoreCompressorIndex(stored);
        const auto dialog = Start();
        EXPECT_EQ(dialog->m_compressorCombo->currentIndex(), -1) << stored;
        EXPECT_FALSE(dialog->m_compressorFilter) << stored;
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(WithoutAutomaticChoice, WhatTheCompressorDoesNotSupportIsGreyedAndStoredAsItsDefault) {
    const auto dialog = Start();
    dialog->m_compressorCombo->setCurrentIndex(2);  // Huffyuv: lossless, nothing to set
    dialog->OnSelchangeCompressor();
    ASSERT_TRUE(InCompressionSettings(*dialog, [](CompressionSettingsDialog& settings) {
        EXPECT_FALSE(settings.findChild<QSlider*>()->isEnabled());
        // Key frames and data rate greyed; the picture's own size shows only when chosen.
        for (const QSpinBox* box : settings.findChildren<QSpinBox*>())
            EXPECT_FALSE(box->isEnabled() && box->isVisibleTo(&settings)) << box->suffix().toStdString();
        settings.ShowChoice({.quality = 0.2, .keyFrameRate = 7, .largest = {}, .audio = AudioChoice::Mp3});
    }));
    EXPECT_EQ(ReadStoredCompressionChoice("Huffyuv"),
              (CompressionChoice{.largest = {}, .audio = AudioChoice::Mp3}));
}

}  // namespace
