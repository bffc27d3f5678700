// Browse and dropped files: the job lists through the file-dialog seam, with real folders.

#include <algorithm>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QFileInfo>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "converter_dialog_fixture.h"
#include "skin/skin_button.h"
#include "ui/job_lists.h"

namespace {

class BrowseTest : public ConverterDialogTest {
protected:
    void SetUp() override {
        ConverterDialogTest::SetUp();
        ASSERT_TRUE(m_folder.isValid());
        m_dialog = Start();
    }
    void TearDown() override {
        m_dialog.reset();
        ConverterDialogTest::TearDown();
    }

    // A file of that name in the test's folder, made so; its full path.
    std::string File(const QString& name) {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        return path.toStdString();
    }
    [[nodiscard]] std::string InFolder(const QString& name) const {
        return m_folder.filePath(name).toStdString();
    }

    void Browse(std::vector<std::string> chosen) {
        m_fileDialog.Choose(std::move(chosen));
        QTest::mouseClick(m_dialog->m_btnBrowse, Qt::LeftButton);
    }

    // Each job as "input -> output", top to bottom.
    [[nodiscard]] std::vector<std::string> Jobs() const {
        std::vector<std::string> jobs;
        EXPECT_EQ(m_dialog->m_inputList->count(), m_dialog->m_outputList->count());
        for (int row = 0; row < m_dialog->m_inputList->count(); ++row) {
            const QString output =
                row < m_dialog->m_outputList->count() ? m_dialog->m_outputList->item(row)->text() : QString();
            jobs.push_back((m_dialog->m_inputList->item(row)->text() + " -> " + output).toStdString());
        }
        return jobs;
    }
    [[nodiscard]] std::string Job(const QString& input, const QString& output) const {
        return (m_folder.filePath(input) + " -> " + m_folder.filePath(output)).toStdString();
    }

    void Drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_dialog.get(), &enter);
        m_dropWelcome = enter.isAccepted();
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_dialog.get(), &drop);
    }

    QTemporaryDir m_folder;
    std::unique_ptr<ConverterDialog> m_dialog;
    bool m_dropWelcome = false;
};

TEST_F(BrowseTest, TheDialogIsAskedForSeveralVideoFilesUnderItsTitle) {
    Browse({});
    ASSERT_EQ(m_fileDialog.Requests().size(), 1U);
    const FileDialogRequest& request = m_fileDialog.Requests().front();
    EXPECT_EQ(request.title, "選取輸入檔案...");
    EXPECT_EQ(request.filter, "Video Files (.mpg;.mpeg;.avi;.qt;.mov)|*.mpg;*.mpeg;*.avi;*.qt;*.mov||");
    EXPECT_TRUE(request.allowMultiple);
    // Cancelled: nothing changes, nothing is said.
    EXPECT_TRUE(Jobs().empty());
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_FALSE(QDir(m_folder.filePath("converted")).exists());
}

TEST_F(BrowseTest, ChosenFilesBecomeSortedPairsAndTheirFolderIsMadeWithDefaultPermissions) {
    m_dialog->EnableJobButtons(false);
    Browse({File("b.mpg"), File("C.MOV"), File("a.avi"), File("noext")});
    EXPECT_EQ(Jobs(), (std::vector<std::string>{
                          Job("a.avi", "converted/a.avi"), Job("b.mpg", "converted/b.avi"),
                          Job("C.MOV", "converted/C.avi"), Job("noext", "converted/noext.avi")}));
    EXPECT_TRUE(m_dialog->m_btnStart->isEnabled());
    EXPECT_TRUE(m_dialog->m_btnPlayInput->isEnabled());
    EXPECT_TRUE(m_messages.Messages().empty());

    struct stat status {};
    ASSERT_EQ(::stat(InFolder("converted").c_str(), &status), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0777 & ~mask);

    // A second Browse adds to the lists, in order; the folder that exists already is no matter.
    Browse({File("ab.mpeg")});
    EXPECT_EQ(Jobs().size(), 5U);
    EXPECT_EQ(Jobs()[1], Job("ab.mpeg", "converted/ab.avi"));
}

TEST_F(BrowseTest, AnInputStaysWithItsOutputWhereTheirNamesSortDifferently) {
    // Sorted alone, the outputs would read x.avi, x.b.avi: the wrong way round.
    Browse({File("x.mpg"), File("x.b.avi")});
    EXPECT_EQ(Jobs(), (std::vector<std::string>{Job("x.b.avi", "converted/x.b.avi"),
                                                Job("x.mpg", "converted/x.avi")}));
}

