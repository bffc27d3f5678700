#include "ui/compression_settings_dialog.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <span>
#include <utility>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/compression_presets.h"
#include "engine/compression_setting.h"
#include "engine/compressor_setting.h"
#include "media/api/interface_ref.h"
#include "platform/message_box.h"
#include "platform/profile_file.h"
#include "text/message_catalogue.h"
#include "ui/application_language.h"
#include "ui/dialog_font.h"
#include "ui/window_messages.h"

namespace {

// The picture sizes players commonly take, largest first, after "keep"; custom comes last.
constexpr PictureLimit kCommonPictureLimits[] = {{1280, 720}, {720, 576}, {640, 480}};
constexpr int kKeepPicture = 0;
constexpr int kCustomPicture = 1 + static_cast<int>(std::size(kCommonPictureLimits));

// In the order of AudioChoice.
constexpr AudioChoice kAudioChoices[] = {AudioChoice::Keep, AudioChoice::Mp3WhenNeeded, AudioChoice::Mp3,
                                         AudioChoice::Mp3OrAc3};

// What a rate field starts at when nothing is stored: what a DVD player takes.
constexpr int kSuggestedDataRateKbits = 4000;

// The preset box before a preset is chosen, and once a field differs from the preset chosen.
constexpr const char* kChoosePreset = TranslatableText("選取以填入下列欄位");
constexpr const char* kCustomPreset = TranslatableText("自訂");

constexpr const char* kNotSupported = TranslatableText("這個視訊壓縮器不支援此設定");

QString PictureText(const PictureLimit& limit) {
    return QStringLiteral("%1 × %2").arg(limit.width).arg(limit.height);
}

// A preset's name as the list shows it, with what it sets.
QString PresetText(const CompressionPreset& preset) {
    QString name = QString::fromUtf8(preset.name.data(), static_cast<qsizetype>(preset.name.size()));
    if (preset.name == "dvd-player") name = UiText("DVD 播放機");
    if (preset.name == "hd-player") name = UiText("HD 播放機");
    const CompressionChoice& choice = preset.choice;
    QString text = name;
    if (choice.largest.IsSet()) text = UiText("%1, 最大 %2").arg(text, PictureText(choice.largest));
    if (choice.dataRate > 0) text += QStringLiteral(", %1 kbit/s").arg(choice.dataRate / 1000);
    return text;
}

QSpinBox* NewSpinBox(int low, int high, const QString& suffix = {}) {
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setSuffix(suffix);
    return box;
}

}  // namespace

CompressionSettingsDialog::CompressionSettingsDialog(std::string compressorName, IBaseFilter* compressor,
                                                     QWidget* parent, std::vector<std::string> inputs)
    : QDialog(parent), m_compressorName(std::move(compressorName)), m_inputs(std::move(inputs)) {
    InterfaceRef<IAMVideoCompression> compression;
    if (compressor != nullptr &&
        SUCCEEDED(compressor->QueryInterface(IID_IAMVideoCompression, compression.ReceiveVoid()))) {
        LONG capabilities = 0;
        if (SUCCEEDED(compression->GetInfo(nullptr, nullptr, nullptr, nullptr, &m_defaultKeyFrameRate,
                                           nullptr, &m_defaultQuality, &capabilities)))
            m_capabilities = capabilities;
    }

    UseDialogFont(*this);
    // A modal frame: a caption with its close box, no help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(UiText("壓縮設定"));
    BuildControls();
    EnableWhatTheCompressorSupports();
    ShowChoice(ReadStoredCompressionChoice(m_compressorName));
    setFixedSize(sizeHint());
}

CompressionSettingsDialog::~CompressionSettingsDialog() = default;

