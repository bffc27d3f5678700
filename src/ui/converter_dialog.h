#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QIcon>
#include <QString>

#include "engine/compression_choice.h"
#include "media/api/interface_ref.h"
#include "media/api/interfaces.h"
#include "skin/skin_dialog.h"

class PreviewArea;
class QAction;
class QComboBox;
class QListWidget;
class QMenu;
class QProgressBar;
class SkinButton;
class ConversionJob;

namespace Ui {
class ConverterDialog;
}

// The program's only window: a modal dialog on the skin (template 102) with the two job lists,
// the compressor list, the progress bar and status line of a conversion run, the option check
// boxes, the preview area and six skinned push buttons.
//
// It is the hub of the program: the conversion engine's handlers read and write its members
// directly, all on the user-interface thread. The window "exists" from the first time it is
// shown (OnInitDialog) until it ends (OnDestroy); shown again after that, it starts afresh.
class ConverterDialog : public SkinDialog {
    Q_OBJECT

public:
    // Command id of the About entry in the window menu.
    static constexpr unsigned IDM_ABOUTBOX = 0x0010;
    // Command id of the compression settings entry, above the About entry.
    static constexpr unsigned IDM_COMPRESSIONSETTINGS = 0x0020;

    explicit ConverterDialog(QWidget* parent = nullptr);
    ~ConverterDialog() override;

    // Moves the check values and the status text between the controls and the members: from
    // the controls with saveAndValidate, to them without. Always succeeds.
    bool UpdateData(bool saveAndValidate = true);

    // Enables or disables together Start, Play input, Play output and Stop.
    void EnableJobButtons(bool enable);

    // Releases the preview graph if one is held; any preview playback ends with it, and the
    // preview area is black again.
    void ReleasePreviewGraph();

    // Adds the files named on the program's command line (bytes, as given) as jobs, as Browse adds
    // the files its dialog returns; names that are no existing file are left out, and a file listed
    // already, or named twice, is listed once. (converter_dialog_command_line.cpp)
    void AddCommandLineFiles(const std::vector<std::string>& files);
    // A later start of the program or a launcher asks for the window: it comes to the front and
    // adds the files (full paths, bytes) as the command line's; during a run, once the run ends.
    void OpenFromDesktop(const std::vector<std::string>& files);

    // Renders the file at path (UTF-8) into a new preview graph and plays it in the preview
    // area; any earlier preview graph is released first. Each failure shows its message.
    void PlayInPreview(const std::string& path);

    // Makes job row current (m_inputPath, m_outputPath) and sets m_keepAudio, and check box
    // 1003 with it, to whether its input has an audio stream. A step that fails shows its
    // message and leaves m_keepAudio and the box as they were.
    void ProbeAudioStream(int row);

    // Serves every event waiting for this thread, then returns without waiting.
    static void PumpMessages();

    // Refills the compressor list with the catalogue, makes the automatic choice
    // (m_autoCompressorIndex), selects the first entry and moves the members to the controls.
    // Returns 0, or the failing result after its message; the list then stays empty.
    HRESULT EnumerateCompressors();

    // The control with template id id, or null.
    [[nodiscard]] QWidget* GetDlgItem(int id) const;

    // The window menu: the compression settings entry, then a separator and the About entry.
    [[nodiscard]] QMenu& SystemMenu() const { return *m_systemMenu; }

