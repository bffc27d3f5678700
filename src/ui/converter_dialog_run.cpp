// The conversion run: Start converts every job of the lists, top to bottom, inside this one
// handler on the user-interface thread. It waits for each job's graph in short slices and
// serves the window's events between them, so the window stays responsive and can follow the
// job's progress.

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

#include "engine/conversion_job.h"
#include "engine/engine_messages.h"
#include "engine/job_ending.h"
#include "engine/job_percent.h"
#include "platform/desktop_notification.h"
#include "platform/launcher_progress.h"
#include "platform/message_box.h"
#include "platform/power_off.h"
#include "platform/sleep_inhibitor.h"
#include "platform/win_types.h"
#include "text/message_catalogue.h"
#include "ui/converter_dialog.h"
#include "ui/job_lists.h"
#include "ui/keys_during_run.h"
#include "ui/run_messages.h"
#include "ui_main_window.h"

namespace {

// The platform's progress control shows a position past its range as full (or empty);
// QProgressBar ignores such a value and keeps its old one.
void SetProgressPosition(QProgressBar& bar, int percent) {
    bar.setValue(ShownPercent(percent));
}

// The build's messages after which it goes on; every other one is its failure.
bool IsBuildWarning(const std::string& text) {
    return text == kCannotRunWithoutClock || text == kUnknownDuration || text == kFilmTooLongForOneFile;
}

}  // namespace

// ---- the run's extent --------------------------------------------------------------------------

class ConverterDialog::RunInProgress {
public:
    // What a message box shown now means for the run.
    enum class Boxes {
        LetItGoOn,    // the run goes on after it (the probe's)
        EndIt,        // the run ends with it (a name too long, a failed build or job), but for a warning
        AreNotItsOwn  // while a job converts: another handler's (the transparent-buttons note)
    };

    explicit RunInProgress(ConverterDialog& dialog)
        : m_dialog(dialog), m_awake(InhibitSleep(Translated(kCompressingToOutput))), m_keys(dialog) {
        m_dialog.m_runInProgress = true;
        m_dialog.m_run = this;
        m_dialog.UpdateCompressionSettingsEntry();
        m_dialog.m_runTitle = m_dialog.windowTitle();
        m_messages = SetMessageBoxHandler([this](const std::string& text) {
            const bool ours = m_boxes != Boxes::AreNotItsOwn;
            if (ours) BeforeBox(text);
            const int answer = m_messages ? m_messages(text) : platform::WriteMessageToErrorOutput(text);
            if (ours) AfterBox(text);
            return answer;
        });
    }

    ~RunInProgress() {
        SetMessageBoxHandler(std::move(m_messages));
        // A run closed meanwhile, or one whose failure showed no message, ends quietly.
        EndForDesktop({});
        m_dialog.setWindowTitle(m_dialog.m_runTitle);
        m_dialog.m_runTitle.clear();
        m_dialog.m_run = nullptr;
        m_dialog.m_runInProgress = false;
        m_dialog.UpdateCompressionSettingsEntry();
        // The window was asked to end while the run's handler was on the stack; it ends now that
        // the handler returns. Otherwise files asked for meanwhile join the lists.
        if (const std::optional<int> result = std::exchange(m_dialog.m_deferredDone, std::nullopt))
            m_dialog.done(*result);
        else if (!m_dialog.m_filesAfterRun.empty())
            m_dialog.AddCommandLineFiles(std::exchange(m_dialog.m_filesAfterRun, {}));
    }

    RunInProgress(const RunInProgress&) = delete;
    RunInProgress& operator=(const RunInProgress&) = delete;

    // A new job begins: the desktop is told of its first box again.
    void NextJob() { m_firstBox.reset(); }

    // What the boxes shown from now on mean, until told otherwise.
    void BoxesNow(Boxes meaning) { m_boxes = meaning; }

    // The run's progress on the task bar's icon, kept to be shown again after a box.
    void ShowProgress(const LauncherProgress& progress) {
        m_progress = progress;
        if (!m_endedForDesktop && m_awake) ShowLauncherProgress(progress);
    }

