// The compressor box is a drop-down with an edit field: what is typed there decides the
// selection, and so the compressor a run converts with.

#include <QComboBox>
#include <QLineEdit>

#include "conversion_run_fixture.h"

namespace {

namespace fs = std::filesystem;

TEST_F(ConversionRunTest, TypedTextSelectsTheEntryItNamesOrNone) {
    const auto dialog = Start();
    QComboBox& combo = *dialog->m_compressorCombo;
    Click(CheckBox(*dialog, 1019));  // manual mode shows the box
    ASSERT_TRUE(combo.isVisible());
    ASSERT_GE(combo.count(), 2);
    const int automatic = combo.currentIndex();
    const int other = automatic == 0 ? 1 : 0;

    combo.lineEdit()->clear();
    QTest::keyClicks(combo.lineEdit(), combo.itemText(other).toUpper());
    EXPECT_EQ(combo.currentIndex(), other) << "an entry's name, whatever its case";
    EXPECT_EQ(combo.currentText(), combo.itemText(other).toUpper()) << "the typed text stays";

    QTest::keyClicks(combo.lineEdit(), QStringLiteral(" and more"));
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(combo.currentText(), combo.itemText(other).toUpper() + QStringLiteral(" and more"));

    // Converting now would use no compressor: the build says so instead of using another one.
    const fs::path output = AddJob(*dialog, "video_only.avi", "clip.avi");
    PressStart(*dialog);
    EXPECT_EQ(m_messages.Messages(),
              std::vector<std::string>{
                  "無法加入選取的壓縮到圖形.\r\n\r\n輸入檔案可能不相容於選取的編碼.\r\n"
                  "某些編碼 (例如 Windows Media 編碼或已啟用 DRM 編碼)\r\n無法在無適當授權下使用."});
    EXPECT_FALSE(fs::exists(output));

    // Picking an entry from the list selects it again.
    combo.setCurrentIndex(automatic);
    EXPECT_EQ(combo.currentText(), combo.itemText(automatic));
}

}  // namespace