void CompressionSettingsDialog::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(UiText("視訊壓縮器: %1").arg(QString::fromStdString(m_compressorName))));

    auto* presetRow = new QFormLayout;
    m_presets = new QComboBox;
    m_presets->setPlaceholderText(UiText(kChoosePreset));
    for (const CompressionPreset& preset : CompressionPresets()) m_presets->addItem(PresetText(preset));
    m_presets->setCurrentIndex(-1);
    presetRow->addRow(UiText("預設組合(&P):"), m_presets);
    layout->addLayout(presetRow);

    // The picture's quality: a quality, or an average data rate instead.
    auto* video = new QGroupBox(UiText("視訊"));
    auto* videoRows = new QFormLayout(video);
    m_byQuality = new QRadioButton(UiText("品質(&Q):"));
    m_quality = new QSlider(Qt::Horizontal);
    m_quality->setRange(0, kHighestQualityPercent);
    m_quality->setPageStep(10);
    m_quality->setMinimumWidth(120);
    m_qualityValue = new QLabel;
    // Room for "100" whatever the value, so the slider keeps its length.
    m_qualityValue->setMinimumWidth(m_qualityValue->fontMetrics().horizontalAdvance(QStringLiteral("100")) +
                                    4);
    m_qualityValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_qualityRow = new QWidget;
    auto* qualityRow = new QHBoxLayout(m_qualityRow);
    qualityRow->setContentsMargins(0, 0, 0, 0);
    qualityRow->addWidget(new QLabel(UiText("小檔案")));
    qualityRow->addWidget(m_quality, 1);
    qualityRow->addWidget(new QLabel(UiText("高品質")));
    qualityRow->addWidget(m_qualityValue);
    videoRows->addRow(m_byQuality, m_qualityRow);

    m_byDataRate = new QRadioButton(UiText("平均位元率(&R):"));
    m_dataRate = NewSpinBox(1, kHighestDataRateKbits, QStringLiteral(" kbit/s"));
    videoRows->addRow(m_byDataRate, m_dataRate);
    m_plannedRate = new QLabel;
    m_plannedRate->setWordWrap(true);
    videoRows->addRow(m_plannedRate);
    m_rateOrQuality = new QButtonGroup(this);
    m_rateOrQuality->addButton(m_byQuality);
    m_rateOrQuality->addButton(m_byDataRate);

    m_keyFrameRate = NewSpinBox(0, kHighestKeyFrameRate, UiText(" 個畫格"));
    m_keyFrameRate->setSpecialValueText(UiText("視訊壓縮器預設"));
    m_keyFrameRate->setToolTip(UiText("兩個關鍵畫格之間最多相隔的畫格數"));
    m_keyFrameLabel = new QLabel(UiText("關鍵畫格間隔(&K):"));
    m_keyFrameLabel->setBuddy(m_keyFrameRate);
    videoRows->addRow(m_keyFrameLabel, m_keyFrameRate);
    layout->addWidget(video);

    // What players take: the picture's size and the sound's format.
    auto* player = new QGroupBox(UiText("播放器相容性"));
    auto* playerRows = new QFormLayout(player);
    m_largest = new QComboBox;
    m_largest->addItem(UiText("保持原尺寸"));
    for (const PictureLimit& limit : kCommonPictureLimits) m_largest->addItem(PictureText(limit));
    m_largest->addItem(UiText("自訂"));
    m_largestWidth = NewSpinBox(kSmallestPictureSide, kLargestPictureSide);
    m_largestHeight = NewSpinBox(kSmallestPictureSide, kLargestPictureSide);
    // A size of one's own starts from full HD.
    m_largestWidth->setValue(1920);
    m_largestHeight->setValue(1080);
    m_largestBy = new QLabel(QStringLiteral("×"));
    auto* largestRow = new QHBoxLayout;
    largestRow->addWidget(m_largest);
    // The size fields show only for a size of the user's own; their room stays, so nothing moves.
    for (QWidget* field : std::initializer_list<QWidget*>{m_largestWidth, m_largestBy, m_largestHeight}) {
        QSizePolicy policy = field->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        field->setSizePolicy(policy);
        largestRow->addWidget(field);
    }
    auto* largestLabel = new QLabel(UiText("最大畫面(&M):"));
    largestLabel->setBuddy(m_largest);
    largestLabel->setToolTip(UiText("較大的畫面會等比例縮小, 較小的畫面不會放大"));
    playerRows->addRow(largestLabel, largestRow);

    m_audio = new QComboBox;
    m_audio->addItems({UiText("保留原始音訊 (不重新壓縮)"), UiText("播放器不支援時轉成 MP3"),
                       UiText("一律轉成 MP3"), UiText("MP3 與 AC-3 保留, 其他轉成 MP3")});
    playerRows->addRow(UiText("音訊(&A):"), m_audio);
    layout->addWidget(player);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::RestoreDefaults);
    // Plain text buttons, as the About box has.
    const std::pair<QDialogButtonBox::StandardButton, QString> texts[] = {
        {QDialogButtonBox::Ok, UiText("確定")},
        {QDialogButtonBox::Cancel, UiText("取消")},
        {QDialogButtonBox::RestoreDefaults, UiText("預設值(&D)")}};
    for (const auto& [which, text] : texts) {
        buttons->button(which)->setText(text);
        buttons->button(which)->setIcon(QIcon());
    }
    layout->addWidget(buttons);
    // Enter is OK's wherever the focus is but on Cancel: a button that took the focus from a click
    // (預設值) would otherwise take Enter too.
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::RestoreDefaults)->setAutoDefault(false);
    OrderTabs(*buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this, [this] {
        m_presets->setCurrentIndex(-1);
        m_presets->setPlaceholderText(UiText(kChoosePreset));
        ShowChoice({});
    });
    // A field changed by hand no longer shows the preset chosen.
    const auto edited = [this] {
        if (m_showingChoice) return;
        m_presets->setCurrentIndex(-1);
        m_presets->setPlaceholderText(UiText(kCustomPreset));
    };
    connect(m_rateOrQuality, &QButtonGroup::buttonToggled, this, edited);
    for (QSpinBox* field : {m_dataRate, m_keyFrameRate, m_largestWidth, m_largestHeight})
        connect(field, &QSpinBox::valueChanged, this, edited);
    connect(m_quality, &QSlider::valueChanged, this, edited);
    connect(m_largest, &QComboBox::currentIndexChanged, this, edited);
    connect(m_audio, &QComboBox::currentIndexChanged, this, edited);
    connect(m_presets, &QComboBox::activated, this, &CompressionSettingsDialog::FillFromPreset);
    connect(m_quality, &QSlider::valueChanged, this, &CompressionSettingsDialog::ShowQualityValue);
    connect(m_dataRate, &QSpinBox::valueChanged, this, &CompressionSettingsDialog::ShowPlannedRate);
    connect(m_rateOrQuality, &QButtonGroup::buttonToggled, this,
            &CompressionSettingsDialog::FollowRateOrQuality);
    connect(m_largest, &QComboBox::currentIndexChanged, this,
            &CompressionSettingsDialog::FollowPictureChoice);
}