    // Every job is done: said on the desktop too when the user is elsewhere.
    void Complete() {
        EndForDesktop(UserIsAway() ? std::optional<std::string>(kCompressionComplete) : std::nullopt);
    }

private:
    // The user is away when none of the program's windows is active, or the window is minimised;
    // a message box of its own counts as the program's.
    [[nodiscard]] bool UserIsAway() const {
        return QApplication::activeWindow() == nullptr || m_dialog.isMinimized();
    }

    [[nodiscard]] bool EndsTheRun(const std::string& text) const {
        return m_boxes == Boxes::EndIt && !IsBuildWarning(text);
    }

    // A box that waits for the user never holds the desktop: the machine may sleep and the task
    // bar shows no progress meanwhile, and a user who is elsewhere hears of it. Whether the user
    // is looking is judged at the job's first box, which names what happened: by a later box the
    // first one, not the window, may be the active window, or none yet.
    void BeforeBox(const std::string& text) {
        if (!m_firstBox) m_firstBox = FirstBox{text, UserIsAway()};
        std::optional<std::string> notification;
        if (m_firstBox->away && !std::exchange(m_firstBox->told, true)) notification = m_firstBox->message;
        if (EndsTheRun(text)) {
            EndForDesktop(notification);
            return;
        }
        if (m_endedForDesktop) return;
        m_awake.reset();
        if (m_progress.shown) ShowLauncherProgress({});
        if (notification)
            ShowDesktopNotification(m_dialog.m_runTitle.toStdString(), Translated(notification->c_str()));
    }

    // The run goes on after the box: the machine is kept awake again, the progress shown again.
    void AfterBox(const std::string& text) {
        if (EndsTheRun(text) || m_endedForDesktop || m_awake) return;
        m_awake = InhibitSleep(Translated(kCompressingToOutput));
        if (m_progress.shown) ShowLauncherProgress(m_progress);
    }

    // The machine may sleep again and the task bar shows no progress; notification, when given,
    // goes out too. Once per run: later calls do nothing.
    void EndForDesktop(const std::optional<std::string>& notification) {
        if (m_endedForDesktop) return;
        m_endedForDesktop = true;
        m_awake.reset();
        ShowLauncherProgress({});
        if (notification)
            ShowDesktopNotification(m_dialog.m_runTitle.toStdString(), Translated(notification->c_str()));
    }

    struct FirstBox {
        std::string message;
        bool away = false;
        bool told = false;  // the desktop has heard of it
    };

    ConverterDialog& m_dialog;
    std::unique_ptr<SleepInhibition> m_awake;  // null while a box waits, and once the run has ended
    KeysDuringRun m_keys;
    MessageBoxHandler m_messages;
    LauncherProgress m_progress;         // the last shown by the run
    std::optional<FirstBox> m_firstBox;  // the current job's
    Boxes m_boxes = Boxes::EndIt;
    bool m_endedForDesktop = false;
};

// ---- the run ------------------------------------------------------------------------------------

void ConverterDialog::PumpMessages() {
    QCoreApplication::processEvents();
}

