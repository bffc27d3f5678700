#include "ui/converter_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QRegion>

#include "engine/compression_setting.h"
#include "media/api/class_registry.h"
#include "platform/message_box.h"
#include "resource_ids.h"
#include "skin/skin_button.h"
#include "string_table.h"
#include "text/message_catalogue.h"
#include "ui/about_dialog.h"
#include "ui/application_language.h"
#include "ui/combo_selection.h"
#include "ui/compression_settings_dialog.h"
#include "ui/dialog_font.h"
#include "ui/dialog_group_navigation.h"
#include "ui/dialog_item.h"
#include "ui/drop_down_combo.h"
#include "ui/list_row_room.h"
#include "ui/preview_area.h"
#include "ui/transparent_buttons_option.h"
#include "ui/window_messages.h"
#include "ui/window_placement.h"
#include "ui_main_window.h"

namespace {

// The window's size, frame included, whatever the template's size.
constexpr QSize kWindowSize(640, 500);

void ExchangeCheck(bool saveAndValidate, QCheckBox& control, BOOL& value) {
    if (saveAndValidate)
        value = control.isChecked() ? TRUE : FALSE;
    else
        control.setChecked(value != FALSE);
}

void ExchangeText(bool saveAndValidate, QLabel& control, std::string& value) {
    if (saveAndValidate)
        value = control.text().toStdString();
    else
        control.setText(QString::fromStdString(value));
}

}  // namespace

ConverterDialog::ConverterDialog(QWidget* parent)
    : SkinDialog(resource_ids::kMainDialog, resource_ids::kSkinBitmap, parent),
      m_windowIcon(ResourcePath(resource_ids::kAppIcon)),
      m_ui(std::make_unique<Ui::ConverterDialog>()) {
    m_ui->setupUi(this);
    UseDialogFont(*this);
    // Caption, window menu and minimise box, no sizing: a modal frame. A window of its own,
    // shown on the taskbar.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    m_btnBrowse = m_ui->browseButton;
    m_btnClear = m_ui->clearButton;
    m_btnStart = m_ui->startButton;
    m_btnPlayInput = m_ui->playInputButton;
    m_btnPlayOutput = m_ui->playOutputButton;
    m_btnStop = m_ui->stopButton;
    m_inputList = m_ui->inputList;
    m_outputList = m_ui->outputList;
    GiveRowsRoomForGlyphs(*m_inputList);
    GiveRowsRoomForGlyphs(*m_outputList);
    m_compressorCombo = m_ui->compressorCombo;
    m_progress = m_ui->progress;
    m_preview = m_ui->preview;
    FitDropDownCombo(*m_compressorCombo);
    MakeSelectionFollowText(*m_compressorCombo);

    // No button becomes the default one by taking the focus: Enter is dealt with in
    // keyPressEvent, and a button looks focused, not default, while it has the focus.
    for (SkinButton* button :
         {m_btnBrowse, m_btnClear, m_btnStart, m_btnPlayInput, m_btnPlayOutput, m_btnStop})
        button->setAutoDefault(false);

    m_systemMenu = new QMenu(this);
    // The separator before the About entry shows although nothing goes before it: the window's
    // own commands are the window manager's.
    m_systemMenu->setSeparatorsCollapsible(false);
    connect(m_systemMenu, &QMenu::aboutToShow, this, &ConverterDialog::UpdateCompressionSettingsEntry);
    InstallGroupNavigation(*this);
    setAcceptDrops(true);
    ConnectHandlers();
}

ConverterDialog::~ConverterDialog() {
    // A window still up when its object goes ends here.
    EndWindow();
    m_previewGraph.Reset();
    m_compressorFilter.Reset();
}

void ConverterDialog::ConnectHandlers() {
    connect(m_btnBrowse, &QPushButton::clicked, this, &ConverterDialog::OnBrowse);
    connect(m_btnStart, &QPushButton::clicked, this, &ConverterDialog::OnStartConversion);
    connect(m_compressorCombo, &QComboBox::activated, this, &ConverterDialog::OnSelchangeCompressor);
    connect(m_btnPlayInput, &QPushButton::clicked, this, &ConverterDialog::OnPlayInput);
    connect(m_btnPlayOutput, &QPushButton::clicked, this, &ConverterDialog::OnPlayOutput);
    connect(m_btnStop, &QPushButton::clicked, this, &ConverterDialog::OnStopPlayback);
    connect(m_btnClear, &QPushButton::clicked, this, &ConverterDialog::OnClearLists);
    connect(m_ui->manualCodecCheck, &QCheckBox::clicked, this, &ConverterDialog::OnManualCodec);
    connect(m_ui->transparentButtonsCheck, &QCheckBox::clicked, this, &ConverterDialog::OnTransparentButtons);
}