void CompressionSettingsDialog::EnableWhatTheCompressorSupports() {
    const auto allow = [](std::initializer_list<QWidget*> controls, bool supported) {
        for (QWidget* control : controls) {
            control->setEnabled(supported);
            if (!supported) control->setToolTip(UiText(kNotSupported));
        }
    };
    allow({m_byQuality, m_qualityRow}, Supports(CompressionCaps_CanQuality));
    allow({m_byDataRate, m_dataRate}, Supports(CompressionCaps_CanCrunch));
    allow({m_keyFrameLabel, m_keyFrameRate}, Supports(CompressionCaps_CanKeyFrame));
}

int CompressionSettingsDialog::DefaultQualityPercent() const {
    return m_defaultQuality >= 0 ? static_cast<int>(std::lround(m_defaultQuality * 100))
                                 : kHighestQualityPercent / 2;
}

void CompressionSettingsDialog::OrderTabs(QDialogButtonBox& buttons) {
    QList<QWidget*> order{m_presets,      m_byQuality, m_quality,      m_byDataRate,    m_dataRate,
                          m_keyFrameRate, m_largest,   m_largestWidth, m_largestHeight, m_audio};
    // The buttons as laid out for this desktop (which puts 預設值, OK and Cancel in its own order).
    for (int i = 0; QLayoutItem* item = buttons.layout()->itemAt(i); ++i)
        if (auto* button = qobject_cast<QAbstractButton*>(item->widget())) order << button;
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void CompressionSettingsDialog::ShowChoice(const CompressionChoice& choice) {
    const QScopedValueRollback showing(m_showingChoice, true);
    const bool byRate = choice.dataRate > 0 || !Supports(CompressionCaps_CanQuality);
    (byRate && Supports(CompressionCaps_CanCrunch) ? m_byDataRate : m_byQuality)->setChecked(true);
    m_quality->setValue(choice.quality >= 0 ? static_cast<int>(std::lround(choice.quality * 100))
                                            : DefaultQualityPercent());
    ShowQualityValue(m_quality->value());
    m_dataRate->setValue(choice.dataRate > 0 ? static_cast<int>(std::min<LONGLONG>(
                                                   (choice.dataRate + 500) / 1000, kHighestDataRateKbits))
                                             : kSuggestedDataRateKbits);
    m_keyFrameRate->setValue(!Supports(CompressionCaps_CanKeyFrame) ? 0
                             : choice.keyFrameRate > 0              ? static_cast<int>(choice.keyFrameRate)
                                                       : std::max<int>(0, m_defaultKeyFrameRate));

    const PictureLimit* common = std::ranges::find(kCommonPictureLimits, choice.largest);
    if (!choice.largest.IsSet())
        m_largest->setCurrentIndex(kKeepPicture);
    else if (common != std::end(kCommonPictureLimits))
        m_largest->setCurrentIndex(1 + static_cast<int>(common - std::begin(kCommonPictureLimits)));
    else
        m_largest->setCurrentIndex(kCustomPicture);
    if (choice.largest.IsSet()) {
        m_largestWidth->setValue(choice.largest.width);
        m_largestHeight->setValue(choice.largest.height);
    }
    FollowPictureChoice();
    m_audio->setCurrentIndex(
        static_cast<int>(std::ranges::find(kAudioChoices, choice.audio) - std::begin(kAudioChoices)));
    m_player = choice.player;
    FollowRateOrQuality();
    ShowPlannedRate();
}

CompressionChoice CompressionSettingsDialog::Choice() const {
    CompressionChoice choice;
    if (m_byDataRate->isChecked() && Supports(CompressionCaps_CanCrunch)) {
        choice.dataRate = static_cast<LONGLONG>(m_dataRate->value()) * 1000;
    } else if (m_byQuality->isChecked() && Supports(CompressionCaps_CanQuality) &&
               m_quality->value() != DefaultQualityPercent()) {
        choice.quality = m_quality->value() / 100.0;
    }
    if (Supports(CompressionCaps_CanKeyFrame) && m_keyFrameRate->value() > 0 &&
        m_keyFrameRate->value() != m_defaultKeyFrameRate)
        choice.keyFrameRate = m_keyFrameRate->value();

    const int picture = m_largest->currentIndex();
    if (picture == kCustomPicture)
        choice.largest = {m_largestWidth->value(), m_largestHeight->value()};
    else if (picture > kKeepPicture)
        choice.largest = kCommonPictureLimits[picture - 1];
    choice.audio =
        kAudioChoices[std::clamp(m_audio->currentIndex(), 0, static_cast<int>(std::size(kAudioChoices)) - 1)];
    choice.player = m_player;
    return choice;
}

void CompressionSettingsDialog::accept() {
    if (!StoreCompressionChoice(m_compressorName, Choice())) {
        const std::string file = platform::ProfileFilePath(kSettingsFileName);
        AfxMessageBox(UiText(kCannotStoreCompressionSettings)
                          .arg(QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size())))
                          .toUtf8()
                          .constData(),
                      MB_OK);
        return;
    }
    QDialog::accept();
}