    // ---- handlers -------------------------------------------------------------------------
    bool OnInitDialog();
    // A command of the window menu.
    void OnSysCommand(unsigned id, long param);
    // Paints the skin everywhere except over the preview area.
    bool OnEraseBkgnd(QPainter& dc);
    // The window is asked to close: ends any preview, tells a running conversion to stop,
    // and keeps the transparent-buttons option.
    void OnClose();
    // The window ends: the same again, however it was ended.
    void OnDestroy();
    void OnBrowse();
    void OnStartConversion();
    void OnSelchangeCompressor();
    void OnPlayInput();
    void OnPlayOutput();
    void OnStopPlayback();
    void OnClearLists();
    void OnManualCodec();
    void OnTransparentButtons();
    // Opens the compression settings of the compressor selected in the list, modally; nothing
    // while a run converts or when no compressor is selected.
    void OnCompressionSettings();
    // Enter with no default button to take it: the members are read and the dialog ends.
    void OnOK();

signals:
    // A conversion run's wait has taken one more look at job row: percent of its input is done,
    // as computed (above 100 when the input's length was guessed too short). The progress bar,
    // the status line and the title show it already.
    void JobProgressed(int row, int percent);

public:
    // ---- controls (owned by the window) -----------------------------------------------------
    SkinButton* m_btnBrowse = nullptr;
    SkinButton* m_btnClear = nullptr;
    SkinButton* m_btnStart = nullptr;
    SkinButton* m_btnPlayInput = nullptr;
    SkinButton* m_btnPlayOutput = nullptr;
    SkinButton* m_btnStop = nullptr;
    QListWidget* m_inputList = nullptr;   // input file paths
    QListWidget* m_outputList = nullptr;  // output file paths, at the same index as the input
    QComboBox* m_compressorCombo = nullptr;
    QProgressBar* m_progress = nullptr;
    PreviewArea* m_preview = nullptr;

    // ---- members the engine reads and writes --------------------------------------------------
    InterfaceRef<IBaseFilter> m_compressorFilter;  // bound for the compressor list's selection
    InterfaceRef<IGraphBuilder> m_previewGraph;    // the preview playback graph
    bool m_closeRequested = false;                 // the window was asked to close
    LONG m_autoCompressorIndex = -1;               // automatic choice; -1 none, -2 manual mode
    LONG m_savedAutoCompressorIndex = -1;          // the automatic choice, parked in manual mode
    std::string m_inputPath;                       // job being previewed or converted
    std::string m_outputPath;
    // Check values and the status line, moved by UpdateData.
    BOOL m_keepAudio = FALSE;
    std::string m_status;
    BOOL m_ignoreWarnings = FALSE;
    BOOL m_powerOff = FALSE;
    BOOL m_manualCodec = FALSE;

    QIcon m_windowIcon;

protected:
    void setVisible(bool visible) override;
    void done(int result) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Video files dragged from a file manager are added as if chosen with Browse.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Adds the files chosen together (full paths, UTF-8), whose path text is pathText, as new
    // jobs: the rest of Browse after its dialog.
    void AddChosenFiles(const std::string& pathText, const std::vector<std::string>& paths);

    // The extent of a conversion run, from its first job to its end however it ends: the run's
    // place in the title, the machine kept awake, the progress on the task bar's icon, the
    // window's keys set aside, and at the end a notification when the user is away. While one of
    // the run's message boxes waits for the user the desktop is let go, and told when the user is
    // away; a failure ends the run for the desktop before its box waits. An end of the window
    // asked for meanwhile waits until it goes. (converter_dialog_run.cpp)
    class RunInProgress;
    friend class RunInProgress;

    // Waits for the running job of row in 100 ms slices, serving the window's events and
    // showing the progress between them, until the graph reports an event or the window is
    // asked to close. Returns the event code; 0 when the close ended the wait.
    LONG WaitForJob(ConversionJob& job, int row);
    // "Tessarel - 2/5 - 37%": the run's place, for the task bar, and the same on its icon.
    void ShowRunPlace(int row, int shownPercent);
    void ConnectHandlers();
    void ApplyTransparentButtons();
    void SelectStartupCompressor();
    // The compression settings entry is greyed during a run and while no compressor is selected.
    void UpdateCompressionSettingsEntry();
    // The settings stored for the compressor selected in the list, for the next job.
    [[nodiscard]] CompressionChoice SelectedCompressionChoice() const;
    void EndWindow();

    std::unique_ptr<Ui::ConverterDialog> m_ui;
    QMenu* m_systemMenu = nullptr;
    QAction* m_compressionSettingsEntry = nullptr;  // in m_systemMenu while the window exists
    bool m_windowCreated = false;
    bool m_runInProgress = false;
    RunInProgress* m_run = nullptr;            // while a run converts
    QString m_runTitle;                        // the title before the run
    std::optional<int> m_deferredDone;         // the result the window ends with once the run returns
    std::vector<std::string> m_filesAfterRun;  // asked for during a run, listed when it ends
};