QWidget* ConverterDialog::GetDlgItem(int id) const {
    return ::GetDlgItem(*this, id);
}

bool ConverterDialog::UpdateData(bool saveAndValidate) {
    // While a run converts, the power-off box is the user's, both ways: the run's end reads it.
    // The other boxes hold what the current job started with.
    if (m_runInProgress && !saveAndValidate) m_powerOff = m_ui->powerOffCheck->isChecked() ? TRUE : FALSE;
    ExchangeCheck(saveAndValidate, *m_ui->keepAudioCheck, m_keepAudio);
    ExchangeText(saveAndValidate, *m_ui->statusText, m_status);
    ExchangeCheck(saveAndValidate, *m_ui->ignoreWarningsCheck, m_ignoreWarnings);
    ExchangeCheck(saveAndValidate, *m_ui->powerOffCheck, m_powerOff);
    ExchangeCheck(saveAndValidate, *m_ui->manualCodecCheck, m_manualCodec);
    return true;
}

// ---- the window's life --------------------------------------------------------------------

void ConverterDialog::setVisible(bool visible) {
    // The window comes to exist when it is first shown: it is set up before anything is seen.
    if (visible && !m_windowCreated) {
        m_windowCreated = true;
        OnInitDialog();
    }
    SkinDialog::setVisible(visible);
}

void ConverterDialog::done(int result) {
    // A conversion run's handler is on the stack: it sees the close request, stops its job and
    // returns, and the window ends then.
    if (m_runInProgress) {
        OnClose();
        m_deferredDone = result;
        return;
    }
    SkinDialog::done(result);
    EndWindow();
}

void ConverterDialog::EndWindow() {
    if (!m_windowCreated) return;
    m_windowCreated = false;
    OnDestroy();
}

bool ConverterDialog::OnInitDialog() {
    UpdateData(false);

    // Placed by the frame it will most likely have, then once more by the frame the window
    // manager really draws.
    MoveWindow(*this, kWindowSize);
    CenterWindow(*this);
    CentreOnceFramed(*this, kWindowSize);

    if (ReadTransparentButtonsOption()) {
        m_ui->transparentButtonsCheck->setChecked(true);
        ApplyTransparentButtons();
    }

    m_systemMenu->clear();
    m_compressionSettingsEntry = m_systemMenu->addAction(UiText("壓縮設定..."));
    connect(m_compressionSettingsEntry, &QAction::triggered, this,
            [this] { OnSysCommand(IDM_COMPRESSIONSETTINGS, 0); });
    const std::string about = LoadResourceString(resource_ids::kAboutMenuString);
    if (!about.empty()) {
        m_systemMenu->addSeparator();
        const QAction* entry = m_systemMenu->addAction(UiText(about.c_str()));
        connect(entry, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX, 0); });
    }

    setWindowIcon(m_windowIcon);

    m_keepAudio = TRUE;
    m_autoCompressorIndex = -1;
    m_savedAutoCompressorIndex = -1;

    // The media layer is used from this thread only; the result tells nothing more here.
    (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    (void)EnumerateCompressors();
    SelectStartupCompressor();

    // The preview area needs nothing more: a widget never paints over its children here, so
    // the video placed inside it stays whole, and the skin leaves it out (OnEraseBkgnd).

    ReleasePreviewGraph();
    m_closeRequested = false;
    return true;
}

void ConverterDialog::ApplyTransparentButtons() {
    const std::pair<SkinButton*, const char*> tips[] = {
        {m_btnStart, TranslatableText("點選可開始轉換....")},
        {m_btnBrowse, TranslatableText("瀏覽輸入檔案...")},
        {m_btnStop, TranslatableText("停止播放電影...")},
        {m_btnPlayOutput, TranslatableText("播放輸出電影...")},
        {m_btnPlayInput, TranslatableText("播放輸入電影...")},
        {m_btnClear, TranslatableText("清除輸入/輸出檔案清單...")},
    };
    for (const auto& [button, tip] : tips) {
        button->SetTransparent(false);
        button->UseFlatLook(false, true);
        button->SetTipText(UiText(tip), true);
    }
}

