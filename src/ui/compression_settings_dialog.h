#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "engine/compression_choice.h"
#include "engine/player_file_plan.h"
#include "media/api/interfaces.h"
#include "media/api/video_compression.h"

class QButtonGroup;
class QDialogButtonBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QSlider;
class QSpinBox;

// The compression settings of one compressor, in a small modal dialog in the window's font:
// quality or an average data rate, the key-frame distance, the largest picture and what becomes
// of the audio, with presets that fill the fields. It opens with what is stored for the
// compressor; OK stores the fields, 預設值 puts back the defaults, Cancel changes nothing. A
// setting the compressor doesn't support is greyed and stored as its default. Under a players'
// preset it shows the video rate the listed inputs will get: a film too long for one 2 GiB file
// at the chosen rate gets less.
class CompressionSettingsDialog : public QDialog {
    Q_OBJECT

public:
    // compressorName names the stored section and shows in the dialog; compressor, the bound
    // filter, says what it supports and its defaults (null: none of the compressor's settings);
    // inputs are the listed inputs' paths, whose planned rate the dialog shows.
    CompressionSettingsDialog(std::string compressorName, IBaseFilter* compressor, QWidget* parent = nullptr,
                              std::vector<std::string> inputs = {});
    ~CompressionSettingsDialog() override;

    // The fields as OK stores them: a value equal to the compressor's default, or one it doesn't
    // support, is the default (-1, 0).
    [[nodiscard]] CompressionChoice Choice() const;
    // Fills the fields with choice; a setting at its default shows the compressor's own value.
    void ShowChoice(const CompressionChoice& choice);

    // OK: the fields are stored and the dialog ends; when the settings file can't be written,
    // a message naming it says so and the dialog stays open with everything the user set.
    void accept() override;

private:
    void BuildControls();
    // Tab goes down the fields, then along the buttons: the button box's own chain left OK and
    // Cancel out.
    void OrderTabs(QDialogButtonBox& buttons);
    void EnableWhatTheCompressorSupports();
    void FillFromPreset(int index);
    void ShowQualityValue(int percent);
    void FollowRateOrQuality();
    void FollowPictureChoice();
    // What the inputs are to the players' file plan, under the fields' choice.
    void ProbeInputs();
    // The rate the inputs get under a players' preset; hidden without one.
    void ShowPlannedRate();
    [[nodiscard]] bool Supports(CompressionCaps capability) const {
        return (m_capabilities & capability) != 0;
    }
    // The compressor's default quality, 0 to 100, as the slider shows it.
    [[nodiscard]] int DefaultQualityPercent() const;

    std::string m_compressorName;
    LONG m_capabilities = 0;          // CompressionCaps flags
    double m_defaultQuality = -1.0;   // the compressor's, 0.0 to 1.0; -1 when it has none
    LONG m_defaultKeyFrameRate = -1;  // the compressor's; -1 when it has none
    // The players whose rules the last preset chosen keeps, until the defaults are restored.
    PlayerProfile m_player = PlayerProfile::None;

    QComboBox* m_presets = nullptr;
    QRadioButton* m_byQuality = nullptr;
    QRadioButton* m_byDataRate = nullptr;
    QButtonGroup* m_rateOrQuality = nullptr;
    QWidget* m_qualityRow = nullptr;  // the slider with its ends and its value
    QSlider* m_quality = nullptr;
    QLabel* m_qualityValue = nullptr;
    QSpinBox* m_dataRate = nullptr;  // kbit/s
    QLabel* m_keyFrameLabel = nullptr;
    QSpinBox* m_keyFrameRate = nullptr;  // 0: the compressor's own
    QComboBox* m_largest = nullptr;
    QSpinBox* m_largestWidth = nullptr;
    QSpinBox* m_largestHeight = nullptr;
    QLabel* m_largestBy = nullptr;  // the "×" between them
    QComboBox* m_audio = nullptr;
    bool m_showingChoice = false;  // the fields are being filled, not changed by hand
    QLabel* m_plannedRate = nullptr;
    std::vector<std::string> m_inputs;
    std::vector<PlayerFileInput> m_probed;  // of the inputs the media detector reads
    bool m_inputsProbed = false;
};