TEST_F(BrowseTest, DifferentInputsWithOneBaseNameGetDistinctOutputsAndOneFileKeepsItsOwn) {
    Browse({File("clip.mpg"), File("clip.mov")});
    Browse({File("clip.qt"), InFolder("clip.mov")});
    EXPECT_EQ(Jobs(),
              (std::vector<std::string>{
                  Job("clip.mov", "converted/clip (2).avi"), Job("clip.mov", "converted/clip (2).avi"),
                  Job("clip.mpg", "converted/clip.avi"), Job("clip.qt", "converted/clip (3).avi")}));
    // An input whose own name is a numbered one goes on past the names taken.
    Browse({File("clip (2).avi")});
    const std::vector<std::string> jobs = Jobs();
    EXPECT_NE(std::find(jobs.begin(), jobs.end(), Job("clip (2).avi", "converted/clip (2) (2).avi")),
              jobs.end());
}

TEST_F(BrowseTest, ListsSortIgnoringCase) {
    Browse({File("Beta.avi"), File("alpha.avi"), File("ALPHA2.avi"), File("beta1.avi")});
    std::vector<QString> inputs;
    for (int row = 0; row < m_dialog->m_inputList->count(); ++row)
        inputs.push_back(QFileInfo(m_dialog->m_inputList->item(row)->text()).fileName());
    EXPECT_EQ(inputs, (std::vector<QString>{"alpha.avi", "ALPHA2.avi", "Beta.avi", "beta1.avi"}));
}

TEST_F(BrowseTest, ChoicesThatDoNotFitTheResultBufferAddNothingAndSayNothing) {
    // A choice of several files takes the folder, each name and a terminator for each, and one
    // more: padded to exactly 16000 bytes it fits, one byte more does not.
    const std::string folder = m_folder.path().toStdString();
    std::vector<std::string> chosen;
    std::size_t bytes = folder.size() + 2;
    for (int i = 0; bytes + 200 < 16000; ++i) {
        const std::string name = std::string(190, 'v') + std::to_string(1000 + i) + ".avi";
        chosen.push_back(folder + "/" + name);
        bytes += name.size() + 1;
    }
    const std::string lastName(16000 - bytes - 1 - 4, 'w');
    chosen.push_back(folder + "/" + lastName + ".avi");
    ASSERT_EQ(ResultBufferBytes(chosen), 16000U);

    std::vector<std::string> tooMany = chosen;
    tooMany.back() = folder + "/" + lastName + "w.avi";
    Browse(tooMany);
    EXPECT_TRUE(Jobs().empty());
    EXPECT_TRUE(m_messages.Messages().empty());

    Browse(chosen);
    EXPECT_EQ(Jobs().size(), chosen.size());
}

TEST_F(BrowseTest, APathTextOfFewerThanThreeCharactersIsRefused) {
    // Several files at the root: the path text is "/". In a one-letter folder there: "/a".
    for (const std::vector<std::string>& chosen :
         {std::vector<std::string>{"/a.mpg", "/b.mpg"}, std::vector<std::string>{"/a/x.mpg", "/a/y.mpg"}}) {
        m_messages.Clear();
        Browse(chosen);
        EXPECT_TRUE(Jobs().empty());
        EXPECT_EQ(m_messages.Messages(), std::vector<std::string>{"檔案名稱無效"});
    }
    // Two letters are enough (the folder can't be made there, which is no matter here).
    m_messages.Clear();
    Browse({"/ab/x.mpg", "/ab/y.mpg"});
    EXPECT_EQ(Jobs(), (std::vector<std::string>{"/ab/x.mpg -> /ab/converted/x.avi",
                                                "/ab/y.mpg -> /ab/converted/y.avi"}));
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(BrowseTest, DroppedVideoFilesAreAddedAndEverythingElseIsPassedOver) {
    QDir(m_folder.path()).mkpath("folder.avi");
    const QList<QUrl> urls = {QUrl::fromLocalFile(QString::fromStdString(File("Loud.MPG"))),
                              QUrl::fromLocalFile(QString::fromStdString(File("notes.txt"))),
                              QUrl::fromLocalFile(m_folder.filePath("folder.avi")),
                              QUrl::fromLocalFile(m_folder.filePath("missing.avi")),
                              QUrl(QStringLiteral("https://example.invalid/remote.avi")),
                              QUrl::fromLocalFile(QString::fromStdString(File("quiet.Mov")))};
    Drop(urls);
    EXPECT_TRUE(m_dropWelcome);
    EXPECT_EQ(Jobs(), (std::vector<std::string>{Job("Loud.MPG", "converted/Loud.avi"),
                                                Job("quiet.Mov", "converted/quiet.avi")}));
    EXPECT_TRUE(QDir(m_folder.filePath("converted")).exists());

    // Nothing of use: not welcome, and nothing happens.
    Drop({QUrl::fromLocalFile(m_folder.filePath("notes.txt"))});
    EXPECT_FALSE(m_dropWelcome);
    EXPECT_EQ(Jobs().size(), 2U);

    // While a conversion runs Browse is off, and so are drops.
    m_dialog->m_btnBrowse->setEnabled(false);
    Drop({QUrl::fromLocalFile(QString::fromStdString(File("late.avi")))});
    EXPECT_FALSE(m_dropWelcome);
    EXPECT_EQ(Jobs().size(), 2U);
}

}  // namespace