void ConverterDialog::OnClose() {
    ReleasePreviewGraph();
    m_closeRequested = true;
    StoreTransparentButtonsOption(m_ui->transparentButtonsCheck->isChecked());
}

void ConverterDialog::OnDestroy() {
    OnClose();
}

void ConverterDialog::closeEvent(QCloseEvent* event) {
    OnClose();
    // Turns the request into Cancel, which ends the dialog.
    SkinDialog::closeEvent(event);
}

void ConverterDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier)) {
        // As the platform's dialog manager has it: a focused push button takes Enter; with the
        // focus anywhere else Enter is OK, as Escape is Cancel (the template has no default
        // button).
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button != nullptr && button->isEnabled() && isAncestorOf(button))
            button->click();
        else
            OnOK();
        return;
    }
    SkinDialog::keyPressEvent(event);
}

void ConverterDialog::OnOK() {
    if (!UpdateData(true)) return;
    accept();
}

// ---- painting and the window menu ---------------------------------------------------------

void ConverterDialog::paintEvent(QPaintEvent* /*event*/) {
    QPainter dc(this);
    OnEraseBkgnd(dc);
}

bool ConverterDialog::OnEraseBkgnd(QPainter& dc) {
    const QRect preview(m_preview->mapTo(this, QPoint(0, 0)), m_preview->size());
    dc.setClipRegion(QRegion(rect()).subtracted(preview), Qt::IntersectClip);
    SkinDialog::OnEraseBkgnd(dc);
    return true;
}

void ConverterDialog::contextMenuEvent(QContextMenuEvent* event) {
    if (m_systemMenu->isEmpty()) return;
    m_systemMenu->exec(event->globalPos());
}

void ConverterDialog::OnSysCommand(unsigned id, long /*param*/) {
    // The window's own commands (move, minimise, close) are the window manager's.
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        AboutDialog about(this);
        about.exec();
    }
    if ((id & 0xFFF0) == IDM_COMPRESSIONSETTINGS) OnCompressionSettings();
}

void ConverterDialog::UpdateCompressionSettingsEntry() {
    if (m_compressionSettingsEntry != nullptr)
        m_compressionSettingsEntry->setEnabled(!m_runInProgress && m_compressorCombo->currentIndex() >= 0);
}

void ConverterDialog::OnCompressionSettings() {
    // A run reads the settings job by job: they change only between runs.
    if (m_runInProgress || m_compressorCombo->currentIndex() < 0) return;
    const std::string name = m_compressorCombo->itemText(m_compressorCombo->currentIndex()).toStdString();
    std::vector<std::string> inputs;
    for (int row = 0; row < m_inputList->count(); ++row) inputs.push_back(m_inputList->item(row)->text().toStdString());
    CompressionSettingsDialog settings(name, m_compressorFilter.Get(), this, std::move(inputs));
    settings.exec();
}

CompressionChoice ConverterDialog::SelectedCompressionChoice() const {
    const int index = m_compressorCombo->currentIndex();
    if (index < 0) return {};
    return ReadStoredCompressionChoice(m_compressorCombo->itemText(index).toStdString());
}

// ---- controls ------------------------------------------------------------------------------

void ConverterDialog::OnClearLists() {
    m_inputList->clear();
    m_outputList->clear();
}

void ConverterDialog::OnManualCodec() {
    if (m_ui->manualCodecCheck->isChecked()) {
        m_ui->compressorLabel->show();
        m_compressorCombo->show();
        m_savedAutoCompressorIndex = m_autoCompressorIndex;
        m_autoCompressorIndex = -2;
    } else {
        m_ui->compressorLabel->hide();
        m_compressorCombo->hide();
        m_autoCompressorIndex = m_savedAutoCompressorIndex;
    }
}

void ConverterDialog::OnTransparentButtons() {
    // Read at start-up and kept at closing, so it shows at the next start.
    if (m_ui->transparentButtonsCheck->isChecked()) AfxMessageBox(kRestartToSeeResult, MB_OK);
}

void ConverterDialog::EnableJobButtons(bool enable) {
    m_btnStart->setEnabled(enable);
    m_btnPlayInput->setEnabled(enable);
    m_btnPlayOutput->setEnabled(enable);
    m_btnStop->setEnabled(enable);
}