void ConverterDialog::OnStartConversion() {
    // The Start button is disabled while a job runs; nothing else may start a second run.
    if (m_runInProgress) return;

    // The boxes as the user left them: the probe writes the members back to the controls, which
    // would otherwise undo every tick made since the last exchange (power-off among them).
    UpdateData(true);
    // An earlier run's "done" must not stand over whatever this one says, failures included.
    const QRect statusArea(m_ui->statusText->mapTo(this, QPoint(0, 0)), m_ui->statusText->size());
    m_status.clear();
    UpdateData(false);
    update(statusArea);

    if (m_inputList->count() < 1) {
        AfxMessageBox(kChooseInputFilesFirst, MB_OK);
        return;
    }
    if (m_autoCompressorIndex == -1) AfxMessageBox(kNoDivXCompressor, MB_OK);

    RunInProgress run(*this);
    for (int row = 0; row < m_inputList->count(); ++row) {
        run.NextJob();
        // Bytes, not characters: the narrow text is what the path limit counts.
        if (m_inputList->item(row)->text().toStdString().size() > MAX_PATH - 1) {
            run.BoxesNow(RunInProgress::Boxes::EndIt);
            AfxMessageBox(kFileNameTooLong, MB_OK);
            return;
        }

        run.BoxesNow(RunInProgress::Boxes::LetItGoOn);
        ProbeAudioStream(row);
        m_inputList->setCurrentRow(row);
        m_outputList->setCurrentRow(row);
        UpdateData(true);
        OnStopPlayback();
        ReleasePreviewGraph();

        // The folder may have gone since the job was listed.
        MakeOutputFolder(m_outputPath);
        ConversionJob job;
        run.BoxesNow(RunInProgress::Boxes::EndIt);
        if (FAILED(job.Start(m_inputPath, m_outputPath, m_compressorCombo->currentIndex(),
                             m_keepAudio != FALSE, m_ignoreWarnings != FALSE, m_compressorFilter,
                             ExistingOutput::Replace, SelectedCompressionChoice())))
            return;
        run.BoxesNow(RunInProgress::Boxes::AreNotItsOwn);

        // Running state. The status line is drawn over the skin, so its old text goes by
        // repainting the background beneath it.
        m_status.clear();
        UpdateData(false);
        update(statusArea);
        m_status = Translated(kCompressingToOutput);  // shown by the wait's first slice
        {
            const FocusStaysPut focusStays(*this);
            EnableJobButtons(false);
            m_btnBrowse->setEnabled(false);
        }
        // The title moves on to this job at once, not at the first slice of its wait.
        ShowRunPlace(row, 0);

        const LONG eventCode = WaitForJob(job, row);

        // End of the job, however it ended. Stopping completes the output file.
        const HRESULT completed = job.Stop();
        SetProgressPosition(*m_progress, 0);
        m_status.clear();
        UpdateData(false);
        update(statusArea);
        EnableJobButtons(true);
        m_btnBrowse->setEnabled(true);
        UpdateData(false);
        job.TearDown();
        // Between jobs no job's percent is shown: a failure's message that follows stands
        // under the program's own title.
        setWindowTitle(m_runTitle);

        // A run ended by closing the window has not converted the list: nothing is complete
        // and nothing switches off.
        if (m_closeRequested) return;
        // Only a job that reached its end, with its file in place, is done. One that failed
        // part-way, or whose file could not be completed, ends the run the way a failed build
        // does, its row still selected.
        if (!JobSucceeded(eventCode, completed)) {
            run.BoxesNow(RunInProgress::Boxes::EndIt);
            AfxMessageBox(kConversionFailed, MB_OK);
            return;
        }
    }

    m_status = Translated(kCompressionComplete);
    // Also takes the power-off box as the user last left it, however late in the run.
    UpdateData(false);
    run.Complete();
    if (m_powerOff != FALSE && m_outputList->count() >= 1) (void)ExitWindowsEx(EWX_SHUTDOWN | EWX_FORCE, 0);
}

LONG ConverterDialog::WaitForJob(ConversionJob& job, int row) {
    const auto keepWaiting = [this] {
        PumpMessages();
        return !m_closeRequested;
    };
    const auto progressed = [this, row](int percent) {
        SetProgressPosition(*m_progress, percent);
        // Also puts back any bound check box the user clicked during the job, but for power-off.
        UpdateData(false);
        ShowRunPlace(row, m_progress->value());
        emit JobProgressed(row, percent);
    };
    return job.WaitForEnd(keepWaiting, progressed);
}

void ConverterDialog::ShowRunPlace(int row, int shownPercent) {
    // The lists may have been cleared during the job; the job itself still counts.
    const int rows = std::max(m_inputList->count(), row + 1);
    setWindowTitle(
        QStringLiteral("%1 - %2/%3 - %4%").arg(m_runTitle).arg(row + 1).arg(rows).arg(shownPercent));
    if (m_run != nullptr) m_run->ShowProgress({true, (row + shownPercent / 100.0) / rows, rows - row});
}
