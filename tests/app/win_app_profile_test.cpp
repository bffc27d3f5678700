// The application object's profile: where it lives and how entries and sections go away.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "platform/win_app.h"

namespace {

constexpr char kRegistryKey[] = "Local AppWizard-Generated Applications";

class WinAppProfile : public ::testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setApplicationName(QStringLiteral("tessarel"));
        QDir(ConfigFolder()).removeRecursively();
        m_app.SetRegistryKey(kRegistryKey);
    }

    static QString ConfigFolder() { return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")); }

    // The profile's file as another program would read it.
    static QString Stored(const QString& application, const QString& key) {
        const QSettings file(ConfigFolder() + "/" + kRegistryKey + "/" + application + ".conf",
                             QSettings::IniFormat);
        return file.value(key, QStringLiteral("<none>")).toString();
    }

    WinApp m_app;
};

TEST_F(WinAppProfile, LivesUnderTheRegistryKeyAndTheApplicationName) {
    EXPECT_EQ(AfxGetApp(), &m_app);
    EXPECT_TRUE(m_app.WriteProfileString("RegAT", "trans", "trans"));
    EXPECT_EQ(Stored("tessarel", "RegAT/trans"), "trans");
    EXPECT_EQ(m_app.GetProfileString("RegAT", "trans"), "trans");

    // Another name for the program is another profile, which starts empty.
    QCoreApplication::setApplicationName(QStringLiteral("converter"));
    EXPECT_EQ(m_app.GetProfileString("RegAT", "trans", "off"), "off");
    EXPECT_TRUE(m_app.WriteProfileString("RegAT", "trans", ""));
    EXPECT_EQ(Stored("converter", "RegAT/trans"), "");
    EXPECT_EQ(Stored("tessarel", "RegAT/trans"), "trans");
}

TEST_F(WinAppProfile, MissingEntriesGiveTheDefaultAndTextsComeBackAsWritten) {
    EXPECT_EQ(m_app.GetProfileString("RegAT", "trans"), "");
    EXPECT_EQ(m_app.GetProfileString("RegAT", "trans", "x"), "x");
    const std::string awkward = "逗號, 引號 \" 等號 = 分號 ; 反斜線 \\ 結尾空格 ";
    EXPECT_TRUE(m_app.WriteProfileString("RegAT", "trans", awkward.c_str()));
    EXPECT_EQ(m_app.GetProfileString("RegAT", "trans"), awkward);
}

TEST_F(WinAppProfile, ANullValueRemovesTheEntryAndANullEntryTheSection) {
    m_app.WriteProfileString("RegAT", "trans", "trans");
    m_app.WriteProfileString("RegAT", "other", "1");
    m_app.WriteProfileString("RegAT", "trans", nullptr);
    EXPECT_EQ(m_app.GetProfileString("RegAT", "trans", "gone"), "gone");
    EXPECT_EQ(m_app.GetProfileString("RegAT", "other"), "1");
    m_app.WriteProfileString("RegAT", nullptr, nullptr);
    EXPECT_EQ(m_app.GetProfileString("RegAT", "other", "gone"), "gone");
}

TEST_F(WinAppProfile, WithoutARegistryKeyItIsAFileNamedAfterTheApplication) {
    WinApp unnamed;
    EXPECT_EQ(AfxGetApp(), &unnamed);
    EXPECT_TRUE(unnamed.WriteProfileString("RegAT", "trans", "trans"));
    EXPECT_EQ(
        QSettings(ConfigFolder() + "/tessarel.ini", QSettings::IniFormat).value("RegAT/trans").toString(),
        "trans");
}

}  // namespace