void CompressionSettingsDialog::FillFromPreset(int index) {
    const std::span<const CompressionPreset> presets = CompressionPresets();
    if (index < 0 || index >= static_cast<int>(presets.size())) return;
    ShowChoice(presets[static_cast<std::size_t>(index)].choice);
}

void CompressionSettingsDialog::ProbeInputs() {
    m_probed.clear();
    m_inputsProbed = true;
    const CompressionChoice choice = Choice();
    for (const std::string& input : m_inputs) {
        PlayerFileInput probed;
        if (DetectPlayerFileInput(input, choice, true, probed)) m_probed.push_back(probed);
    }
}

void CompressionSettingsDialog::ShowPlannedRate() {
    const CompressionChoice choice = Choice();
    m_plannedRate->setVisible(choice.player != PlayerProfile::None);
    if (choice.player == PlayerProfile::None) return;
    // The inputs are read once, when a players' preset first needs them.
    if (!m_inputsProbed) ProbeInputs();
    PlayerFilePlan lowest = PlanPlayerFile(choice, PlayerFileInput{});
    const LONGLONG chosen = lowest.videoBitsPerSecond;
    for (const PlayerFileInput& input : m_probed) {
        const PlayerFilePlan plan = PlanPlayerFile(choice, input);
        if (plan.videoBitsPerSecond < lowest.videoBitsPerSecond || plan.tooLong) lowest = plan;
    }
    QString text;
    if (m_probed.empty())
        text = UiText("視訊位元率 %1 kbit/s; 放不進單一 2 GB 檔案的長片會自動降低").arg(chosen / 1000);
    else if (!lowest.lowered)
        text = UiText("清單中的影片都以 %1 kbit/s 放入單一 AVI 檔案").arg(chosen / 1000);
    else
        text = UiText("清單中最長的影片以 %1 kbit/s 放入 2 GB 單一 AVI 檔案")
                   .arg(lowest.videoBitsPerSecond / 1000);
    if (lowest.tooLong) text += UiText(": 影片太長, 畫質將難以觀賞");
    m_plannedRate->setText(text);
}

void CompressionSettingsDialog::ShowQualityValue(int percent) {
    m_qualityValue->setNum(percent);
}

void CompressionSettingsDialog::FollowRateOrQuality() {
    const bool byRate = m_byDataRate->isChecked();
    m_qualityRow->setEnabled(!byRate && Supports(CompressionCaps_CanQuality));
    m_dataRate->setEnabled(byRate && Supports(CompressionCaps_CanCrunch));
}

void CompressionSettingsDialog::FollowPictureChoice() {
    const int picture = m_largest->currentIndex();
    if (picture > kKeepPicture && picture < kCustomPicture) {
        m_largestWidth->setValue(kCommonPictureLimits[picture - 1].width);
        m_largestHeight->setValue(kCommonPictureLimits[picture - 1].height);
    }
    for (QWidget* field : {static_cast<QWidget*>(m_largestWidth), static_cast<QWidget*>(m_largestBy),
                           static_cast<QWidget*>(m_largestHeight)})
        field->setVisible(picture == kCustomPicture);
}
